"""Plays the scenario table against one front end of Tallimer, the Linux program or the Windows
program under Wine, on a virtual X display with a window manager (openbox) and a notification
area (trayer). Each scenario gets a fresh program folder. Prints one line per scenario and ends
with status 1 when any failed.

    run.py --front-end linux|windows --program FILE --plan-dump FILE [--names FILE]
           [--table FILE] [--scenarios N] [--only TEXT] [--artifacts DIR]
"""
import argparse
import glob
import json
import os
import pwd
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
    """The condition's first true result within the seconds. WHAT is the failure: a text, or a
    function that tells it from what the wait saw."""
    deadline = time.monotonic() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(what() if callable(what) else what)
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
            header = re.fullmatch(r"scenario(?: \(([A-Za-z0-9 ,]+)\))?: (.*)", stripped)
            if header:
                tags = set(header[1].split(", ")) if header[1] else set()
                unknown = tags - {"linux", "windows"} - set(HOST_TAGS)
                if unknown:
                    raise SystemExit("%s:%d: no such tag: %s" % (path, number, unknown))
                scenarios.append({"tags": tags, "name": header[2], "steps": []})
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

    # The screen's pixels in a rectangle, as bytes of red, green and blue: the X server's.
    @staticmethod
    def grab(left, top, width, height):
        return subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
            width, height, left, top), "-depth", "8", "rgb:-"], capture_output=True).stdout

    def __init__(self, left, top, width, height):
        data = Picture.grab(left, top, width, height)
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


def is_shown(window):
    """Whether a viewable window is shown: a window manager may keep a minimised window mapped
    (mutter does), marked as Iconic or hidden."""
    states = x("xprop", "-id", window, "WM_STATE", "_NET_WM_STATE")
    return "Iconic" not in states and "_NET_WM_STATE_HIDDEN" not in states


class Bus:
    """The desktop's session bus, as the program's own tray icon and the panels use it."""
    WATCHER = "org.kde.StatusNotifierWatcher"

    def __init__(self, address):
        from gi.repository import Gio, GLib
        self.Gio, self.GLib = Gio, GLib
        flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                 | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        self.connection = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)

    def call(self, name, path, interface, method, signature=None, *args):
        """The method's answer, unpacked; None where the call failed."""
        try:
            return self.connection.call_sync(
                name, path, interface, method,
                self.GLib.Variant(signature, args) if signature else None, None,
                self.Gio.DBusCallFlags.NO_AUTO_START, 5000, None).unpack()
        except self.GLib.Error:
            return None

    def get(self, name, path, interface, prop):
        answer = self.call(name, path, "org.freedesktop.DBus.Properties", "Get", "(ss)",
                           interface, prop)
        return answer[0] if answer else None

    def names(self):
        answer = self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "ListNames")
        return answer[0] if answer else []

    def pid(self, name):
        answer = self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetConnectionUnixProcessID", "(s)", name)
        return answer[0] if answer else None

    def host_registered(self):
        return bool(self.get(self.WATCHER, "/StatusNotifierWatcher", self.WATCHER,
                             "IsStatusNotifierHostRegistered"))

    def items(self, pids):
        """The StatusNotifierItems that the processes registered: (name, path) each."""
        found = []
        for item in self.get(self.WATCHER, "/StatusNotifierWatcher", self.WATCHER,
                             "RegisteredStatusNotifierItems") or []:
            name, _, path = item.replace("@/", "/", 1).partition("/")
            if self.pid(name) in pids:
                found.append((name, "/" + path if path else "/StatusNotifierItem"))
        return found

    def menu_click(self, item, label):
        """A click on the item's menu entry with this label, as a panel that draws the menu
        sends it."""
        menu = self.get(*item, "org.kde.StatusNotifierItem", "Menu")
        layout = menu and self.call(item[0], menu, "com.canonical.dbusmenu", "GetLayout", "(iias)",
                                    0, -1, [])
        entries = layout[1][2] if layout else []
        for entry in entries:
            if entry[1].get("label", "").replace("_", "") == label:
                return self.call(item[0], menu, "com.canonical.dbusmenu", "Event", "(isvu)",
                                 entry[0], "clicked", self.GLib.Variant("i", 0), 0) is not None
        raise Failure("no menu entry %r: %r" % (label, entries))


