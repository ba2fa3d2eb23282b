"""Plays the scenario table against one front end of Tallimer, the Linux program or the Windows
program under Wine, on a virtual X display with a window manager (openbox) and a notification
area (trayer). Each scenario gets a fresh program folder. Prints one line per scenario and ends
with status 1 when any failed.

    run.py --front-end linux|windows --program FILE --plan-dump FILE [--names FILE]
           [--table FILE] [--scenarios N] [--only TEXT] [--artifacts DIR]
"""
import argparse
import glob
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# Wine with the environment and the loader every script and test here uses.
WINE = os.path.join(HERE, "..", "..", "scripts", "wine.sh")


class Failure(Exception):
    pass


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


def quiet(*command, timeout=300):
    """For commands that leave a server behind, which must hold no pipe of ours."""
    return subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=timeout).returncode


def output_of(*command, env=None, timeout=120):
    """What a command prints, taken through a file: Wine's helper processes may outlive the
    command and would hold a pipe open."""
    with tempfile.TemporaryFile() as out:
        subprocess.run(command, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL,
                       env=env, timeout=timeout)
        out.seek(0)
        return out.read().decode("utf-8", "replace")


def contents(path):
    return open(path, "rb").read() if os.path.exists(path) else None


def wait_for(what, seconds, condition):
    deadline = time.monotonic() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(what)
        time.sleep(0.1)


def unescape(text):
    return text.encode("latin-1").decode("unicode_escape").encode("latin-1")


# The table -----------------------------------------------------------------------------------

def read_table(path):
    scenarios = []
    with open(path, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            stripped = line.strip()
            if not stripped or stripped.startswith("#"):
                continue
            header = re.fullmatch(r"scenario(?: \((linux|windows)\))?: (.*)", stripped)
            if header:
                scenarios.append({"front": header[1], "name": header[2], "steps": []})
            elif scenarios:
                scenarios[-1]["steps"].append((number, shlex.split(stripped, posix=False)))
            else:
                raise SystemExit("%s:%d: a step before the first scenario" % (path, number))
    return scenarios


def text_argument(word):
    if len(word) < 2 or word[0] != '"' or word[-1] != '"':
        raise Failure("not a quoted text: " + word)
    return unescape(word[1:-1])


# The X display ---------------------------------------------------------------------------------

def contrast(a, b):
    """Of two colours, as the Web Content Accessibility Guidelines reckon it: 1 to 21."""
    def luminance(colour):
        linear = [v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
                  for v in (c / 255 for c in colour)]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]
    dark, light = sorted((luminance(a), luminance(b)))
    return (light + 0.05) / (dark + 0.05)


class Picture:
    """A rectangle of the screen: its pixels, and which of them stand out from its background
    (the colour most of them have) as text or lines do."""

    def __init__(self, left, top, width, height):
        data = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
            width, height, left, top), "-depth", "8", "rgb:-"], capture_output=True).stdout
        if len(data) != width * height * 3:
            raise Failure("no picture of the screen at %d,%d" % (left, top))
        self.width, self.height = width, height
        self.pixels = [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]
        self.background = max(set(self.pixels), key=self.pixels.count)

    def ink(self, x, y, least=3):
        return contrast(self.pixels[y * self.width + x], self.background) >= least

    def inked(self, columns, rows, least=3):
        """The columns, and the rows, of the given ranges that hold ink."""
        return ([x for x in columns if any(self.ink(x, y, least) for y in rows)],
                [y for y in rows if any(self.ink(x, y, least) for x in columns)])

def x(*command):
    return run(*command).stdout


