#!/usr/bin/python3
# What a screen reader does with the pop-up: finds the window whose name is CAPTION among
# the programs registered for accessibility, prints its role, the title and the advert's
# text, and, with --close, runs the close button's action.
#
#   read-advert.py CAPTION [--close]
import sys
import time

import pyatspi


def find_window(caption, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None:
                continue
            for window in app:
                if window is not None and window.name == caption:
                    return window
        time.sleep(0.1)
    return None


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return ""


def main():
    caption = sys.argv[1]
    window = find_window(caption)
    if window is None:
        print("no window named", caption)
        return 1
    print("window:", window.getRoleName())
    for child in window:
        print("%s: %s | %s" % (child.getRoleName(), child.name, text_of(child)))
    if "--close" in sys.argv:
        for child in window:
            if child.getRoleName() == "push button":
                action = child.queryAction()
                print("action:", action.getName(0), action.doAction(0))
    return 0


sys.exit(main())