class Host:
    """A desktop's window manager and notification area on the virtual display. Each runs as it
    does in a session of its own: on the session bus the run makes, with the desktop's name."""
    name = None       # XDG_CURRENT_DESKTOP
    session = True    # whether it has a session bus (without one Qt takes the XEmbed tray)
    clicks = 1        # the clicks on an icon that bring its window back
    wayland = False   # whether the program runs on Wayland
    SESSION = {}      # what else the desktop's session sets for every program in it
    NEEDS = ()        # the programs it is made of, and the helpers

    @classmethod
    def missing(cls):
        helpers = [os.environ.get("WM_CLOSE", "wm_close")] if cls.session else []
        return [p for p in list(cls.NEEDS) + helpers if not (shutil.which(p) or os.path.exists(p))]

    def __init__(self, desktop):
        self.desktop = desktop
        self.panel = None

    def start_window_manager(self):
        pass

    def panel_up(self):
        return self.desktop.bus.host_registered()

    READY = None  # what the panel writes once it takes input

    def start_panel(self):
        log = self.desktop.log("panel")
        written = os.path.getsize(log) if os.path.exists(log) else 0
        self.panel = self.desktop.start(*self.PANEL, log=log)
        wait_for("the panel did not come up", 60, self.panel_up)
        if self.READY:
            wait_for("the panel did not say it was ready", 30,
                     lambda: self.READY in open(log, errors="replace").read()[written:])

    def stop_panel(self):
        self.panel.terminate()
        self.panel.wait()
        wait_for("the panel did not go", 10, lambda: not self.panel_up())

    # The program's window, on an X display: whichever a window manager runs, or none.
    def shown_window(self, front):
        return front.main_window()

    def active(self, front):
        window = front.main_window()
        return window and x("xdotool", "getactivewindow").strip() == str(int(window, 0))

    def minimised(self, front):
        return any(not is_shown(w) for w in x("xdotool", "search", "--name", "^Tallimer$").split())

    def close(self, front):
        """As the close button of the window's frame closes it: the window manager is asked."""
        window = front.main_window()
        if not window or run(os.environ.get("WM_CLOSE", "wm_close"), "--window-manager",
                             window).returncode != 0:
            raise Failure("the window could not be closed")

    def windows_seen(self, front):
        """What the display shows of the program's windows, for a failure to tell."""
        return "; ".join("%s %s %s" % (w, "viewable" if "IsViewable" in x("xwininfo", "-id", w)
                                       else "unmapped", " ".join(x(
                                           "xprop", "-id", w, "WM_STATE", "_NET_WM_STATE").split()))
                         for w in x("xdotool", "search", "--name", "^Tallimer$").split()) or "none"

    def click(self, at, clicks):
        run("xdotool", "mousemove", *map(str, at), "sleep", "0.2", "click", "--repeat",
            str(clicks), "--delay", "80", "1")

    def icon_shown(self, front):
        """Whether the program's icon is in the notification area: a StatusNotifierItem, or a
        window of the program's that the panel embeds."""
        if self.desktop.bus.items(front.pids()):
            return True
        return not self.wayland and any(embedded(w) for w in x("xdotool", "search", "--onlyvisible", "--pid",
                                           str(front.process.pid)).split())

    def icon_at(self):
        """Where the icon is, in a strip at the top or the bottom of the screen, where panels
        are (the window is hidden, and with it its task-bar button)."""
        for top in (0, 768 - 48):
            found = find_icon(Picture(0, top, 1024, 48))
            if found:
                return found[0], top + found[1]
        return None


