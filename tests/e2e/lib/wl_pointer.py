#!/usr/bin/env python3
"""Gives a headless wlroots compositor's seat a pointer, held until this process ends.

Usage: wl_pointer.py   (XDG_RUNTIME_DIR and WAYLAND_DISPLAY from the environment)
A headless Sway has no input device, so its seat offers clients no pointer and its own
`seat - cursor` commands reach nobody. A virtual pointer (zwlr_virtual_pointer_v1) is
such a device; the tests then move and press the seat's cursor with swaymsg, through
the compositor as a user's mouse would. Prints "ready" once the device exists.
Written against the Wayland wire format directly: Debian has no Python binding for it.
"""
import os
import socket
import struct
import sys

MANAGER = "zwlr_virtual_pointer_manager_v1"


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
    for obj, opcode, payload in stream:
        if obj == 6:
            print("ready", flush=True)
        elif obj == 1 and opcode == 0:
            sys.exit("compositor error: %r" % payload)
    # The compositor hung up: it has ended.


if __name__ == "__main__":
    main()