def geometry(window):
    """x, y (on the screen), width and height of a window, or None once it is gone."""
    info = x("xwininfo", "-id", window)
    values = [re.search(pattern + r":\s+(-?\d+)", info) for pattern in
              ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
    return None if None in values else tuple(int(v.group(1)) for v in values)


def viewable_top_levels():
    """The viewable windows right under the root (menus among them): id, x, y, w, h."""
    found = []
    for m in re.finditer(r"^\s+(0x[0-9a-f]+) ", x("xwininfo", "-root", "-children"), re.M):
        if "IsViewable" in x("xwininfo", "-id", m.group(1)):
            box = geometry(m.group(1))
            if box:
                found.append((m.group(1),) + box)
    return found


def absolute_origin(window):
    box = geometry(window)
    if box is None:
        raise Failure("the window %s is gone" % window)
    return box[:2]


def tray_sockets():
    """The icons docked in trayer's panel: windows in it that hold another program's window."""
    panel = re.search(r"(0x[0-9a-f]+)", x("xwininfo", "-name", "panel"))
    if not panel:
        return []
    sockets = []
    tree = x("xwininfo", "-id", panel.group(1), "-children")
    for m in re.finditer(r"^\s+(0x[0-9a-f]+) .*\)\s+(\d+)x(\d+)\+", tree, re.M):
        if int(m.group(2)) > 4 and "1 child" in x("xwininfo", "-id", m.group(1), "-children"):
            sockets.append(m.group(1))
    return sockets


class Desktop:
    """Xvfb, openbox and trayer for the whole run."""

    def __init__(self, work):
        self.processes = []
        read, write = os.pipe()
        self.start("Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten",
                   "tcp", "-noreset", pass_fds=(write,))
        os.close(write)
        with os.fdopen(read) as display:
            number = display.readline().strip()  # written once the server is ready
        os.environ["DISPLAY"] = ":" + number
        for name in ("DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY"):
            os.environ.pop(name, None)
        os.environ["XDG_RUNTIME_DIR"] = os.path.join(work, "runtime")
        os.makedirs(os.environ["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        log = os.path.join(work, "openbox.log")
        openbox = self.start("openbox", "--sm-disable", log=log)

        def managed():
            if openbox.poll() is not None:
                raise SystemExit("openbox ended: " + open(log).read())
            return "window id" in x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")
        wait_for("no window manager: " + log, 30, managed)
        self.start_tray()

    def start_tray(self):
        # A fixed width: Wine keeps a panel's old size and drops clicks on an icon that comes
        # back to a panel that shrank when the last one left.
        self.tray = self.start("trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                   "--width", "64", "--height", "32", "--SetDockType", "true", "--transparent",
                   "false", "--tint", "0xdddddd")
        wait_for("no panel", 10, lambda: "panel" in x("xwininfo", "-name", "panel"))

    def restart_tray(self):
        self.tray.terminate()
        self.tray.wait()
        wait_for("the panel did not go", 10, lambda: "panel" not in x("xwininfo", "-name", "panel"))
        self.start_tray()

    def start(self, *command, log=None, **options):
        with open(log or os.devnull, "w") as output:
            process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=output, **options)
        self.processes.append(process)
        return process

    def stop(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()


# The two front ends ----------------------------------------------------------------------------

class FrontEnd:
    """Starts the program and finds its window; the rest is the same X display for both."""

    def __init__(self, program, plan_dump, work):
        self.program = program
        self.plan_dump = plan_dump
        self.plan = None
        self.work = work
        self.process = None  # the copy the scenario started first
        self.others = []  # copies started after it
        self.look = {}  # the environment of the program's look
        self.log = os.path.join(work, "program.log")

    def environment(self):
        return dict(os.environ, **self.look)

    def spawn(self, command, folder, env):
        """A start of the program, its output kept in the scenario's log of the program."""
        with open(self.log, "a") as log:
            return subprocess.Popen(command, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                    stdout=log, stderr=log)

    def user_file(self, name):
        """A file in the user's own folder, where a copy keeps its files that may not keep them
        beside itself."""
        return os.path.join(self.user_folder(), name)

    def read_plan(self):
        """The window that the program makes in the look it is in: the plan dumped by a
        program of the same build, with the same environment."""
        plan = {"controls": {}, "menu": []}
        for line in output_of(*self.plan_dump, env=self.environment()).splitlines():
            words = line.split()
            if words[:1] == ["client"]:
                plan["client"] = (int(words[1]), int(words[2]))
            elif words[:1] == ["control"]:
                box, text, start, end = ([int(n) for n in words[3:7]], *map(int, words[7:]))
                plan["controls"][words[1]] = {"kind": words[2], "box": box, "text": text,
                                              "start": start, "end": end}
            elif words[:1] == ["menu"]:
                plan["menu"].append(words[1])
        if "client" not in plan:
            raise SystemExit("no plan from " + " ".join(self.plan_dump))
        self.plan = plan

    def program_name(self):
        return os.path.basename(self.program)

    # Wine 10, above 96 dots per inch, leaves a strip of its own caption at the top of the X
    # window, where the window manager's frame does not reach: this many pixels at most.
    CAPTION_STRIP = 20

    def main_windows(self):
        """The program's windows that are shown: named Tallimer, the size of the plan."""
        shown = []
        for window in x("xdotool", "search", "--onlyvisible", "--name", "^Tallimer$").split():
            box = geometry(window)
            if box and self.plan and box[2] == self.plan["client"][0] and (
                    0 <= box[3] - self.plan["client"][1] <= self.CAPTION_STRIP):
                shown.append(window)
        return shown

    def client_top(self, window):
        """Where the client area begins within the X window: below any strip of caption."""
        box = geometry(window)
        return box[3] - self.plan["client"][1] if box else 0

    def main_window(self):
        windows = self.main_windows()
        return windows[0] if windows else None

    def start(self, folder, accessible):
        self.read_plan()
        self.process = self.launch(folder, accessible)

    def exited(self):
        return self.process is not None and self.process.poll() is not None

    def kill(self):
        for process in [self.process] + self.others:
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        self.others = []

    def send_signal(self, name):
        raise Failure("the Windows program gets no SIG" + name)

    def long_runtime_folder(self):
        raise Failure("no runtime folder for the Windows program")

    def no_user_folder(self):
        raise Failure("no way to take the Windows program's user folder away")

    def finish(self):
        pass


class LinuxFrontEnd(FrontEnd):
    # The palettes of qt6ct's colour schemes, role by role; one for high contrast.
    SCHEMES = {"light": None, "dark": "/usr/share/qt6ct/colors/darker.conf"}
    CONTRAST = ("#ffffffff, #ff000000, #ffffffff, #ffffffff, #ffffffff, #ffffffff, #ffffffff, "
                "#ffffffff, #ffffffff, #ff000000, #ff000000, #ffffffff, #ff1aebff, #ff000000, "
                "#ffffff00, #ffff00ff, #ff000000, #ff000000, #ff000000, #ffffffff, #ffffffff")

    def __init__(self, program, plan_dump, work):
        super().__init__(program, plan_dump, work)
        self.accessibility = None
        self.reset_look()

    def set_look(self, what, value):
        """The look the program starts under, as a desktop's settings give a Qt program: the
        colours through qt6ct, a style, the fonts, the density."""
        if what == "colours":
            self.look["QT_QPA_PLATFORMTHEME"] = "qt6ct"
            self.switch("colours", value)
        elif what == "style":
            self.look["QT_STYLE_OVERRIDE"] = value
        elif what == "font":
            self.look["FONTCONFIG_FILE"] = self.fonts(value)
        elif what == "dpi":
            self.look.update(QT_ENABLE_HIGHDPI_SCALING="0", QT_FONT_DPI=value)
        elif what == "text-size":
            self.look["QT_QPA_PLATFORMTHEME"] = "qt6ct"
            self.switch("points", value)
        else:
            raise Failure("no look of %s on Linux" % what)

    def switch(self, what, value):
        """qt6ct's settings, which it reads anew when they change, as its settings tool makes
        it do: the colour scheme, or the style."""
        if "QT_QPA_PLATFORMTHEME" not in self.look:
            raise Failure("a switch needs the program started in a look of colours")
        self.qt6ct[what] = value
        folder = os.path.join(self.work, "config", "qt6ct")
        os.makedirs(folder, exist_ok=True)
        contrast_scheme = os.path.join(folder, "contrast.conf")
        with open(contrast_scheme, "w") as f:
            f.write("[ColorScheme]\n" + "".join("%s_colors=%s\n" % (group, self.CONTRAST)
                                                for group in ("active", "disabled", "inactive")))
        path = self.SCHEMES.get(self.qt6ct["colours"], contrast_scheme)
        with open(os.path.join(folder, "new.conf"), "w") as f:
            f.write("[Appearance]\nstyle=%s\ncustom_palette=%s\ncolor_scheme_path=%s\n" % (
                self.qt6ct["style"], "true" if path else "false", path or ""))
            if "points" in self.qt6ct:  # the desktop's text size
                f.write('[Fonts]\ngeneral="Sans Serif,%s,-1,5,50,0,0,0,0,0"\n' % self.qt6ct["points"])
        os.rename(os.path.join(folder, "new.conf"), os.path.join(folder, "qt6ct.conf"))

    def fonts(self, family):
        """A font configuration that has only this family of the system's fonts, as a system
        without the Arial-metric fonts has."""
        folder = os.path.join(self.work, "fonts")
        os.makedirs(folder, exist_ok=True)
        for font in run("fc-list", family, "file").stdout.split():
            target = os.path.join(folder, os.path.basename(font.rstrip(":")))
            if not os.path.lexists(target):
                os.symlink(font.rstrip(":"), target)
        config = os.path.join(self.work, "fonts.conf")
        with open(config, "w") as f:
            f.write('<?xml version="1.0"?><fontconfig><dir>%s</dir><cachedir>%s/cache</cachedir>'
                    '</fontconfig>' % (folder, folder))
        return config

    def environment(self):
        return dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.work, "config")) | self.look

    def user_folder(self):
        return os.path.join(self.work, "config", "tallimer")

    def reset_look(self):
        self.look = {}
        self.qt6ct = {"colours": "light", "style": "Fusion"}
        shutil.rmtree(os.path.join(self.work, "config"), ignore_errors=True)

    def launch(self, folder, accessible):
        env = dict(self.environment(), QT_QPA_PLATFORM="xcb")
        if accessible:
            env.update(self.accessibility_bus(), QT_ACCESSIBILITY="1",
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        return self.spawn([os.path.join(folder, self.program_name())], folder, env)

    def accessibility_bus(self):
        """A private session bus with the screen readers' bus on it, made at the first need."""
        if self.accessibility is None:
            address, pid = (os.path.join(self.work, name) for name in ("bus-address", "bus-pid"))
            with open(address, "w") as a, open(pid, "w") as p:
                daemon = subprocess.run(["dbus-daemon", "--session", "--fork",
                                         "--print-address=%d" % a.fileno(),
                                         "--print-pid=%d" % p.fileno()],
                                        pass_fds=(a.fileno(), p.fileno()), capture_output=True)
            if daemon.returncode != 0:
                raise Failure("no session bus for the screen-reader test")
            self.accessibility = {"address": open(address).readline().strip(),
                                  "pid": int(open(pid).readline())}
            env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.accessibility["address"])
            self.launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher",
                                              "--launch-immediately"], env=env,
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return {"DBUS_SESSION_BUS_ADDRESS": self.accessibility["address"]}

    def accessible_names(self):
        env = dict(os.environ, **self.accessibility_bus())
        return output_of("/usr/bin/python3", os.path.join(HERE, "atspi_names.py"), env=env)

    def end_session(self):
        # As the end of a Linux desktop session does, where systemd ends what is left.
        self.send_signal("TERM")

    def send_signal(self, name):
        self.process.send_signal(getattr(signal, "SIG" + name))

    def long_runtime_folder(self):
        """A runtime folder whose path, with a socket's name, will not fit a socket's address."""
        folder = os.path.join(self.work, "runtime-" + "r" * 120)
        os.makedirs(folder, mode=0o700, exist_ok=True)
        self.look["XDG_RUNTIME_DIR"] = folder

    def no_user_folder(self):
        """XDG_CONFIG_HOME names a file, so that no folder for the user's files can be made."""
        blocker = os.path.join(self.work, "not-a-folder")
        open(blocker, "w").close()
        self.look["XDG_CONFIG_HOME"] = blocker

    def restart_tray(self, desktop):
        # The panel goes and comes back: Qt embeds its icon in the new one.
        desktop.restart_tray()

    def finish(self):
        if self.accessibility is None:
            return
        self.launcher.terminate()
        os.kill(self.accessibility["pid"], signal.SIGTERM)
        # The registry daemon that the bus launcher started belongs to this display.
        for pid in run("pgrep", "-f", "at-spi2-registryd").stdout.split():
            try:
                environment = open("/proc/%s/environ" % pid, "rb").read().split(b"\0")
            except OSError:
                continue
            if ("DISPLAY=" + os.environ["DISPLAY"]).encode() in environment:
                os.kill(int(pid), signal.SIGTERM)