def find_icon(picture):
    """The middle of the program's icon in a picture: a patch of its blue around its white clock
    face, which another program's blue icon lacks."""
    def blue(p):
        return p[0] < 80 and p[2] > p[0] + 60 and p[2] > p[1] + 40 and 100 < p[2] < 210

    width = picture.width
    unseen = {i for i, p in enumerate(picture.pixels) if blue(p)}
    best = None
    while unseen:  # patches of blue, each pixel at most two from the next
        patch, edge = [], [unseen.pop()]
        while edge:
            i = edge.pop()
            patch.append(i)
            for dy in range(-2, 3):
                for dx in range(-2, 3):
                    j = i + dy * width + dx
                    if j in unseen and abs(j % width - i % width) <= 2:
                        unseen.remove(j)
                        edge.append(j)
        xs, ys = [i % width for i in patch], [i // width for i in patch]
        if max(xs) - min(xs) > 48 or max(ys) - min(ys) > 48:
            continue
        white = sum(min(picture.pixels[y * width + x]) >= 225
                    for y in range(min(ys), max(ys) + 1) for x in range(min(xs), max(xs) + 1))
        if white >= 6 and (best is None or white > best[0]):
            best = (white, (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2)
    return best[1:] if best else None


def embedded(window):
    """Whether a window is embedded in another program's (a tray icon) rather than a top level."""
    return "(the root window)" not in x("xwininfo", "-id", window, "-children").split("Parent window id:")[-1].splitlines()[0]


class Trayer(Host):
    """openbox and trayer, with no session bus: Qt embeds its icon there (XEmbed)."""
    session = False
    clicks = 2
    NEEDS = ("openbox", "trayer")

    def start_window_manager(self):
        self.desktop.start_openbox()

    def panel_up(self):
        return "panel" in x("xwininfo", "-name", "panel")

    def start_panel(self):
        # A fixed width: Wine keeps a panel's old size and drops clicks on an icon that comes
        # back to a panel that shrank when the last one left.
        self.panel = self.desktop.start(
            "trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
            "64", "--height", "32", "--SetDockType", "true", "--transparent", "false", "--tint",
            "0xdddddd")
        wait_for("no panel", 10, self.panel_up)

    def icon_shown(self, front):
        return bool(tray_sockets())

    def icon_at(self):
        sockets = tray_sockets()
        box = sockets and geometry(sockets[0])
        return (box[0] + 8, box[1] + 12) if box else None


class Gnome(Host):
    """GNOME Shell on X11 with the AppIndicator extension, which shows both kinds of icon."""
    name = "GNOME"
    clicks = 2
    PANEL = ("gnome-shell", "--x11", "--replace")
    NEEDS = ("gnome-shell",
             "/usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com/metadata.json")
    # Until its start-up animation has run, a cover over the screen takes every click.
    READY = "GNOME Shell started at"

    def start_panel(self):
        for key, value in (("enabled-extensions", "['ubuntu-appindicators@ubuntu.com']"),
                           ("disable-user-extensions", "false")):
            run("gsettings", "set", "org.gnome.shell", key, value)
        super().start_panel()
        # Out of the overview it starts in, which would take the first click.
        bus, shell = self.desktop.bus, ("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell")

        def left():
            bus.call(*shell[:2], "org.freedesktop.DBus.Properties", "Set", "(ssv)", shell[2],
                     "OverviewActive", bus.GLib.Variant("b", False))
            return bus.get(*shell, "OverviewActive") is False
        wait_for("GNOME Shell stays in its overview", 10, left)


class Cinnamon(Host):
    """Cinnamon, with the watcher its session starts."""
    name = "X-Cinnamon"
    PANEL = ("cinnamon", "--replace")
    NEEDS = ("cinnamon", "/usr/libexec/xapps/sn-watcher/xapp-sn-watcher")
    READY = "Enabling WindowAttentionHandler"  # the last of its start, seconds after the rest

    def start_window_manager(self):
        self.desktop.start("/usr/libexec/xapps/sn-watcher/xapp-sn-watcher",
                           log=self.desktop.log("watcher"))


class Plasma(Host):
    """KDE Plasma on X11: KWin and plasmashell; the watcher lives in kded5, which D-Bus starts."""
    name = "KDE"
    SESSION = {"KDE_FULL_SESSION": "true", "KDE_SESSION_VERSION": "5"}
    PANEL = ("plasmashell",)
    NEEDS = ("kwin_x11", "plasmashell", "kded5")

    def panel_up(self):
        # The watcher goes on saying that a host is registered once plasmashell has gone.
        return self.desktop.bus.host_registered() and any(
            name.startswith("org.kde.StatusNotifierHost-") for name in self.desktop.bus.names())

    def start_window_manager(self):
        self.desktop.start("kwin_x11", log=self.desktop.log("kwin"))
        wait_for("no window manager", 30,
                 lambda: "window id" in x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))


class Mate(Host):
    """MATE: marco and mate-panel, whose notification area is a watcher too."""
    name = "MATE"
    PANEL = ("mate-panel",)
    NEEDS = ("marco", "mate-panel")

    def start_window_manager(self):
        self.desktop.start("marco", log=self.desktop.log("marco"))
        wait_for("no window manager", 30,
                 lambda: "window id" in x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))


