#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# What a screen reader is told about the running program, read over AT-SPI: the window's
# role and name, every control's role and name, the list entries, and the events a list
# sends when entries are added, deleted and sorted through the keyboard.
# Usage: accessibility.py  (DISPLAY and DBUS_SESSION_BUS_ADDRESS set; the program started
# with two notices, 12:00 and 07:30, and the focus in the left hour box)
import subprocess
import sys

import pyatspi
from gi.repository import GLib

# (role, name) of every control, panel by panel, in the window's child order.
EXPECTED = [("panel", "お知らせ")] + [
    (role, name.format(p="お知らせ"))
    for role, name in [
        ("label", ":"), ("push button", "参照"), ("push button", "再生"),
        ("text", "{p} サウンドファイル"), ("list", "{p}"), ("text", "{p} 時"), ("text", "{p} 分"),
        ("push button", "追加"), ("push button", "削除"), ("push button", "昇順"),
        ("push button", "降順"),
    ]
] + [("panel", "目覚まし")] + [
    (role, name.format(p="目覚まし"))
    for role, name in [
        ("label", ":"), ("label", "分間鳴らす"), ("label", "秒ごとに"),
        ("label", "時間になったら"), ("push button", "参照"), ("push button", "再生"),
        ("text", "{p} サウンドファイル"), ("list", "{p}"), ("text", "{p} 時"), ("text", "{p} 分"),
        ("push button", "追加"), ("push button", "削除"), ("push button", "昇順"),
        ("push button", "降順"), ("text", "秒"), ("text", "分間"), ("push button", "STOP"),
    ]
]

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Tollwick":
            return app
    return None


def walk(node, depth, lines):
    for child in node:
        if child is None:
            continue
        lines.append((depth, child))
        if child.getRoleName() != "list":
            walk(child, depth + 1, lines)


def entries(lst):
    return [item.name for item in lst if item is not None]


def focused_entries(lst):
    return [item.name for item in lst
            if item is not None and item.getState().contains(pyatspi.STATE_FOCUSED)]


app = application()
if app is None:
    print("FAIL the program is not on the accessibility bus")
    sys.exit(1)
frame = app[0]
print(f"window: {frame.getRoleName()} {frame.name!r}")
check(frame.getRoleName() == "frame", "the window is a frame")
check(frame.name == "Tollwick ver1.0", "the window is named by its caption")

lines = []
walk(frame, 1, lines)
for depth, node in lines:
    print("  " * depth + f"{node.getRoleName()} {node.name!r} {node.description!r}")
found = [(node.getRoleName(), node.name) for _, node in lines]
for got, want in zip(found, EXPECTED):
    if got != want:
        print(f"     got {got}, expected {want}")
check(found == EXPECTED, "every control with its role and name")
described = [(node.getRoleName(), node.name, node.description) for _, node in lines]
check(len(set(described)) == len(described), "no two controls alike in role, name and description")

lists = [node for _, node in lines if node.getRoleName() == "list"]
notices = lists[0]
check(entries(notices) == ["12:00", "07:30"], f"the list entries {entries(notices)}")
check(all(item.getRoleName() == "list item" for item in notices), "entries are list items")

# Keyboard steps, each followed by the list events that it caused.
events = []


def on_children_changed(event):
    if event.source == notices and event.type.startswith("object:children-changed"):
        events.append(event.type)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


steps = [
    ("add 09:15", lambda: (xdotool("type", "--delay", "120", "0915"),
                           xdotool("key", "--delay", "80", "space"))),
    ("select the first entry with Home and delete it", lambda: (
        xdotool("key", "--delay", "80", "Tab", "Tab", "Tab", "Home", "Tab", "sleep", "0.5"),
        focused_on_delete.extend(focused_entries(notices)),
        xdotool("key", "space"))),
    ("sort ascending", lambda: xdotool("key", "--delay", "80", "Tab", "space")),
]
results = []
focused_on_delete = []


def run_steps():
    if results:
        results[-1][1].extend(events)
        events.clear()
    if len(results) == len(steps):
        pyatspi.Registry.stop()
        return False
    name, action = steps[len(results)]
    results.append((name, []))
    action()
    return True


# A screen reader listens to state changes as well; Qt sends removals only then.
pyatspi.Registry.registerEventListener(on_children_changed, "object:children-changed",
                                       "object:state-changed")
GLib.timeout_add(1500, run_steps)
GLib.timeout_add(20000, lambda: pyatspi.Registry.stop())
pyatspi.Registry.start()

for (name, seen), expected in zip(results, ["add", "remove", "add"]):
    print(f"  {name}: {seen}")
    check(any(e.endswith(":" + expected) for e in seen), f"{name}: a children-changed:{expected} on the list")
check(entries(notices) == ["07:30", "09:15"], f"the list after the steps {entries(notices)}")
check(focused_on_delete == [],
      f"no entry reported focused once the focus is on 削除 {focused_on_delete}")

sys.exit(1 if failures else 0)
