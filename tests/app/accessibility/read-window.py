"""read-window.py EXPECTED.csv: reads the running window through the
accessibility bus as a screen reader does, and drives it with the keyboard.

Checks that every control shown has a name; that the channel table is a
table of ten rows with its column headers; that after a read (Ctrl+R) its
cells hold the radio's frequencies, each change announced; and that
Ctrl+Tab, Tab and Shift+Tab reach the band plan section and come back."""
import csv
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

failures = []
name_changes = []
focus_events = []  # what each focus news was about, as a screen reader hears it


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def pump(seconds):
    end = time.time() + seconds
    context = GLib.MainContext.default()
    while time.time() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def wait_for(what, test, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        found = test()
        if found:
            return found
        pump(0.2)
    fail("timed out waiting for " + what)
    return None


def role(o):
    return None if o is None else o.get_role_name()


def showing(o):
    states = o.get_state_set()
    return states.contains(Atspi.StateType.SHOWING) and states.contains(Atspi.StateType.VISIBLE)


def walk(o, path=""):
    """Every object shown, with the path of roles and names to it."""
    try:
        here = "%s/%s '%s'" % (path, role(o), o.get_name())
        if not showing(o) and role(o) not in ("application", "frame"):
            return
    except GLib.GError:
        return
    yield o, here
    for i in range(o.get_child_count()):
        child = o.get_child_at_index(i)
        if child is not None:
            yield from walk(child, here)


def application():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "ORVEX" and app.get_child_count() > 0:
            return app
    return None


def find(app, wanted_role, name=None):
    for o, _ in walk(app):
        if role(o) == wanted_role and (name is None or o.get_name() == name):
            return o
    return None


def focused(app):
    """The innermost object with the focus (a table has it with its cell)."""
    found = None
    for o, _ in walk(app):
        if o.get_state_set().contains(Atspi.StateType.FOCUSED):
            found = o
    return found


def name_of(o):
    return None if o is None else "%s '%s'" % (role(o), o.get_name())


def keys(*names, window_name="^ORVEX Programmer"):
    """Key presses as the keyboard gives them, to the window named."""
    window = wait_for("a window named " + window_name, lambda: subprocess.run(
        ["xdotool", "search", "--onlyvisible", "--name", window_name], capture_output=True, text=True).stdout.split())
    if not window:
        return
    subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], check=False)
    for name in names:
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
        pump(0.3)


# Roles that hold others and say nothing themselves, and those whose empty
# name is their content (an empty cell is read as blank).
UNNAMED_ROLES = {"filler", "separator", "popup menu", "list", "scroll pane", "viewport"}
EMPTY_ALLOWED = {"table cell"}


def check_names(app):
    for o, path in walk(app):
        if role(o) in UNNAMED_ROLES or role(o) in EMPTY_ALLOWED:
            continue
        if not o.get_name().strip():
            fail("no name: " + path)
    for wanted_role, name in [("combo box", "Emg Channel"), ("combo box", "Mode Select"),
                              ("label", "Channel Status"), ("label", "System Option"),
                              ("panel", "Channel Status"), ("panel", "System Option"),
                              ("table", "Channel Status"), ("progress bar", "Progress"),
                              ("push button", "Uplaod"), ("push button", "Download")]:
        if find(app, wanted_role, name) is None:
            fail("no %s named %r" % (wanted_role, name))
    if not any(role(o) == "label" and "FREQUENCY RANGE" in o.get_name() for o, _ in walk(app)):
        fail("the status line's range text is not a label")


def row_of(table, cell):
    return Atspi.Table.get_row_at_index(table, cell.get_index_in_parent())


def cells(table):
    rows = Atspi.Table.get_n_rows(table)
    return [Atspi.Table.get_accessible_at(table, r, 2).get_name() for r in range(rows)]


def main():
    with open(sys.argv[1], newline="", encoding="utf-8-sig") as f:
        expected = [row["Frequency"] for row in csv.DictReader(f)]

    app = wait_for("the window on the accessibility bus", application)
    if app is None:
        return 1
    table = wait_for("the channel table", lambda: find(app, "table", "Channel Status"))
    if table is None:
        return 1
    check_names(app)

    if (Atspi.Table.get_n_rows(table), Atspi.Table.get_n_columns(table)) != (10, 3):
        fail("the table is %d x %d" % (Atspi.Table.get_n_rows(table), Atspi.Table.get_n_columns(table)))
    headers = [Atspi.Table.get_column_description(table, c) for c in range(3)]
    if headers != ["P", "CH", "FREQUENCY"]:
        fail("column headers %r" % headers)
    labels = [Atspi.Table.get_row_description(table, r) for r in range(10)]
    if labels[0] != "P1 1" or labels[9] != "P0 10":
        fail("row headers %r" % labels)

    listener = Atspi.EventListener.new(
        lambda event: name_changes.append(event.source.get_name()) if role(event.source) == "table cell" else None)
    listener.register("object:property-change:accessible-name")
    focus_listener = Atspi.EventListener.new(
        lambda event: focus_events.append(name_of(event.source)) if event.detail1 == 1 else None)
    focus_listener.register("object:state-changed:focused")

    keys("ctrl+r")
    box = wait_for("the read's message", lambda: next(
        (o for o, _ in walk(app) if role(o) == "label" and o.get_name() == "UPLOAD COMPLETE"), None), 60)
    if box is None:
        return 1
    keys("Return", window_name="^ORVEX$")  # the message box's caption
    got = wait_for("the radio's frequencies in the table", lambda: cells(table) == expected and cells(table))
    if got is None:
        print("table:", cells(table), "radio:", expected)
    announced = [f for f in expected if f and f in name_changes]
    if len(announced) != len([f for f in expected if f]):
        fail("changes announced: %r of %r" % (name_changes, expected))

    # The focus cell is the focused child, and moves with the arrows.
    keys("Down")
    start = wait_for("a focused cell", lambda: role(focused(app)) == "table cell" and focused(app))
    keys("Down")
    def one_down():
        now = focused(app)
        return start and role(now) == "table cell" and row_of(table, now) == row_of(table, start) + 1 and now
    moved = wait_for("the focus one row down", one_down)
    if not start or not moved:
        fail("Down moved the focus from %s to %s" % (name_of(start), name_of(focused(app))))

    # Out of the table and through the band plan section, in reading order.
    for presses, wanted in [(["ctrl+Tab"], "check box 'CH 01'"), (["Tab"] * 22, "check box 'CH 23'"),
                            (["Tab"], "combo box 'Emg Channel'"), (["Tab"], "combo box 'Mode Select'"),
                            (["shift+Tab"], "combo box 'Emg Channel'"), (["Tab", "Tab"], "table cell"),
                            (["ctrl+shift+Tab"], "combo box 'Mode Select'")]:
        del focus_events[:]
        keys(*presses)
        if not wait_for(wanted, lambda: (name_of(focused(app)) or "").startswith(wanted), 5):
            fail("%s gave the focus to %s, not %s" % (presses[0] + " x%d" % len(presses), name_of(focused(app)), wanted))
        # What the screen reader says last is where the focus is: the cell, not its table.
        if not wait_for("the focus news", lambda: focus_events and focus_events[-1].startswith(wanted), 5):
            fail("after %s the last focus news was of %r" % (presses[0], focus_events[-1:]))

    print("checked: names, table, read, focus;", len(failures), "failures")
    return 1 if failures else 0


sys.exit(main())
