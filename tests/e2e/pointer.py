#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# A mouse for a headless wlroots compositor, which has no input devices: a virtual pointer
# (the wlr virtual pointer protocol) that stays while this runs, so the program keeps its
# pointer between clicks. Each line "X Y" on standard input is a left click at that point
# of the layout; "ok" is printed once the compositor has taken it.
# Usage: pointer.py WIDTH HEIGHT  (WAYLAND_DISPLAY set, a socket path or a name)
import os
import socket
import struct
import sys
import time

width, height = int(sys.argv[1]), int(sys.argv[2])
path = os.environ["WAYLAND_DISPLAY"]
if not path.startswith("/"):
    path = os.path.join(os.environ["XDG_RUNTIME_DIR"], path)
conn = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
conn.connect(path)

DISPLAY, REGISTRY = 1, 2
next_id = 3


def new_id():
    global next_id
    next_id += 1
    return next_id - 1


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def send(obj, opcode, args=b""):
    conn.sendall(struct.pack("<II", obj, (8 + len(args)) << 16 | opcode) + args)


def read_exact(size):
    data = b""
    while len(data) < size:
        chunk = conn.recv(size - len(data))
        if not chunk:
            sys.exit("compositor went away")
        data += chunk
    return data


def roundtrip(on_event=lambda obj, opcode, body: None):
    callback = new_id()
    send(DISPLAY, 0, struct.pack("<I", callback))  # wl_display.sync
    while True:
        obj, word = struct.unpack("<II", read_exact(8))
        body = read_exact((word >> 16) - 8)
        if obj == callback:
            return
        if obj == DISPLAY and word & 0xFFFF == 0:  # wl_display.error
            size = struct.unpack_from("<I", body, 8)[0]
            sys.exit("protocol error: " + body[12:12 + size - 1].decode())
        on_event(obj, word & 0xFFFF, body)


globals_ = {}


def registry_event(obj, opcode, body):
    if obj == REGISTRY and opcode == 0:  # wl_registry.global
        name, size = struct.unpack_from("<II", body)
        interface = body[8:8 + size - 1].decode()
        globals_[interface] = name


send(DISPLAY, 1, struct.pack("<I", REGISTRY))  # wl_display.get_registry
roundtrip(registry_event)
interface = "zwlr_virtual_pointer_manager_v1"
if interface not in globals_:
    sys.exit("the compositor has no virtual pointers")
manager = new_id()
send(REGISTRY, 0, struct.pack("<I", globals_[interface]) + string(interface)
     + struct.pack("<II", 1, manager))  # wl_registry.bind
pointer = new_id()
send(manager, 0, struct.pack("<II", 0, pointer))  # create_virtual_pointer, the default seat
roundtrip()
print("ready", flush=True)

BTN_LEFT = 0x110
for line in sys.stdin:
    x, y = (int(v) for v in line.split())
    ms = int(time.monotonic() * 1000) & 0xFFFFFFFF
    send(pointer, 1, struct.pack("<IIIII", ms, x, y, width, height))  # motion_absolute
    send(pointer, 4, struct.pack("<I", ms))  # frame
    send(pointer, 2, struct.pack("<III", ms, BTN_LEFT, 1))  # button, pressed
    send(pointer, 4, struct.pack("<I", ms))
    send(pointer, 2, struct.pack("<III", ms + 1, BTN_LEFT, 0))  # released
    send(pointer, 4, struct.pack("<I", ms + 1))
    roundtrip()
    print("ok", flush=True)
