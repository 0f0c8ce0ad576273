"""Prints, as JSON, what a screen reader finds of one program through AT-SPI: for every object
its role, name and the window it is in. Lists and tables are not entered (their cells are rows
of mail, not controls). Usage: atspi_tree.py PID [SECONDS]"""
import json
import sys
import time

import pyatspi

STOP_AT = {"table", "tree table", "list", "tree"}


def walk(node, window, out):
    role = node.getRoleName()
    out.append({"role": role, "name": node.name, "window": window})
    if role in STOP_AT:
        return
    for child in node:
        if child is not None:
            walk(child, window, out)


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + float(sys.argv[2] if len(sys.argv) > 2 else 20)
    while True:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid and app.childCount > 0:
                out = []
                for window in app:
                    if window is not None:
                        walk(window, window.name, out)
                json.dump(out, sys.stdout)
                return 0
        if time.monotonic() > deadline:
            print(f"no accessible application with process id {pid}", file=sys.stderr)
            return 1
        time.sleep(0.2)


sys.exit(main())
