#!/usr/bin/python3
# Looks at a running program through the AT-SPI registry like a screen reader would: prints
# the accessible tree of its window titled TITLE ("depth|role|name|states" per line, progress
# bars with "|min..max:value"), then
# invokes the "click" action of the push button named BUTTON.
#   atspi_probe.py PID TITLE BUTTON
import sys
import time

import pyatspi


def find_app(pid):
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.get_process_id() == pid:
                return app
        time.sleep(0.1)
    return None


def walk(node, depth, out):
    states = sorted(pyatspi.stateToString(s) for s in node.getState().getStates())
    line = "%d|%s|%s|%s" % (depth, node.getRoleName(), node.name, ",".join(states))
    if node.getRoleName() == "progress bar":
        value = node.queryValue()
        line += "|%g..%g:%g" % (value.minimumValue, value.maximumValue, value.currentValue)
    out.append((depth, node, line))
    for child in node:
        if child is not None:
            walk(child, depth + 1, out)


def main():
    pid, title, button = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    app = find_app(pid)
    if app is None:
        print("no application with pid %d" % pid)
        return 2
    frame = next((w for w in app if w is not None and w.name == title), None)
    if frame is None:
        print("no window titled %r among %r" % (title, [w.name for w in app if w is not None]))
        return 3
    nodes = []
    walk(frame, 0, nodes)
    for _, _, line in nodes:
        print(line)
    target = next((n for _, n, _ in nodes if n.getRoleName() == "push button" and n.name == button), None)
    if target is None:
        print("no push button named %r" % button)
        return 4
    action = target.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "click" not in names:
        print("actions: %r" % names)
        return 5
    action.doAction(names.index("click"))
    print("clicked")
    return 0


sys.exit(main())
