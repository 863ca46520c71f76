#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""A pointer on a headless wlroots compositor's seat, driven by lines on standard input.

Usage: wl_pointer.py   (XDG_RUNTIME_DIR and WAYLAND_DISPLAY from the environment)
A headless Sway has no input device, so its seat offers clients no pointer, and its
`seat - cursor` commands send no motion while a button is held (no drag). This creates
a virtual pointer (zwlr_virtual_pointer_v1), which the compositor treats as a mouse:
  move X Y W H   to X,Y of a layout W x H (the output's logical size)
  press / release   the left button
Prints "ready", then "done N" once the compositor has taken the N-th command.
Written against the Wayland wire format directly: Debian has no Python binding for it.
"""
import os
import socket
import struct
import sys

MANAGER = "zwlr_virtual_pointer_manager_v1"
BTN_LEFT = 0x110


def message(obj, opcode, payload=b""):
    return struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def events(sock):
    """Yields (object, opcode, payload) for each event until the compositor hangs up."""
    buffer = b""
    while True:
        chunk = sock.recv(4096)
        if not chunk:
            return
        buffer += chunk
        while len(buffer) >= 8:
            obj, word = struct.unpack_from("<II", buffer)
            size = word >> 16
            if len(buffer) < size:
                break
            yield obj, word & 0xFFFF, buffer[8:size]
            buffer = buffer[size:]


def main():
    display = os.environ.get("WAYLAND_DISPLAY", "wayland-0")
    path = display if display.startswith("/") else os.path.join(os.environ["XDG_RUNTIME_DIR"], display)
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.connect(path)
    # Objects: 1 the display, 2 the registry, 3 the first sync's callback.
    sock.sendall(message(1, 1, struct.pack("<I", 2)) + message(1, 0, struct.pack("<I", 3)))
    manager = None
    stream = events(sock)
    for obj, opcode, payload in stream:
        if obj == 2 and opcode == 0:  # wl_registry.global(name, interface, version)
            name, length = struct.unpack_from("<II", payload)
            if payload[8:8 + length - 1].decode() == MANAGER:
                manager = name
        elif obj == 3:  # the callback: every global has been announced
            break
        elif obj == 1 and opcode == 0:  # wl_display.error
            sys.exit("compositor error: %r" % payload)
    if manager is None:
        sys.exit("the compositor offers no " + MANAGER)
    # Bind the manager as 4, create the pointer 5 on the default seat (null), then a sync
    # (6) whose answer means the compositor has taken the device.
    sock.sendall(message(2, 0, struct.pack("<I", manager) + string(MANAGER) + struct.pack("<II", 1, 4)) +
                 message(4, 0, struct.pack("<II", 0, 5)) + message(1, 0, struct.pack("<I", 6)))
    until_callback(stream, 6)
    print("ready", flush=True)
    callback = 7
    number = 0
    while line := sys.stdin.readline():
        number += 1
        words = line.split()
        time = number * 16  # milliseconds; only their order matters
        if words[0] == "move":
            x, y, width, height = (int(w) for w in words[1:5])
            request = message(5, 1, struct.pack("<IIIII", time, x, y, width, height))
        else:
            request = message(5, 2, struct.pack("<III", time, BTN_LEFT, 1 if words[0] == "press" else 0))
        sock.sendall(request + message(5, 4) + message(1, 0, struct.pack("<I", callback)))
        until_callback(stream, callback)
        print("done", number, flush=True)
        callback += 1


def until_callback(stream, callback):
    for obj, opcode, payload in stream:
        if obj == callback:
            return
        if obj == 1 and opcode == 0:
            sys.exit("compositor error: %r" % payload)
    sys.exit("the compositor hung up")


if __name__ == "__main__":
    main()
