#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# A picture of one KWin window with its title bar, through KWin's screenshot interface,
# written as PNG. KWin hands the raw pixels (QImage's ARGB32, BGRA in memory) over a pipe.
# Usage: kwin-screenshot.py WINDOW-UUID OUT.png (on KWin's session bus)
import os
import struct
import sys
import zlib

from gi.repository import Gio, GLib

window, out = sys.argv[1], sys.argv[2]
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
read_end, write_end = os.pipe()
fds = Gio.UnixFDList.new()
fds.append(write_end)  # a copy: ours is closed below, the list's when it goes
os.close(write_end)
reply, _ = bus.call_with_unix_fd_list_sync(
    'org.kde.KWin', '/org/kde/KWin/ScreenShot2', 'org.kde.KWin.ScreenShot2', 'CaptureWindow',
    GLib.Variant('(sa{sv}h)', (window, {'include-decoration': GLib.Variant('b', True)}, 0)),
    GLib.VariantType('(a{sv})'), Gio.DBusCallFlags.NONE, 10000,
    fds, None)
del fds
data = bytearray()
while chunk := os.read(read_end, 1 << 16):
    data += chunk
image = reply.unpack()[0]
width, height, stride = image['width'], image['height'], image['stride']
if image.get('format') not in (5, 6) or len(data) < stride * height:
    sys.exit(f'unexpected image: {image}, {len(data)} bytes')
rows = bytearray()
for y in range(height):
    row = data[y * stride:y * stride + width * 4]
    row[0::4], row[2::4] = row[2::4], row[0::4]  # BGRA to RGBA
    rows += b'\0' + row


def chunk_of(kind, payload):
    return (struct.pack('>I', len(payload)) + kind + payload
            + struct.pack('>I', zlib.crc32(kind + payload)))


with open(out, 'wb') as png:
    png.write(b'\x89PNG\r\n\x1a\n'
              + chunk_of(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0))
              + chunk_of(b'IDAT', zlib.compress(bytes(rows)))
              + chunk_of(b'IEND', b''))
