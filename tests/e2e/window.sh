#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Starts the real program on a virtual X display and checks its main window by
# pixels: the graticule on the screen, a label, and the panel at the right.
# Usage: window.sh <bin dir>. Prints the time to a shown window and the resident
# memory after start (figures, not checks).
set -euo pipefail
bin=${1:?usage: window.sh <bin dir>}
convert=/usr/bin/convert

source "$(dirname "${BASH_SOURCE[0]}")/lib/session.sh"
e2e_make_workdir
work=$E2E_WORK
e2e_start_xvfb 97 140

started=$(date +%s%N)
"$bin/veldora" >"$work/veldora.log" 2>&1 &
app_pid=$!
e2e_on_exit 'e2e_stop_process "$app_pid"'
# Without a sound server start-up reports that there is no capture device: the
# standard error box (titled "Veldora") comes before the main window. Answer it with
# Enter, as a user would, and the main window follows.
window=""
box_seen=0
for i in $(seq 300); do
    window=$(e2e_find_main_window) || true
    [ -n "$window" ] && break
    box=$(xdotool search --onlyvisible --name '^Veldora$' 2>/dev/null | head -n 1) || true
    if [ -n "$box" ] && [ $((i % 10)) -eq 0 ]; then
        [ "$box_seen" -eq 1 ] || echo "start-up error box shown; answering it"
        box_seen=1
        e2e_answer_box "$box"
    fi
    sleep 0.1
done
shown=$(date +%s%N)
if [ -z "$window" ]; then
    echo "main window did not appear"
    cat "$work/veldora.log"
    exit 1
fi
echo "start-up to shown window: $(((shown - started) / 1000000)) ms"

# The shot once the first paint has reached the server: the graticule's corner is lit.
shot=$work/shot.png
painted() {
    import -window "$window" "$shot" 2>/dev/null &&
        [[ $("$convert" "$shot" -format '%[pixel:p{10,12}]' info: 2>/dev/null) == 'srgb(0,150,0)' ]]
}
e2e_wait_for 30 painted || true
kill -0 "$app_pid" || { echo "program ended"; cat "$work/veldora.log"; exit 1; }
echo "resident memory after start: $(ps -o rss= -p "$app_pid" | tr -d ' ') KiB"
[ -n "${VELDORA_SHOT:-}" ] && cp "$shot" "$VELDORA_SHOT"

pixel() { "$convert" "$shot" -format "%[pixel:p{$1,$2}]" info:; }
failures=0
expect_pixel() {   # x y expected description
    local got
    got=$(pixel "$1" "$2")
    if [ "$got" != "$3" ]; then
        echo "FAIL: $4 at ($1,$2): $got, expected $3"
        failures=$((failures + 1))
    else
        echo "ok: $4 at ($1,$2) is $got"
    fi
}

size=$("$convert" "$shot" -format '%wx%h' info:)
[ "$size" = "500x330" ] || { echo "FAIL: window is $size, expected 500x330"; failures=$((failures + 1)); }

expect_pixel 10 12 'srgb(0,150,0)' "grid corner"
expect_pixel 145 100 'srgb(0,150,0)' "centre vertical line"
expect_pixel 20 20 'srgb(0,0,0)' "field"
expect_pixel 200 200 'srgb(0,0,0)' "field"
expect_pixel 7 160 'srgb(0,255,0)' "zero marker"

# The label "2.00" covers x 13..32, y 15..22: some of its pixels are bright green.
lit=$("$convert" "$shot" -crop 20x8+13+15 +repage txt:- | grep -c '#00FF00' || true)
if [ "$lit" -lt 10 ]; then
    echo "FAIL: label \"2.00\" has $lit bright green pixels"
    failures=$((failures + 1))
else
    echo "ok: label \"2.00\" has $lit bright green pixels"
fi

# The panel: one flat colour in an empty strip left of its controls, not the screen's.
face=$(pixel 295 100)
for at in "295 70" "296 140" "297 300"; do
    set -- $at
    expect_pixel "$1" "$2" "$face" "panel face"
done
case "$face" in
'srgb(0,0,0)' | 'srgb(0,150,0)') echo "FAIL: panel face is $face"; failures=$((failures + 1)) ;;
esac
# Its raised edge: a light line at the left, a dark one at the right.
left_edge=$(pixel 291 150)
right_edge=$(pixel 499 150)
[ "$left_edge" != "$right_edge" ] || { echo "FAIL: panel edge is flat ($left_edge)"; failures=$((failures + 1)); }
echo "panel face $face, left edge $left_edge, right edge $right_edge"

[ "$failures" -eq 0 ] || exit 1
echo "window checks passed"