class WindowsFrontEnd(FrontEnd):
    def __init__(self, program, plan_dump, work, names, shell_events):
        super().__init__(program, [WINE, plan_dump], work)
        self.names = names
        self.shell_events = shell_events
        self.changed = set()
        self.spelled = {}
        os.environ["WINEPREFIX"] = os.path.join(work, "prefix")
        self.wine = WINE
        if quiet(self.wine, "wineboot", "--init") != 0:
            raise SystemExit("no Wine prefix")
        # One Wine session for the whole run: its shell, which owns the notification area,
        # comes up with the first program and takes a few seconds to do so.
        quiet("wineserver", "-p")

    THEMES = r"HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager"
    VISUAL = r"C:\windows\resources\themes\light\light.msstyles"  # Wine's "Light"

    def set_look(self, what, value):
        """The look the program starts under, as Windows' settings give it: the system's colours
        (high contrast among them), visual styles or the classic look, the density. They hold
        for the whole Wine session: reset_look undoes them. (Windows has Arial: there is no
        other font to try.)"""
        if what == "colours":
            self.switch("colours", value)
        elif what == "theme":
            self.registry(self.THEMES, "DllName", self.VISUAL if value == "visual" else "")
        elif what == "dpi":
            self.registry(r"HKCU\Control Panel\Desktop", "LogPixels", value, "REG_DWORD")
            # Windows takes a new scale at the next sign-in: a Wine session of its own, which
            # Wine 10 needs for its fonts to follow.
            self.new_session()
        elif what in ("menu-font", "text-size"):
            # For this Wine session only: the menus' font, or the messages' (the text size).
            font = "menu" if what == "menu-font" else "message"
            if quiet(self.wine, self.shell_events, "font", font, value) != 0:
                raise Failure("the %s font was not set to %s pixels" % (font, value))
        else:
            raise Failure("no look of %s on Windows" % what)
        self.changed.add(what)

    def new_session(self):
        for step in ("-k", "-w", "-p"):
            quiet("wineserver", step)

    def registry(self, key, name, value, kind="REG_SZ"):
        if quiet(self.wine, "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f") != 0:
            raise Failure("could not set %s in %s" % (name, key))

    def switch(self, what, value):
        if what != "colours" or quiet(self.wine, self.shell_events, "colours", value) != 0:
            raise Failure("the system's %s were not set to %s" % (what, value))
        self.changed.add("colours")

    def user_folder(self):
        return os.path.join(glob.glob(os.path.join(
            os.environ["WINEPREFIX"], "drive_c", "users", "*", "AppData", "Local"))[0], "Tallimer")

    def reset_look(self):
        self.look = {}
        shutil.rmtree(self.user_folder(), ignore_errors=True)
        undo = {"colours": lambda: self.switch("colours", "light"),
                "theme": lambda: self.set_look("theme", "visual"),
                "dpi": lambda: self.set_look("dpi", "96"),
                "menu-font": self.new_session, "text-size": self.new_session}
        for what in self.changed & set(undo):
            undo[what]()
        self.changed = set()

    def launch(self, folder, accessible):
        # By the name Windows gives the folder, which may be its short (8.3) one.
        program = self.program_name()
        if folder in self.spelled:
            program = self.spelled[folder] + "\\" + program
        return self.spawn([self.wine, program], folder, self.environment())

    def accessible_names(self):
        return output_of(self.wine, self.names)

    def end_session(self):
        # As a Windows logoff does: WM_QUERYENDSESSION, then WM_ENDSESSION to every window.
        quiet(self.wine, "wineboot", "--end-session")

    def restart_tray(self, desktop):
        # As Explorer restarting does: the icon is gone, then "TaskbarCreated" comes.
        if quiet(self.wine, self.shell_events, "remove") != 0:
            raise Failure("no window to take the icon of")
        wait_for("the icon did not go", 10, lambda: not tray_sockets())
        if quiet(self.wine, self.shell_events, "created") != 0:
            raise Failure("TaskbarCreated was not sent")

    def finish(self):
        quiet("wineserver", "-k")