class PlasmaWayland(Plasma):
    """KDE Plasma on Wayland: kwin_wayland on a virtual output, plasmashell and the program on it.
    What the display server would tell of windows, the screen and the pointer, KWin tells."""
    wayland = True
    SESSION = dict(Plasma.SESSION, XDG_SESSION_TYPE="wayland", QT_QPA_PLATFORM="wayland",
                   WAYLAND_DISPLAY="tallimer-kwin")
    NEEDS = ("kwin_wayland", "plasmashell", "kded5")

    @classmethod
    def missing(cls):
        return super().missing() + [p for p in [os.environ["FAKE_INPUT"]] if not os.path.exists(p)]

    def start_window_manager(self):
        # kwin_wayland carries a file capability, which a container may refuse to run; its copy
        # carries none (and must keep the name).
        kwin = os.path.join(self.desktop.work, "kwin", "kwin_wayland")
        os.makedirs(os.path.dirname(kwin), exist_ok=True)
        shutil.copy("/usr/bin/kwin_wayland", kwin)
        self.kwin_log = self.desktop.log("kwin")
        self.desktop.start(kwin, "--virtual", "--width", "1024", "--height", "768", "--socket",
                           os.environ["WAYLAND_DISPLAY"], "--no-lockscreen", log=self.kwin_log,
                           env=dict(os.environ, KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1",
                                    KWIN_WAYLAND_NO_PERMISSION_CHECKS="1"))
        socket = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ["WAYLAND_DISPLAY"])
        wait_for("kwin_wayland did not start", 30, lambda: os.path.exists(socket))
        wait_for("KWin is not on the bus", 30, lambda: "org.kde.KWin" in self.desktop.bus.names())

    def shown_window(self, front):
        return any(not w["minimized"] for w in self.windows(front.pids()))

    def active(self, front):
        return any(w["active"] for w in self.windows(front.pids()))

    def minimised(self, front):
        return any(w["minimized"] for w in self.windows(front.pids()))

    def close(self, front):
        """As the close button of the window's frame closes it."""
        self.run_script("workspace.clientList().forEach(function (c) { if (%s.indexOf(c.pid) >= 0) "
                        "c.closeWindow(); });" % sorted(front.pids()))

    def windows_seen(self, front):
        return str(self.windows(front.pids()))

    def click(self, at, clicks):
        if run(os.environ["FAKE_INPUT"], *map(str, at), str(clicks)).returncode != 0:
            raise Failure("no click through KWin's fake input")

    def grab(self, left, top, width, height):
        """The screen's pixels, as KWin's screenshot gives them (blue, green, red, alpha)."""
        bus = self.desktop.bus
        read, write = os.pipe()
        fds = bus.Gio.UnixFDList.new()
        fds.append(write)
        os.close(write)
        try:
            bus.connection.call_with_unix_fd_list_sync(
                "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2",
                "CaptureArea", bus.GLib.Variant("(iiuua{sv}h)", (left, top, width, height, {}, 0)),
                None, bus.Gio.DBusCallFlags.NONE, 10000, fds, None)
        finally:
            for fd in fds.steal_fds():
                os.close(fd)
        with os.fdopen(read, "rb") as f:
            data = f.read()
        return bytes(b for i in range(0, len(data), 4) for b in (data[i + 2], data[i + 1], data[i]))

    def run_script(self, text, mark=None):
        """Runs a script in KWin, whose print() lines land in KWin's log."""
        mark = mark or "tallimer-%d" % time.monotonic_ns()
        script = os.path.join(self.desktop.work, mark + ".js")
        with open(script, "w") as f:
            f.write(text)
        kwin = ("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting")
        self.desktop.bus.call(*kwin, "loadScript", "(ss)", script, mark)
        self.desktop.bus.call(*kwin, "start")
        return mark

    def windows(self, pids):
        """The program's windows, as KWin has them: minimised or not, active or not."""
        mark = "tallimer-%d" % time.monotonic_ns()
        self.run_script("workspace.clientList().forEach(function (c) { print('%s ' + JSON."
                        "stringify({pid: c.pid, minimized: c.minimized, active: c.active})); });"
                        "print('%s end');" % (mark, mark), mark)
        lines = wait_for("KWin did not run its script", 10, lambda: (
            lambda text: text if mark + " end" in text else None)(open(self.kwin_log).read()))
        return [w for w in (json.loads(line.split(mark + " ", 1)[1]) for line in lines.splitlines()
                            if mark + " {" in line) if w["pid"] in pids]


HOSTS = {"trayer": Trayer, "plasma-wayland": PlasmaWayland, "gnome": Gnome, "cinnamon": Cinnamon, "plasma": Plasma, "mate": Mate}


