"""What the scenario table cannot say of the Linux program, checked on a display of its own with
the scenario player's display, program starts and waits: a boot file's age, a boot clock out of
phase, a save flushed to disk, a scaled display, bad input, a screen reader, a Wayland session.
Also lends that display (and a Wine prefix) to other tests.

    checks.py --program FILE --plan-dump FILE NAME
    checks.py --on-display [--wine] COMMAND...
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scenarios"))
from run import (WINE, Desktop, Failure, Host, LinuxFrontEnd, Picture,  # noqa: E402
                 absolute_origin, contents, geometry, quiet, run, wait_for, x)


class Bare(Host):
    """The display alone: no window manager, no notification area, no session bus."""
    session = False

    def start_panel(self):
        pass


SETTINGS = b"[Options]\r\nAutoStart=1\r\nInterval=0\r\n"


class Check:
    def __init__(self, front, work):
        self.front = front
        self.work = work
        self.folders = 0

    def folder(self, settings=None):
        """A program folder of its own, with these bytes as its Settings.ini."""
        self.folders += 1
        folder = self.front.program_folder(self.folders)
        if settings is not None:
            with open(os.path.join(folder, "Settings.ini"), "wb") as f:
                f.write(settings)
        return folder

    def start(self, folder, env=None, before=()):
        """The program in the folder, its command after BEFORE (a tracer, another user's)."""
        program = os.path.join(folder, self.front.program_name())
        self.front.process = self.front.spawn([*before, program], folder,
                                              dict(self.front.environment(), **(env or {})))
        return self.front.process

    def window(self, what):
        return wait_for(what + ": the window did not appear in 15 s", 15, self.front.main_window)

    def uptime(self, folder):
        path = os.path.join(folder, "uptime.txt")
        return int(wait_for("no uptime.txt in 15 s", 15, lambda: contents(path)))

    def ended(self, what, process=None):
        try:
            status = (process or self.front.process).wait(10)
        except subprocess.TimeoutExpired:
            raise Failure("%s did not end the program within 10 s" % what)
        if status != 0:
            raise Failure("%s ended the program with status %d" % (what, status))

    def close(self, what):
        run(os.environ["WM_CLOSE"], self.window(what))
        self.ended(what + ": closing the window")

    def screenshot(self, name):
        artifacts = os.environ.get("TALLIMER_ARTIFACTS")
        if artifacts:
            os.makedirs(artifacts, exist_ok=True)
            run("import", "-window", "root", os.path.join(artifacts, name + ".png"))

    def label(self, window):
        """The pixels of the uptime's label as the screen shows them."""
        left, top, width, height = self.front.plan["controls"]["lblUptime"]["box"]
        x0, y0 = absolute_origin(window)
        return Picture(x0 + left, y0 + top, width, height).pixels

    def click(self, window, name, clicks=1):
        left, top, width, height = self.front.plan["controls"][name]["box"]
        run("xdotool", "mousemove", "--window", window, str(left + width // 2),
            str(top + height // 2), "click", "--repeat", str(clicks), "1")


def with_asan(option):
    """The sanitizers' options of the run, and this one."""
    return {"ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", "") + ":" + option}


def preloaded(library):
    """A helper library loaded into the program, ahead of the sanitizer's runtime."""
    return dict(with_asan("verify_asan_link_order=0"), LD_PRELOAD=os.environ[library])


def boot_file(check):
    """The file method against a boot file made 90061 s (1d 1h 1m 1s) ago; when the file
    vanishes, the last value stays."""
    boot = os.path.join(check.work, "boot.dat")
    open(boot, "w").close()
    made = time.time() - 90061
    os.utime(boot, (made, made))
    folder = check.folder(b"[Paths]\r\nBootFile=%s\r\n[Options]\r\nUse file method=1\r\n"
                          b"AutoStart=1\r\nInterval=0\r\n" % boot.encode())
    check.start(folder)
    check.window("the file method")
    written = check.uptime(folder)
    # However late a busy machine let it measure, no later than now.
    if not 90061 <= written <= time.time() - made + 1:
        raise Failure("uptime.txt says %d, not 90061 and the seconds since" % written)
    read = time.time()
    os.remove(boot)
    time.sleep(2)
    later = check.uptime(folder)
    if not written <= later <= written + time.time() - read + 1:
        raise Failure("after the boot file vanished uptime.txt says %d, after %d" % (later,
                                                                                     written))
    check.screenshot("boot_file")
    return "the file method measured %d s" % written


def phase(check):
    """With the boot clock half a second out of phase with the monotonic clock (as after a
    suspend) and an interval of 0, every refresh writes one second more than the one before:
    none is skipped and none repeated."""
    shift = preloaded("BOOTTIME_SHIFT")
    # The shift takes: moved by 100 s, the program writes 100 s more than /proc/uptime.
    folder = check.folder(SETTINGS)
    check.start(folder, dict(shift, BOOTTIME_SHIFT_MS="100000"))
    check.uptime(folder)
    before = float(open("/proc/uptime").read().split()[0])
    written = check.uptime(folder) - 100
    after = float(open("/proc/uptime").read().split()[0])
    if not before - 10 < written <= after + 1:
        raise Failure("the boot clock was not moved: uptime.txt says %d s past 100, /proc/uptime "
                      "%.0f" % (written, after))
    # Until it has ended it holds the folder, saving, and a start from there would hand over to it.
    check.front.process.terminate()
    check.ended("SIGTERM")

    folder = check.folder(SETTINGS)
    check.start(folder, dict(shift, BOOTTIME_SHIFT_MS="500"))
    check.uptime(folder)
    path = os.path.join(folder, "uptime.txt")
    # Every refresh replaces the file, so each new inode is one refresh.
    inodes, values = [], []

    def refreshed():
        try:
            with open(path, "rb") as file:  # the inode and the value of one refresh
                inode, value = os.fstat(file.fileno()).st_ino, int(file.read())
        except OSError:
            return False
        if inodes[-1:] != [inode]:
            inodes.append(inode)
            values.append(value)
        return len(values) >= 12
    wait_for(lambda: "only %d refreshes in 30 s: %s" % (len(values), values), 30, refreshed)
    if any(b - a != 1 for a, b in zip(values, values[1:])):
        raise Failure("the refreshes went %s" % values)
    return "%d refreshes, each one second on: %d .. %d" % (len(values), values[0], values[-1])


def save_flushed(check):
    """Settings.ini is on disk before it replaces the old one: its temporary and then its
    folder are flushed around the rename, also when a signal ends the program."""
    folder = check.folder()
    trace = os.path.join(check.work, "trace")
    # LeakSanitizer cannot work under a tracer.
    strace = ["strace", "-f", "-o", trace, "-e", "trace=fsync,fdatasync,rename,renameat,renameat2"]
    tracer = check.start(folder, with_asan("detect_leaks=0"), strace)
    check.window("under strace")
    # The oldest: the program may fork a helper, which has its command line until it execs.
    program = run("pgrep", "-o", "-f", "^" + os.path.join(folder, "tallimer")).stdout.strip()
    os.kill(int(program), signal.SIGTERM)
    check.ended("SIGTERM under strace", tracer)
    order = "".join("F" if re.search(r"fsync|fdatasync", line) else "R"
                    for line in open(trace)
                    if re.search(r"fsync|fdatasync|rename.*\"[^\"]*Settings\.ini\"", line))
    if "FRF" not in order:
        raise Failure("Settings.ini was not flushed around its rename: " + open(trace).read())
    return "Settings.ini flushed before and after its rename"


def scaled(check):
    """A scaled display: at a scale factor of 2 the window is twice the size in device pixels."""
    width, height = (2 * n for n in check.front.plan["client"])
    check.start(check.folder(), {"QT_SCALE_FACTOR": "2"})

    def found():
        for window in x("xdotool", "search", "--onlyvisible", "--name", "^Tallimer$").split():
            box = geometry(window)
            if box and box[2] == width:
                return box
    box = wait_for("no %d-pixel-wide window at scale factor 2" % width, 15, found)
    if box[3] != height:
        raise Failure("the window is %d pixels high, not %d" % (box[3], height))
    check.screenshot("scaled")
    return "%d x %d device pixels at scale factor 2" % (width, height)


def bad_input(check):
    """Bad input never stops the program: damaged settings files, an output folder that does
    not exist. Each time the program keeps running and its label keeps changing with the uptime.
    (A program folder that refuses writes is a row of the scenario table.)"""
    def label_changes(what):
        window = check.window(what)
        first = check.label(window)
        wait_for(what + ": the label did not change in 5 s", 5,
                 lambda: check.label(window) != first)
        if check.front.exited():
            raise Failure(what + ": the program ended")
        check.close(what)
        print("ok: " + what, flush=True)

    cases = [
        ("binary junk after the options", SETTINGS + os.urandom(4096)),
        ("a 1 MB line", SETTINGS + b"x" * 1048576),
        ("an output folder that does not exist", SETTINGS + b"[Paths]\r\nOutput File=%s\r\n" %
         os.path.join(check.work, "missing", "uptime.txt").encode()),
    ]
    for what, settings in cases:
        check.start(check.folder(settings))
        label_changes(what)
    if os.path.exists(os.path.join(check.work, "missing")):
        raise Failure("the missing output folder was created")

    # No line ends at all: no option is read, so the interval is set and started by hand.
    check.start(check.folder(b"[Options] AutoStart=1 Interval=0 [Paths] Output File="))
    window = check.window("no line ends")
    check.click(window, "txtInt", 3)
    run("xdotool", "key", "--window", window, "ctrl+a", "type", "--window", window, "0")
    check.click(window, "cmdToggle")
    label_changes("no line ends")
    return "bad input never stopped the program"


def accessibility(check):
    """The program as a screen reader sees it, over AT-SPI on a private session bus."""
    folder = check.folder(b"[Options]\r\nUse file method=2\r\n")
    check.front.process = check.front.launch(folder, accessible=True)
    window = check.window("for the screen reader")
    env = dict(os.environ, **check.front.accessibility_bus())
    if subprocess.run(["/usr/bin/python3", os.path.join(HERE, "accessibility.py"), window],
                      env=env, timeout=120).returncode != 0:
        raise Failure("the screen reader did not hear what it should")
    return "the screen reader heard what it should"


def wayland(check):
    """On a Wayland session without X (a headless weston), the program picks Qt's Wayland
    platform by itself, refreshes uptime.txt, and a SIGTERM closes it with its options saved."""
    for name in ("DISPLAY", "QT_QPA_PLATFORM"):
        os.environ.pop(name, None)
    os.environ.update(WAYLAND_DISPLAY="tallimer-test", DBUS_SESSION_BUS_ADDRESS="disabled:",
                      XDG_RUNTIME_DIR=os.path.join(check.work, "runtime"))
    os.makedirs(os.environ["XDG_RUNTIME_DIR"], mode=0o700)
    log = os.path.join(check.work, "weston.log")
    with open(log, "w") as output:
        weston = subprocess.Popen(["weston", "--backend=headless-backend.so",
                                   "--socket=tallimer-test", "--idle-time=0"],
                                  stdin=subprocess.DEVNULL, stdout=output, stderr=output)
    try:
        socket = os.path.join(os.environ["XDG_RUNTIME_DIR"], "tallimer-test")
        wait_for("weston did not start: " + log, 15, lambda: os.path.exists(socket))
        folder = check.folder(SETTINGS)
        # Qt's Wayland platform loads the system's EGL driver and unloads it at the end.
        check.start(folder, preloaded("KEEP_LOADED"))
        first = check.uptime(folder)
        maps = open("/proc/%d/maps" % check.front.process.pid).read()
        if "libqwayland" not in maps:
            raise Failure("Qt did not pick its Wayland platform")
        wait_for("uptime.txt was not refreshed", 5, lambda: check.uptime(folder) != first)
        check.front.process.terminate()
        check.ended("SIGTERM on Wayland")
        if b"Use file method=0" not in contents(os.path.join(folder, "Settings.ini")):
            raise Failure("the options were not saved")
    finally:
        weston.terminate()
        weston.wait()
    return "ran on Wayland, refreshed uptime.txt and saved its options"


CHECKS = {f.__name__: f for f in (boot_file, phase, save_flushed, scaled, bad_input,
                                  accessibility, wayland)}


def on_display(command, wine, work):
    """The command on a display of its own, in a Wine prefix of its own if asked: its status."""
    os.environ["XDG_CONFIG_HOME"] = os.path.join(work, "config")
    if wine:
        os.environ["WINEPREFIX"] = os.path.join(work, "prefix")
        if quiet(WINE, "wineboot", "--init") != 0:
            raise Failure("no Wine prefix")
    try:
        return subprocess.run(command, stdin=subprocess.DEVNULL).returncode
    finally:
        if wine:
            quiet("wineserver", "-k")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program")
    parser.add_argument("--plan-dump")
    parser.add_argument("--on-display", action="store_true")
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("what", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    # A program started here gets Ctrl+C's signal as from a terminal, even where this script
    # was started with it ignored.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    work = tempfile.mkdtemp(prefix="tallimer-checks-")
    name = options.what[0] if options.what else None
    desktop = front = None
    try:
        if name != "wayland":
            desktop = Desktop(work, Bare)
            os.environ["QT_QPA_PLATFORM"] = "xcb"
        if options.on_display:
            return on_display(options.what, options.wine, work)
        front = LinuxFrontEnd(os.path.abspath(options.program),
                              [os.path.abspath(options.plan_dump)], work)
        if desktop:
            front.read_plan()
        print("PASS: " + CHECKS[name](Check(front, work)))
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure, flush=True)
        if front and os.path.exists(front.log):
            print("the program said: " + open(front.log, errors="replace").read())
        return 1
    finally:
        if front:
            front.kill()
            front.finish()
        if desktop:
            desktop.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