# One scenario ----------------------------------------------------------------------------------

class Scenario:
    def __init__(self, front_end, desktop, folder, artifacts, name):
        self.front = front_end
        self.desktop = desktop
        self.folder = folder
        self.artifacts = artifacts
        self.name = name
        self.before = {}
        self.started = False
        self.again = None
        self.mounted = []

    def path(self, name):
        return os.path.join(self.folder, name)

    # Moves the file away and puts a link to it in its place in one rename, whatever the
    # running program writes there in between.
    def relink(self, name, target):
        os.rename(self.path(name), self.path(target))
        os.symlink(target, self.path(name + ".link"))
        os.replace(self.path(name + ".link"), self.path(name))

    def control(self, name):
        """Its kind, where it is in the window ("box": left, top, width, height), how wide its
        text is, and where across the control the text may lie (from "start" to "end")."""
        if name not in self.front.plan["controls"]:
            raise Failure("no control named " + name)
        return self.front.plan["controls"][name]

    def picture(self, name):
        left, top, width, height = self.control(name)["box"]
        window = self.window()
        x, y = absolute_origin(window)
        return Picture(x + left, y + self.front.client_top(window) + top, width, height)

    def least_contrast(self, name, least):
        """Whether the control's text, its strongest colour, contrasts enough with the colour
        behind it."""
        picture = self.picture(name)
        return max(contrast(p, picture.background) for p in picture.pixels) >= least

    def whole(self, name):
        """Whether the control's caption shows whole: its ink spans the text's width, and a
        check box's indicator is not cut at both its top and its bottom."""
        picture, control = self.picture(name), self.control(name)
        rows = range(picture.height)
        columns, _ = picture.inked(range(control["start"], control["end"]), rows)
        if not columns or columns[-1] - columns[0] + 1 < control["text"] - 2:
            return False
        _, indicator = picture.inked(range(0, control["start"]), rows)
        return (control["kind"] != "CheckBox" or not indicator or indicator[0] > 0
                or indicator[-1] < picture.height - 1)

    def window(self):
        window = self.front.main_window()
        if window is None:
            raise Failure("the window is not shown")
        return window

    def activate(self, window):
        if run("xdotool", "windowactivate", "--sync", window, timeout=10).returncode != 0:
            raise Failure("the window manager did not activate the window")

    def icon(self):
        sockets = wait_for("no icon in the notification area", 10, tray_sockets)
        return sockets[0]

    def in_tray(self):
        return self.front.main_window() is None and tray_sockets()

    def popup(self, what, *pointer):
        """The small window that the pointer brings up over the icon: a menu or a tip."""
        before = {w[0] for w in viewable_top_levels()}
        run("xdotool", "mousemove", "--window", self.icon(), "8", "12", *pointer)

        def shown():
            new = [w for w in viewable_top_levels() if w[0] not in before and w[3] < 400]
            return new[0] if new else None
        found = wait_for("no %s over the icon" % what, 5, shown)
        time.sleep(0.3)
        return found

    def open_menu(self):
        return self.popup("menu on a right click", "click", "3")

    def text_top(self, name):
        picture = self.picture(name)
        _, rows = picture.inked(range(picture.width), range(picture.height))
        if not rows:
            raise Failure("no text in " + name)
        return rows[0]

    def snapshot(self):
        """The files as they are before the program starts, for "expect same"."""
        for name in os.listdir(self.folder):
            if not os.path.islink(self.path(name)) and os.path.isfile(self.path(name)):
                with open(self.path(name), "rb") as f:
                    self.before[name] = f.read()
        # The pointer out of the way, where no tool tip of the new window shows.
        run("xdotool", "mousemove", "0", "0")

    def wait_until_up(self):
        wait_for("neither a window nor a tray icon came up", 45,
                 lambda: self.front.main_window() or tray_sockets() or self.front.exited())
        time.sleep(0.5)

    def play(self, steps):
        self.accessible = any(w[:2] == ["expect", "accessible-name"] for _, w in steps)
        open(self.front.log, "w").close()
        try:
            for number, words in steps:
                try:
                    self.step(words)
                except Failure as failure:
                    raise Failure("line %d, %s: %s" % (number, " ".join(words), failure))
        except Failure:
            self.screenshot()
            raise
        finally:
            self.front.kill()
            self.front.reset_look()
            for folder in reversed(self.mounted):
                run("umount", folder)

    def screenshot(self):
        if self.artifacts:
            name = re.sub(r"[^a-z0-9]+", "-", self.name.lower()).strip("-")
            run("import", "-window", "root", os.path.join(self.artifacts, name + ".png"))
            if os.path.exists(self.front.log):
                shutil.copy(self.front.log, os.path.join(self.artifacts, name + ".log"))

    # The steps and the expectations of the table, each under the words that name it: a step's
    # verb and, where it has forms, its first argument ("start again"); an expectation's name.
    STEPS = {}
    EXPECTATIONS = {}

    def step(self, words):
        for named in (2, 1):  # "start again" before "start"
            action = self.STEPS.get(" ".join(words[:named]))
            if action is not None and len(words) >= named:
                return action(self, words[named:])
        raise Failure("no such step: " + " ".join(words))

    def expect(self, args):
        if args[0] not in self.EXPECTATIONS:
            raise Failure("no such expectation: " + args[0])
        self.EXPECTATIONS[args[0]](self, args[1:])

    def _on(table, *names):
        def register(action):
            table.update(dict.fromkeys(names, action))
            return action
        return register

    @_on(STEPS, "folder")
    def step_folder(self, args):
        # The program in a folder of this name, inside the scenario's own.
        named = os.path.join(self.folder, args[0].strip('"'))
        os.makedirs(named)
        os.rename(os.path.join(self.folder, self.front.program_name()),
                  os.path.join(named, self.front.program_name()))
        self.folder = named

    @_on(STEPS, "folder program-files")
    def step_folder_program_files(self, args):
        # (Windows) the program in Program Files, started by the folder's short name.
        named = os.path.join(os.environ["WINEPREFIX"], "drive_c", "Program Files", "Tallimer")
        shutil.rmtree(named, ignore_errors=True)
        os.makedirs(named)
        shutil.move(self.path(self.front.program_name()), named)
        self.folder = named
        self.front.spelled[named] = output_of(WINE, "winepath", "-s", r"C:\Program Files\Tallimer").strip()

    @_on(STEPS, "file")
    def step_file(self, args):
        with open(self.path(args[0]), "wb") as f:
            f.write(text_argument(args[1]))

    def make_read_only(self, folder):
        for command in (["--bind", folder, folder], ["-o", "remount,bind,ro", folder]):
            if run("mount", *command).returncode != 0:
                raise Failure("this machine makes no read-only folder: a bind mount is refused")
            if folder not in self.mounted:
                self.mounted.append(folder)

    @_on(STEPS, "start")
    def step_start(self, args):
        if args:
            raise Failure("no such start: " + " ".join(args))
        self.snapshot()
        self.front.start(self.folder, self.accessible)
        self.started = True
        self.wait_until_up()

    def start_handing_over(self, folder, what):
        """A start that should hand over to the running copy and end: its status is kept."""
        later = self.front.launch(folder, False)
        try:
            self.again = later.wait(20)
        except subprocess.TimeoutExpired:
            self.front.others.append(later)
            raise Failure(what + " did not end")

    @_on(STEPS, "start again")
    def step_start_again(self, args):
        self.start_handing_over(self.folder, "the second start from the same folder")

    @_on(STEPS, "start elsewhere")
    def step_start_elsewhere(self, args):
        other = self.folder + "-elsewhere"
        os.makedirs(other)
        shutil.copy(os.path.join(self.folder, self.front.program_name()), other)
        if args != ["read-only"]:
            self.front.others.append(self.front.launch(other, False))
            return
        # A copy in another folder that also refuses writes, which keeps its files where this
        # one does: it hands over and ends.
        self.make_read_only(other)
        self.start_handing_over(other, "the start elsewhere")

    @_on(STEPS, "start twice")
    def step_start_twice(self, args):
        # Two starts from one folder at the same moment: one runs, the other hands over.
        self.snapshot()
        self.front.start(self.folder, False)
        self.front.others.append(self.front.launch(self.folder, False))
        pair = [self.front.process, self.front.others[0]]
        ended = wait_for("neither of two starts ended", 30,
                         lambda: [p for p in pair if p.poll() is not None])
        self.again = ended[0].returncode
        self.front.process = next((p for p in pair if p.poll() is None), ended[0])
        self.front.others = []
        self.started = True
        self.wait_until_up()

    @_on(STEPS, "kill")
    def step_kill(self, args):
        self.front.process.kill()
        self.front.process.wait()

    def click_in(self, name, x, y):
        """A left click at x, y within the control, as a hand does: the pointer comes to rest
        before the click, and whatever showed for the place it left (a tool tip) has gone."""
        left, top = self.control(name)["box"][:2]
        window = self.window()
        run("xdotool", "mousemove", "--window", window, str(left + x),
            str(self.front.client_top(window) + top + y), "sleep", "0.2", "click", "1")
        time.sleep(0.3)

    @_on(STEPS, "click")
    def step_click(self, args):
        width, height = self.control(args[0])["box"][2:]
        self.click_in(args[0], width // 2, height // 2)

    @_on(STEPS, "click-low")
    def step_click_low(self, args):
        # In the lowest rows of each box's indicator, where a box that grew into the row below
        # would take the click.
        for name in args:
            picture, control = self.picture(name), self.control(name)
            # An indicator's frame may be drawn as faintly as Adwaita's.
            columns, rows = picture.inked(range(0, control["start"]), range(picture.height), 1.25)
            if not rows:
                raise Failure("no indicator in " + name)
            self.click_in(name, (columns[0] + columns[-1]) // 2, rows[-1] - 1)

    @_on(STEPS, "type")
    def step_type(self, args):
        run("xdotool", "type", "--delay", "50", text_argument(args[0]).decode())
        time.sleep(0.3)

    @_on(STEPS, "key")
    def step_key(self, args):
        run("xdotool", "key", "--delay", "80", *args)
        time.sleep(0.3)

    @_on(STEPS, "double-click")
    def step_double_click(self, args):
        run("xdotool", "mousemove", "--window", self.icon(), "8", "12", "click", "--repeat", "2",
            "--delay", "80", "1")

    @_on(STEPS, "menu")
    def step_menu(self, args):
        items = self.front.plan["menu"]
        if args[0] not in items:
            raise Failure("no menu item named " + args[0])
        _, mx, my, mw, mh = self.open_menu()
        row = mh / len(items)
        run("xdotool", "mousemove", str(mx + mw // 2),
            str(int(my + row * items.index(args[0]) + row / 2)), "click", "1")

    @_on(STEPS, "close")
    def step_close(self, args):
        window = self.window()
        self.activate(window)
        if run("xdotool", "key", "--clearmodifiers", "alt+F4").returncode != 0:
            raise Failure("Alt+F4 could not be typed")

    @_on(STEPS, "switch")
    def step_switch(self, args):
        self.front.switch(args[0], args[1])
        self.front.read_plan()
        if self.started:  # the window takes the new look's size when it has laid itself out
            wait_for("the window was not laid out for the new look", 10, self.front.main_window)

    @_on(EXPECTATIONS, "shown")
    def expect_shown(self, args):
        wait_for("the window is not shown", 10, self.front.main_window)
        time.sleep(0.5)

    @_on(EXPECTATIONS, "in-tray")
    def expect_in_tray(self, args):
        wait_for("the window is not in the notification area", 10, self.in_tray)
        time.sleep(0.5)

    @_on(EXPECTATIONS, "centred")
    def expect_centred(self, args):
        # Across to the pixel; down within the height of the caption that the window manager
        # puts above it.
        window = self.window()
        x0, y0, width, height = geometry(window)
        frame = re.findall(r"\d+", x("xprop", "-id", window, "_NET_FRAME_EXTENTS"))
        caption = int(frame[2]) if len(frame) == 4 else 0
        if abs(x0 + width / 2 - 512) > 2 or abs(y0 + height / 2 - 384) > caption + 2:
            raise Failure("the window is at %d,%d, its caption %d high" % (x0, y0, caption))

    @_on(EXPECTATIONS, "no-maximise")
    def expect_no_maximise(self, args):
        # The Motif hints the window manager reads: functions without maximise (0x10) and with
        # minimise (0x20), decorations without the maximise button (0x40).
        hints = re.findall(r"0x[0-9a-f]+|\d+", x("xprop", "-id", self.window(), "_MOTIF_WM_HINTS"))
        if len(hints) < 3:
            raise Failure("the window has no Motif hints")
        flags, functions, decorations = (int(h, 0) for h in hints[:3])
        if flags & 1 and (functions & 0x10 or not functions & 0x20) or (
                flags & 2 and decorations & 0x40):
            raise Failure("the window offers maximise: %s" % hints)

    @_on(EXPECTATIONS, "no-icon")
    def expect_no_icon(self, args):
        if tray_sockets():
            raise Failure("an icon is in the notification area")

    @_on(EXPECTATIONS, "again-exit")
    def expect_again_exit(self, args):
        if self.again != int(args[0]):
            raise Failure("the later start ended with status %s" % self.again)

    @_on(EXPECTATIONS, "windows")
    def expect_windows(self, args):
        wait_for("not %s windows shown" % args[0], 15,
                 lambda: len(self.front.main_windows()) == int(args[0]))

    @_on(EXPECTATIONS, "active")
    def expect_active(self, args):
        window = wait_for("the window is not shown", 10, self.front.main_window)
        wait_for("the window is not the active one", 10,
                 lambda: x("xdotool", "getactivewindow").strip() == str(int(window, 0)))

    @_on(EXPECTATIONS, "exit")
    def expect_exit(self, args):
        try:
            # Long enough for the flushed saves of a close on a disk that others keep busy.
            status = self.front.process.wait(30)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end; its window is %s" % (
                "still shown" if self.front.main_window() else "gone"))
        if status != int(args[0]):
            raise Failure("the program ended with status %d" % status)

    @_on(EXPECTATIONS, "file")
    def expect_file(self, args):
        got = contents(self.path(args[0]))
        if got != text_argument(args[1]):
            raise Failure("%s holds %r, not %r" % (args[0], got, text_argument(args[1])))

    @_on(EXPECTATIONS, "same")
    def expect_same(self, args):
        got = contents(self.path(args[0]))
        if got != self.before.get(args[0]):
            raise Failure("%s changed: %r" % (args[0], got))

    @_on(EXPECTATIONS, "user-file")
    def expect_user_file(self, args):
        got = contents(self.front.user_file(args[0]))
        if got != text_argument(args[1]):
            raise Failure("the user's %s holds %r" % (args[0], got))

    @_on(EXPECTATIONS, "missing")
    def expect_missing(self, args):
        if os.path.lexists(self.path(args[0])):
            raise Failure(args[0] + " was made")

    @_on(EXPECTATIONS, "link")
    def expect_link(self, args):
        if not os.path.islink(self.path(args[0])) or os.readlink(self.path(args[0])) != args[1]:
            raise Failure("%s is no longer a link to %s" % (args[0], args[1]))

    @_on(EXPECTATIONS, "uptime")
    def expect_uptime(self, args):
        data = wait_for("no %s was written" % args[0], 10, lambda: contents(self.path(args[0])))
        if not re.fullmatch(rb"[1-9][0-9]*\r\n", data):
            raise Failure("%s holds %r" % (args[0], data))
        actual = float(open("/proc/uptime").read().split()[0])
        if abs(int(data) - actual) > 2:
            raise Failure("%s says %s, the system %.1f" % (args[0], data, actual))

    @_on(EXPECTATIONS, "contrast")
    def expect_contrast(self, args):
        wait_for("the text of %s contrasts less than %s:1" % (args[0], args[1]), 10,
                 lambda: self.least_contrast(args[0], float(args[1])))

    @_on(EXPECTATIONS, "background")
    def expect_background(self, args):
        def dark():
            behind = self.picture(args[0]).background
            return contrast(behind, (0, 0, 0)) < contrast(behind, (255, 255, 255))
        wait_for("the background of %s is not %s" % (args[0], args[1]), 10,
                 lambda: dark() == (args[1] == "dark"))

    @_on(EXPECTATIONS, "whole")
    def expect_whole(self, args):
        for name in [n for n, c in self.front.plan["controls"].items() if c["text"] > 0]:
            wait_for("the caption of %s is cut" % name, 10, lambda: self.whole(name))

    @_on(EXPECTATIONS, "text-top")
    def expect_text_top(self, args):
        row = self.text_top(args[0])
        if row > int(args[1]):
            raise Failure("the text of %s begins %d pixels below its top" % (args[0], row))

    @_on(EXPECTATIONS, "accessible-name")
    def expect_accessible_name(self, args):
        pattern = args[2] if args[1:2] == ["matching"] else None
        wanted = text_argument(pattern or args[1]).decode()
        left, top, width, height = self.control(args[0])["box"]
        called = []

        def named():
            names = self.front.accessible_names()
            called[:] = [names]
            for line in names.splitlines():
                box, _, name = line.partition("\t")
                if [int(n) for n in box.split()] == [left, top, width, height]:
                    called[:] = [name]
                    return re.fullmatch(wanted, name) if pattern else name == wanted
            return False
        try:
            wait_for("", 10, named)
        except Failure:
            raise Failure("%s is called %r" % (args[0], called[0] if called else None))

    # The steps and expectations that pass their words straight on.
    STEPS.update({
        "link": lambda self, args: os.symlink(args[1], self.path(args[0])),
        "relink": lambda self, args: self.relink(*args),
        "chmod": lambda self, args: os.chmod(self.path(args[1]), int(args[0], 8)),
        "read-only folder": lambda self, args: self.make_read_only(self.folder),
        "runtime-folder": lambda self, args: self.front.long_runtime_folder(),
        "user-folder": lambda self, args: self.front.no_user_folder(),
        "end session": lambda self, args: self.front.end_session(),
        "signal": lambda self, args: self.front.send_signal(args[0]),
        "restart tray": lambda self, args: self.front.restart_tray(self.desktop),
        "minimise": lambda self, args: run("xdotool", "windowminimize", "--sync", self.window(),
                                           timeout=10),
        "click icon": lambda self, args: run("xdotool", "mousemove", "--window", self.icon(), "8",
                                             "12", "click", "1"),
        "look": lambda self, args: self.front.set_look(args[0], args[1].strip('"')),
        "wait": lambda self, args: time.sleep(float(args[0])),
        "expect": lambda self, args: self.expect(args),
    })
    EXPECTATIONS["tip"] = lambda self, args: self.popup("tip with the pointer resting")

    del _on


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--front-end", choices=("linux", "windows"), required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--plan-dump", required=True)
    parser.add_argument("--names", help="accessible_names.exe, for the Windows program")
    parser.add_argument("--shell-events", help="shell_events.exe, for the Windows program")
    parser.add_argument("--table", default=os.path.join(HERE, "scenarios.txt"))
    parser.add_argument("--scenarios", type=int, default=1,
                        help="fail when fewer scenarios than this are played")
    parser.add_argument("--only", action="append",
                        help="only the scenarios whose name holds this text")
    parser.add_argument("--artifacts")
    options = parser.parse_args()
    # A program started here gets Ctrl+C's signal as from a terminal, even where this script
    # was started with it ignored.
    signal.signal(signal.SIGINT, signal.default_int_handler)

    work = tempfile.mkdtemp(prefix="tallimer-scenarios-")
    if options.artifacts:
        os.makedirs(options.artifacts, exist_ok=True)
    desktop = Desktop(work)
    front = None
    failed = []
    try:
        plan_dump = os.path.abspath(options.plan_dump)
        if options.front_end == "linux":
            front = LinuxFrontEnd(os.path.abspath(options.program), [plan_dump], work)
        else:
            front = WindowsFrontEnd(os.path.abspath(options.program), plan_dump, work,
                                    os.path.abspath(options.names),
                                    os.path.abspath(options.shell_events))
        scenarios = [s for s in read_table(options.table)
                     if s["front"] in (None, options.front_end)
                     and (not options.only or any(text in s["name"] for text in options.only))]
        for number, scenario in enumerate(scenarios, 1):
            folder = os.path.join(work, "program-%d" % number)
            os.makedirs(folder)
            shutil.copy(options.program, folder)
            started = time.monotonic()
            try:
                Scenario(front, desktop, folder, options.artifacts, scenario["name"]).play(
                    scenario["steps"])
                print("PASS %s (%.1f s)" % (scenario["name"], time.monotonic() - started),
                      flush=True)
            except Failure as failure:
                failed.append(scenario["name"])
                print("FAIL %s: %s" % (scenario["name"], failure), flush=True)
    finally:
        if front is not None:
            front.finish()
        desktop.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("%s: %d scenarios, %d failed" % (options.front_end, len(scenarios), len(failed)))
    if len(scenarios) < max(options.scenarios, 1):
        print("FAIL: %d scenarios played, not %d" % (len(scenarios), options.scenarios))
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
