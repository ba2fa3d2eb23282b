"""What a screen reader learns from Tallimer over AT-SPI: roles, names, states and events.

Run by checks.py against the real program, with the window's X id as argument."""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios"))
from atspi_names import application  # noqa: E402  (the scenario player's, beside it)

failures = []
events = []


def check(condition, what):
    print(("ok: " if condition else "FAIL: ") + what, flush=True)
    if not condition:
        failures.append(what)


def on_event(event):
    try:
        source = (event.source.getRoleName(), event.source.name)
    except Exception:  # the object may be gone
        source = ("?", "?")
    events.append((event.type, source, event.detail1, event.any_data))


def pump(seconds):
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        context.iteration(False)
        time.sleep(0.01)


def wait_for_event(predicate, seconds=5):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if any(predicate(e) for e in events):
            return True
        pump(0.05)
    return False


def states(accessible):
    return {pyatspi.stateToString(s) for s in accessible.getState().getStates()}


def main():
    window_id = sys.argv[1]
    for kind in ("object:state-changed", "object:property-change:accessible-name", "focus:"):
        pyatspi.Registry.registerEventListener(on_event, kind)

    app = application()
    check(app is not None, "the program is on the accessibility bus")
    if app is None:
        return
    window = app.getChildAtIndex(0)
    # Qt reports its window role with AT-SPI's role for a titled top-level window.
    check(window.getRoleName() in ("frame", "window"), "the window's role: " + window.getRoleName())
    check(window.name == "Tallimer", "the window is named " + repr(window.name))
    children = [window.getChildAtIndex(i) for i in range(window.childCount)]
    check(all(c.name for c in children), "every object in the window has a name")
    check(not [c for c in children if c.getRoleName() in ("frame", "filler", "panel")],
          "no decorative object: " + repr([c.getRoleName() for c in children]))
    control = {c.name: c for c in children}

    # The interval box: when the window gets focus, its text reaches the reader whole.
    subprocess.run(["xdotool", "windowfocus", window_id], check=False)
    box = control["Update interval, seconds:"]
    check(wait_for_event(lambda e: e[0] == "object:state-changed:focused" and e[1][1] == box.name
                         and e[2] == 1), "the interval box gets the focus")
    text = box.queryText()
    check(text.getText(0, -1) == "30", "its text: " + repr(text.getText(0, -1)))
    line = text.getTextAtOffset(text.caretOffset, pyatspi.TEXT_BOUNDARY_LINE_START)
    check(tuple(line) == ("30", 0, 2), "its line at the caret: " + repr(line))
    word = text.getTextAtOffset(2, pyatspi.TEXT_BOUNDARY_WORD_START)
    check(tuple(word) == ("30", 0, 2), "its word at the end of the text: " + repr(word))
    run = text.getAttributeRun(0, False)
    check(tuple(run[1:]) == (0, 2), "one run of attributes over the text: " + repr(run))

    # A greyed check box is indeterminate only; every change sends its events. A click makes
    # a greyed box ticked; after that, ticked and clear take turns.
    file_method = control["Use file method"]
    check(states(file_method) >= {"indeterminate"} and "checked" not in states(file_method),
          "greyed: indeterminate, not checked: " + repr(sorted(states(file_method))))
    steps = [  # after each toggle: (checked, indeterminate), events expected
        ((True, False), [("checked", 1), ("indeterminate", 0)]),
        ((False, False), [("checked", 0)]),
        ((True, False), [("checked", 1)]),
    ]
    for (checked, indeterminate), expected in steps:
        del events[:]
        file_method.queryAction().doAction(0)
        for name, detail in expected:
            check(wait_for_event(lambda e: e[0] == "object:state-changed:" + name
                                 and e[1][1] == "Use file method" and e[2] == detail),
                  "toggled: a %s event with %d" % (name, detail))
        now = states(file_method)
        check(("checked" in now) == checked and ("indeterminate" in now) == indeterminate,
              "toggled: states " + repr(sorted(now)))

    # Start: the new name reaches the reader as text.
    del events[:]
    start = control["Start"]
    start.queryAction().doAction(0)
    check(wait_for_event(lambda e: e[0] == "object:property-change:accessible-name"
                         and e[3] == "Stop"),
          "pressing Start announces 'Stop': " + repr([e for e in events if "name" in e[0]]))

    # Send To Tray, with no notification area here, minimises the window: it keeps its name.
    control["Send To Tray"].queryAction().doAction(0)
    pump(1)
    check(window.name == "Tallimer", "the minimised window is named " + repr(window.name))


main()
print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
