"""Finds Tavvel's controls on the accessibility bus by their names and presses them."""
import sys
import time

import pyatspi


def wait_for(find, what, seconds=20.0):
    end = time.time() + seconds
    while time.time() < end:
        if found := find():
            return found
        time.sleep(0.2)
    sys.exit(f"not found: {what}")


def control(node, role, name):
    return pyatspi.findDescendant(node, lambda n: n.getRoleName() == role and n.name == name)


def press(node, action="Press"):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if action not in names:
        sys.exit(f"'{node.name}' has no {action} action: {names}")
    actions.doAction(names.index(action))


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    app = wait_for(lambda: next((a for a in desktop if a and a.name == "Tavvel"), None), "the Tavvel application")
    buttons = ["Web Site", "Mobile App", "Help", "Settings"]
    for name in buttons:
        node = wait_for(lambda: control(app, "push button", name), f"button {name}")
        if not node.getState().contains(pyatspi.STATE_FOCUSABLE):
            sys.exit(f"button {name} cannot take the keyboard focus")
    search = wait_for(lambda: control(app, "text", "Search"), "the search field")
    if not search.getState().contains(pyatspi.STATE_EDITABLE):
        sys.exit("the search field is not editable")
    for name in ["Settings...", "Help", "Quit"]:
        wait_for(lambda: control(app, "menu item", name), f"menu item {name}")

    # Every control answers its press; the mobile-app button opens the QR-code window.
    for name in buttons:
        press(control(app, "push button", name))
    wait_for(lambda: next((w for w in app if w and w.name == "Tavvel for Mobile"), None), "the QR-code window")
    press(control(app, "menu item", "Settings..."))
    press(control(app, "menu item", "Help"))
    print("accessibility: all controls found and pressed")
    press(control(app, "menu item", "Quit"))


main()
