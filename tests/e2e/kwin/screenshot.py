# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""KWin's own screenshot of its whole workspace (org.kde.KWin.ScreenShot2), written as a
raw 32-bit picture to FILE, and its size and format printed as "WIDTH HEIGHT STRIDE
FORMAT" (a QImage format number). Usage: screenshot.py FILE
"""

import os
import sys

from gi.repository import Gio, GLib


def main():
    out = sys.argv[1]
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    read_end, write_end = os.pipe()
    fds = Gio.UnixFDList.new()
    fds.append(write_end)
    os.close(write_end)
    reply, _ = bus.call_with_unix_fd_list_sync(
        "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2",
        "CaptureWorkspace", GLib.Variant("(a{sv}h)", ({}, 0)), GLib.VariantType("(a{sv})"),
        Gio.DBusCallFlags.NONE, 20000, fds, None)
    fds = None
    data = b""
    with os.fdopen(read_end, "rb") as pipe:
        data = pipe.read()
    with open(out, "wb") as raw:
        raw.write(data)
    info = reply.unpack()[0]
    print(info.get("width"), info.get("height"), info.get("stride"), info.get("format"))


main()
