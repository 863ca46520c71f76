#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The program on a headless Sway (lib/wl_scenes.sh), Qt's wayland platform and XWayland:
# start-up with no sound server shows the error box with its text, Return closes it, and
# the main window follows.
# Usage: wayland_error_box.sh <bin dir>; VELDORA_WL_PLATFORMS picks the routes, VELDORA_SHOTS=<dir>
# keeps the screenshots. By hand:
#     VELDORA_SHOTS=/tmp/wayland-shots bash tests/e2e/wayland_error_box.sh build/bin
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/wl_scenes.sh" "$@"

# --- start-up with no sound server: the error box, answered with Return.
error_box_scene() {
    start_app
    find_window '^Veldora$' || { e2e_fail "no error box at start-up"; return 0; }
    local box=$work/error-box.png
    e2e_wait_for 10 e2e_wl_shot "$box" "$x" "$y" "$w" "$h" || true
    keep "$box" "$platform-error-box.png"
    local text
    text=$(dark_pixels "$box" "$((w - 60))x30+50+10")
    echo "error box ${w}x$h, $text dark pixels where its text is"
    ((text >= 150)) || e2e_fail "the error box shows no text ($text dark pixels)"
    e2e_wait_for 20 answered || e2e_fail "Return did not close the error box"
    find_window '^Veldora 1.0$' || e2e_fail "no main window after the error box"
    e2e_stop_app
}

wl_each_platform error_box_scene
wl_report "start-up error box"
