"""What a screen reader on Linux calls each control of the running program's window: one line per
control, "left top width height<TAB>name", in pixels of the window, as accessible_names.exe
prints them for the Windows program. Needs Debian's pyatspi (/usr/bin/python3)."""
import sys
import time

import pyatspi


def application(seconds=20):
    """The program on the accessibility bus, once it has its window there; None if it is not."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Tallimer" and app.childCount:
                return app
        time.sleep(0.2)
    return None


def main():
    app = application()
    if app is None:
        print("the program is not on the accessibility bus", file=sys.stderr)
        return 1
    window = app.getChildAtIndex(0)
    origin = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    for i in range(window.childCount):
        child = window.getChildAtIndex(i)
        box = child.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        print("%d %d %d %d\t%s" % (box.x - origin.x, box.y - origin.y, box.width, box.height,
                                   child.name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