class Desktop:
    """A virtual display for the whole run, with a host's window manager and notification area
    on it, and the session bus and folders of a user's session of its own."""

    def __init__(self, work, host):
        """HOST: the class of the host, one of HOSTS."""
        self.work = work
        self.processes = []
        read, write = os.pipe()
        self.start("Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten",
                   "tcp", "-noreset", pass_fds=(write,))
        os.close(write)
        with os.fdopen(read) as display:
            number = display.readline().strip()  # written once the server is ready
        os.environ["DISPLAY"] = ":" + number
        for name in ("WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "QT_QPA_PLATFORM"):
            os.environ.pop(name, None)
        # No session bus, and none that libdbus would start for the display (dbus-launch),
        # until the host makes one.
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
        # Every process of the run carries this, D-Bus's services too, to be ended by it.
        os.environ["TALLIMER_SCENARIOS"] = work
        home = os.path.join(work, "home")
        os.makedirs(home, exist_ok=True)
        os.environ.update(HOME=home, XDG_RUNTIME_DIR=os.path.join(work, "runtime"),
                          XDG_DATA_HOME=os.path.join(home, "data"),
                          XDG_CACHE_HOME=os.path.join(home, "cache"))
        os.makedirs(os.environ["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        self.host = host(self)
        if self.host.wayland:
            Picture.grab = self.host.grab
        try:
            if self.host.session:
                self.start_buses()
            self.host.start_window_manager()
            self.host.start_panel()
        except BaseException:
            self.stop()
            raise

    def log(self, name):
        return os.path.join(self.work, name + ".log")

    def start_buses(self):
        """A session bus, and a system bus of the run's own, which GNOME and Cinnamon want."""
        if self.host.name:
            os.environ["XDG_CURRENT_DESKTOP"] = self.host.name
        os.environ.update(self.host.SESSION)
        system = os.path.join(self.work, "system-bus")
        self.start("dbus-daemon", "--session", "--nofork", "--address=unix:path=" + system)
        session = os.path.join(self.work, "session-bus")
        self.start("dbus-daemon", "--session", "--nofork", "--address=unix:path=" + session)
        wait_for("no session bus", 10, lambda: os.path.exists(session) and os.path.exists(system))
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + session
        os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + system
        run("dbus-update-activation-environment", "--all")
        self.bus = Bus(os.environ["DBUS_SESSION_BUS_ADDRESS"])

    def start_openbox(self):
        log = self.log("openbox")
        openbox = self.start("openbox", "--sm-disable", log=log)

        def managed():
            if openbox.poll() is not None:
                raise SystemExit("openbox ended: " + open(log).read())
            return "window id" in x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")
        wait_for("no window manager: " + log, 30, managed)

    def restart_tray(self):
        self.host.stop_panel()
        self.host.start_panel()

    def start(self, *command, log=None, **options):
        with open(log or os.devnull, "a") as output:
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
        # What D-Bus started for the desktop.
        mark = ("TALLIMER_SCENARIOS=" + self.work).encode()
        for pid in os.listdir("/proc"):
            try:
                if pid.isdigit() and int(pid) != os.getpid() and mark in open(
                        "/proc/%s/environ" % pid, "rb").read().split(b"\0"):
                    os.kill(int(pid), signal.SIGKILL)
            except OSError:
                pass


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
        plan = {"controls": {}, "menu": [], "menu text": {}}
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
                plan["menu text"][words[1]] = line.split(None, 2)[2]
        if "client" not in plan:
            raise SystemExit("no plan from " + " ".join(self.plan_dump))
        self.plan = plan

    def program_name(self):
        return os.path.basename(self.program)

    def program_folder(self, number):
        """A fresh program folder: a copy of the program alone."""
        folder = os.path.join(self.work, "program-%d" % number)
        os.makedirs(folder)
        shutil.copy(self.program, folder)
        return folder

    # Wine 10, above 96 dots per inch, leaves a strip of its own caption at the top of the X
    # window, where the window manager's frame does not reach: this many pixels at most.
    CAPTION_STRIP = 20

    def main_windows(self):
        """The program's windows that are shown: named Tallimer, the size of the plan."""
        shown = []
        for window in x("xdotool", "search", "--onlyvisible", "--name", "^Tallimer$").split():
            box = geometry(window)
            if box and self.plan and box[2] == self.plan["client"][0] and (
                    0 <= box[3] - self.plan["client"][1] <= self.CAPTION_STRIP) and is_shown(window):
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

    def pids(self):
        return {p.pid for p in [self.process] + self.others if p is not None}

    def kill(self):
        for process in [self.process] + self.others:
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        self.others = []

    def send_signal(self, name):
        raise Failure("the Windows program gets no SIG" + name)

    def runtime_folder(self, kind, scenario):
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

    def launch(self, folder, accessible, later=False):
        env = dict({"QT_QPA_PLATFORM": "xcb"}, **self.environment())
        if accessible:
            env.update(self.accessibility_bus(), QT_ACCESSIBILITY="1",
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        # A later start comes from another current folder, as from a menu or a terminal.
        return self.spawn([os.path.join(folder, self.program_name())],
                          self.work if later else folder, env)

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

    def runtime_folder(self, kind, scenario):
        """A runtime folder that is too deep for a socket's path to fit an address, or one that
        refuses files, or none at all: XDG_RUNTIME_DIR unset, and where Qt would make one
        instead ($TMPDIR/runtime-USER) a file."""
        folder = os.path.join(self.work, "runtime-" + ("r" * 120 if kind == "long" else kind))
        os.makedirs(folder, mode=0o700, exist_ok=True)
        self.look["XDG_RUNTIME_DIR"] = folder
        if kind == "read-only":
            scenario.make_read_only(folder)
        elif kind == "none":
            self.look.update(XDG_RUNTIME_DIR="", TMPDIR=folder)
            open(os.path.join(folder, "runtime-" + pwd.getpwuid(os.getuid()).pw_name), "w").close()
        elif kind != "long":
            raise Failure("no runtime folder of the kind " + kind)

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

    def launch(self, folder, accessible, later=False):
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
        self.locked = []  # folders made read-only by their permissions
        self.others = []  # programs other than Tallimer

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
        """The program's window, given the moment a busy X server may need to answer for it."""
        def seen():
            named = x("xdotool", "search", "--name", "^Tallimer$").split()
            return ("the window is not shown; windows named Tallimer (x, y, width, height): %s"
                    " against the plan's client area %s" % ([(w, geometry(w)) for w in named],
                                                            self.front.plan["client"]))
        return wait_for(seen, 10, self.front.main_window)

    def activate(self, window):
        if run("xdotool", "windowactivate", "--sync", window, timeout=10).returncode != 0:
            raise Failure("the window manager did not activate the window")

    def icon(self):
        """Where the icon is on the screen, once it stays there: a panel that has just come up
        may still be placing its icons."""
        seen = []

        def settled():
            seen.append(self.desktop.host.icon_at())
            return len(seen) > 1 and seen[-1] and seen[-1] == seen[-2] and seen[-1]
        return wait_for(lambda: "no icon that stays in the notification area: %s" % seen[-3:], 10,
                        settled)

    def click_icon(self, clicks):
        self.desktop.host.click(self.icon(), clicks)

    def icon_shown(self):
        return self.desktop.host.icon_shown(self.front)

    def minimised(self):
        """Whether a window of the program waits, minimised (also where no window manager
        runs to say so)."""
        return self.desktop.host.minimised(self.front)

    def shown_window(self):
        return self.desktop.host.shown_window(self.front)

    def in_tray(self):
        return not self.shown_window() and self.icon_shown()

    def item(self):
        """The program's StatusNotifierItem, where a panel shows it as one."""
        items = self.desktop.host.session and self.desktop.bus.items(self.front.pids())
        return items[0] if items else None

    def popup(self, what, *pointer):
        """The small window that the pointer brings up over the icon: a menu or a tip."""
        before = {w[0] for w in viewable_top_levels()}
        run("xdotool", "mousemove", *map(str, self.icon()), *pointer)

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
        # The pointer out of the way, where no tool tip of the new window shows: on the desktop,
        # clear of the panels and of a corner that opens an overview (GNOME's, KWin's).
        run("xdotool", "mousemove", "200", "600")

    def wait_until_up(self):
        wait_for("neither a window nor a tray icon came up", 45,
                 lambda: self.shown_window() or self.icon_shown() or self.minimised()
                 or self.front.exited())
        time.sleep(0.5)
        self.settle()

    def settle(self):
        """Until the window stays where it is: a window manager may still be placing it, and a
        click would land where it was."""
        if self.desktop.host.wayland or not self.front.main_window():
            return
        seen = []
        wait_for("the window does not stay in one place", 10, lambda: seen.append(
            geometry(self.front.main_window() or "0")) or len(seen) > 1 and seen[-1] == seen[-2])

    # Longer than any row takes on a busy machine (a panel gone for good: 75 s), and short enough
    # that a step that never returns is named, and the rows after it still play.
    ROW_SECONDS = 300

    def play(self, steps):
        self.accessible = any(w[:2] == ["expect", "accessible-name"] for _, w in steps)
        open(self.front.log, "w").close()

        late = []

        def overdue(*_):
            late.append(True)  # a step that words its own failure must not hide this one
            raise Failure("late")
        signal.signal(signal.SIGALRM, overdue)
        signal.alarm(self.ROW_SECONDS)
        try:
            for number, words in steps:
                try:
                    self.step(words)
                except Failure as failure:
                    raise Failure("line %d, %s: %s" % (number, " ".join(words), (
                        "the row did not end within %d s" % self.ROW_SECONDS) if late else failure))
        except Failure:
            signal.alarm(0)
            self.screenshot()
            raise
        finally:
            signal.alarm(0)
            self.front.kill()
            for other in self.others:
                other.kill()
                other.wait()
            self.front.reset_look()
            if not self.desktop.host.panel_up():  # for the next scenario
                self.desktop.host.start_panel()
            for folder in reversed(self.mounted):
                run("umount", folder)
            for folder in self.locked:
                os.chmod(folder, 0o755)

    def screenshot(self):
        if self.artifacts:
            name = re.sub(r"[^a-z0-9]+", "-", self.name.lower()).strip("-")
            run("import", "-window", "root", os.path.join(self.artifacts, name + ".png"))
            if os.path.exists(self.front.log):
                shutil.copy(self.front.log, os.path.join(self.artifacts, name + ".log"))
            # And what the desktop's programs said, the last of it.
            for log in glob.glob(os.path.join(self.desktop.work, "*.log")):
                with open(log, "rb") as f, open(os.path.join(self.artifacts, "%s.%s" % (
                        name, os.path.basename(log))), "wb") as kept:
                    f.seek(max(0, os.path.getsize(log) - 20000))
                    kept.write(f.read())

    # The steps and the expectations of the table, each under the words that name it: a step's
    # verb and, where it has forms, its first argument ("start again"); an expectation's name.
    STEPS = {}
    EXPECTATIONS = {}

    @classmethod
    def action(cls, words):
        """The step that the words name, with its words after the name; None for none."""
        for named in (2, 1):  # "start again" before "start"
            action = cls.STEPS.get(" ".join(words[:named]))
            if action is not None and len(words) >= named:
                if action is cls.STEPS["expect"] and words[1:2] and words[1] not in cls.EXPECTATIONS:
                    return None
                return action, words[named:]
        return None

    def step(self, words):
        action, args = self.action(words) or (None, None)
        if action is None:
            raise Failure("no such step: " + " ".join(words))
        return action(self, args)

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
        """A folder that refuses writes: by its permissions, which root ignores, or for root by a
        read-only bind mount."""
        if os.geteuid() != 0:
            os.chmod(folder, 0o555)
            self.locked.append(folder)
            return
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
        later = self.front.launch(folder, False, later=True)
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
        self.click_icon(2)

    @_on(STEPS, "other window")
    def step_other_window(self, args):
        # Another program's window, which the user has just clicked into.
        other = self.desktop.start("xmessage", "-geometry", "300x100+40+60", "-name", "other",
                                   "another program")
        self.others.append(other)
        window = wait_for("the other window is not shown", 10, lambda: x(
            "xdotool", "search", "--onlyvisible", "--classname", "^other$").split())[-1]
        self.activate(window)
        run("xdotool", "mousemove", "--window", window, "20", "10", "click", "1")
        time.sleep(0.3)

    @_on(STEPS, "activate icon")
    def step_activate_icon(self, args):
        # The clicks that the host takes for bringing the window back.
        self.click_icon(self.desktop.host.clicks)

    @_on(STEPS, "activate item")
    def step_activate_item(self, args):
        # What a panel sends for a click on a StatusNotifierItem.
        item = wait_for("no StatusNotifierItem", 10, self.item)
        if self.desktop.bus.call(*item, "org.kde.StatusNotifierItem", "Activate", "(ii)", 0,
                                 0) is None:
            raise Failure("Activate failed")

    @_on(STEPS, "menu")
    def step_menu(self, args):
        items = self.front.plan["menu"]
        if args[0] not in items:
            raise Failure("no menu item named " + args[0])
        item = self.item()
        if item:  # the panel draws the menu the program exports
            if not self.desktop.bus.menu_click(item, self.front.plan["menu text"][args[0]]):
                raise Failure("the click on %s failed" % args[0])
            return
        _, mx, my, mw, mh = self.open_menu()
        row = mh / len(items)
        run("xdotool", "mousemove", str(mx + mw // 2),
            str(int(my + row * items.index(args[0]) + row / 2)), "click", "1")

    @_on(STEPS, "close")
    def step_close(self, args):
        if self.desktop.host.session:  # a desktop's own shortcuts may not be up yet
            return self.desktop.host.close(self.front)
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
        # Within seconds, or as many as the row gives.
        wait_for(lambda: "the window is not shown: " + self.desktop.host.windows_seen(self.front),
                 float(args[0]) if args else 10, self.shown_window)
        self.settle()
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
        if self.icon_shown():
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
        wait_for("the window is not shown", 10, self.shown_window)
        wait_for("the window is not the active one", 10, lambda: self.desktop.host.active(self.front))

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
        wait_for(lambda: "%s is called %r" % (args[0], called[0] if called else None), 10, named)

    # The steps and expectations that pass their words straight on.
    STEPS.update({
        "link": lambda self, args: os.symlink(args[1], self.path(args[0])),
        "relink": lambda self, args: self.relink(*args),
        "chmod": lambda self, args: os.chmod(self.path(args[1]), int(args[0], 8)),
        "read-only folder": lambda self, args: self.make_read_only(self.folder),
        "runtime-folder": lambda self, args: self.front.runtime_folder(args[0], self),
        "user-folder": lambda self, args: self.front.no_user_folder(),
        "end session": lambda self, args: self.front.end_session(),
        "signal": lambda self, args: self.front.send_signal(args[0]),
        "restart tray": lambda self, args: self.front.restart_tray(self.desktop),
        "minimise": lambda self, args: run("xdotool", "windowminimize", "--sync", self.window(),
                                           timeout=10),
        "click icon": lambda self, args: self.click_icon(1),
        "stop tray": lambda self, args: self.desktop.host.stop_panel(),
        "start tray": lambda self, args: self.desktop.host.start_panel(),
        "look": lambda self, args: self.front.set_look(args[0], args[1].strip('"')),
        "wait": lambda self, args: time.sleep(float(args[0])),
        "expect": lambda self, args: self.expect(args),
    })
    @_on(EXPECTATIONS, "tip")
    def expect_tip(self, args):
        item = self.item()
        if not item:  # the tip shows where the pointer rests on the icon
            self.popup("tip with the pointer resting")
            return
        # A panel that draws the item shows its tool tip's title.
        tip = self.desktop.bus.get(*item, "org.kde.StatusNotifierItem", "ToolTip")
        if not tip or not re.fullmatch(r"Tallimer - (ON|OFF)", tip[2]):
            raise Failure("the item's tool tip is %r" % (tip,))

    del _on


# The hosts that a row's tag names; a row without one plays on trayer alone.
HOST_TAGS = {
    "every desktop": lambda name: True,
    "every X11 desktop": lambda name: not HOSTS[name].wayland,
    "shells": lambda name: name != "trayer",
    "wayland": lambda name: HOSTS[name].wayland,
}


def plays(tags, options):
    """Whether a row of the table plays for this front end on this host."""
    fronts = tags & {"linux", "windows"}
    hosts = [HOST_TAGS[tag] for tag in tags if tag in HOST_TAGS] or [lambda name: name == "trayer"]
    return (not fronts or options.front_end in fronts) and all(h(options.host) for h in hosts)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--front-end", choices=("linux", "windows"), required=True)
    parser.add_argument("--host", choices=sorted(HOSTS), default="trayer",
                        help="the desktop whose notification area the program meets")
    parser.add_argument("--program", required=True)
    parser.add_argument("--plan-dump", required=True)
    parser.add_argument("--names", help="accessible_names.exe, for the Windows program")
    parser.add_argument("--shell-events", help="shell_events.exe, for the Windows program")
    parser.add_argument("--table", default=os.path.join(HERE, "scenarios.txt"))
    parser.add_argument("--only", action="append",
                        help="only the scenarios whose name holds this text")
    parser.add_argument("--artifacts")
    options = parser.parse_args()
    if options.front_end == "windows" and options.host != "trayer":
        parser.error("the Windows program meets Wine's notification area, on trayer")
    # The helpers beside the plan's dumper, in the same build, unless the environment names them.
    helpers = os.path.join(os.path.dirname(os.path.abspath(options.plan_dump)), "..", "desktop")
    for name in ("WM_CLOSE", "FAKE_INPUT"):
        os.environ.setdefault(name, os.path.normpath(os.path.join(helpers, name.lower())))
    missing = HOSTS[options.host].missing()
    if missing:
        # On CI every host's programs are installed: a missing one fails there.
        print("SKIPPED: the %s desktop lacks %s" % (options.host, ", ".join(missing)))
        return 1 if os.environ.get("CI") == "true" else 77
    # A program started here gets Ctrl+C's signal as from a terminal, even where this script
    # was started with it ignored.
    signal.signal(signal.SIGINT, signal.default_int_handler)

    table = read_table(options.table)
    # A slip in the table (a header that is not one, a step misspelt) fails the run before any
    # scenario plays, instead of a row or a step going unplayed.
    for scenario in table:
        for number, words in scenario["steps"]:
            if not Scenario.action(words):
                raise SystemExit("%s:%d: no such step: %s" % (options.table, number,
                                                              " ".join(words)))
    scenarios = [s for s in table if plays(s["tags"], options)
                 and (not options.only or any(text in s["name"] for text in options.only))]
    if not scenarios:
        raise SystemExit("no scenario of the table plays here")

    work = tempfile.mkdtemp(prefix="tallimer-scenarios-")
    if options.artifacts:
        os.makedirs(options.artifacts, exist_ok=True)
    desktop = Desktop(work, HOSTS[options.host])
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
        for number, scenario in enumerate(scenarios, 1):
            folder = front.program_folder(number)
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
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
