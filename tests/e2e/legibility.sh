#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Starts the real program on a virtual X display and checks what a user reads:
#  - under a dark desktop palette (a style plugin of the tests, chosen through the
#    environment as a desktop would) the About box keeps dark texts on its white field;
#  - at screen scale 1, 1.5 and 2 every vertical grid line of the screen is drawn one
#    width, 2 device pixels at scale 2.
# Usage: legibility.sh <bin dir>. With VELDORA_SHOT_DIR set, the screenshots are kept
# there (main-1.png, main-1.5.png, main-2.png, dark-main.png, dark-about.png).
set -euo pipefail
bin=${1:?usage: legibility.sh <bin dir>}
bin=$(cd "$bin" && pwd)
convert=/usr/bin/convert
plugins=$(cd "$bin/.." && pwd)/testplugins

source "$(dirname "${BASH_SOURCE[0]}")/lib/session.sh"
source "$(dirname "${BASH_SOURCE[0]}")/lib/pixels.sh"
e2e_make_workdir
work=$E2E_WORK
e2e_start_xvfb 181 230

failures=0
keep() { [ -n "${VELDORA_SHOT_DIR:-}" ] && cp "$1" "$VELDORA_SHOT_DIR/$(basename "$1")" || true; }

e2e_on_exit e2e_stop_app

# Starts the program with the given environment (NAME=VALUE ...) and sets `window` to
# its main window. Without a sound server, start-up first shows its error box (titled
# "Veldora"): it is answered with Enter, as a user would.
start_app() {
    if ! kill -0 "$E2E_XVFB_PID" 2>/dev/null || ! xdpyinfo >/dev/null 2>&1; then
        echo "the X display $DISPLAY is gone"
        cat "$E2E_WORK/xvfb.log"
        exit 1
    fi
    env "$@" "$bin/veldora" >"$work/veldora.log" 2>&1 &
    app_pid=$!
    window=""
    local i box
    for i in $(seq 300); do
        window=$(e2e_find_main_window) || true
        [ -n "$window" ] && break
        box=$(xdotool search --onlyvisible --name '^Veldora$' 2>/dev/null | head -n 1) || true
        if [ -n "$box" ] && [ $((i % 10)) -eq 0 ]; then
            e2e_answer_box "$box"
        fi
        sleep 0.1
    done
    if [ -z "$window" ]; then
        echo "main window did not appear"
        cat "$work/veldora.log"
        exit 1
    fi
    # Scaled up, the window at its designed place would reach past the display's edge.
    xdotool windowmove --sync "$window" 0 0 2>/dev/null || xdotool windowmove "$window" 0 0
}

# Takes a shot of window $1 into $2 once the window has the size $3 (WxH) and shows
# the screen's black field at $4 (x,y), i.e. once it has been painted.
shoot() {
    local i size
    for i in $(seq 100); do
        import -window "$1" "$2" 2>/dev/null || true
        size=$("$convert" "$2" -format '%wx%h' info: 2>/dev/null || true)
        if [ "$size" = "$3" ] &&
            [ "$("$convert" "$2" -format "%[pixel:p{$4}]" info:)" = 'srgb(0,0,0)' ]; then
            return 0
        fi
        sleep 0.1
    done
    e2e_fail "window $1 never showed ${3} with a painted screen (last shot $size)"
    return 1
}

for scale in 1 1.5 2; do
    start_app QT_SCALE_FACTOR=$scale
    width=$(awk -v s=$scale 'BEGIN { printf "%d", 500 * s + 0.5 }')
    height=$(awk -v s=$scale 'BEGIN { printf "%d", 330 * s + 0.5 }')
    screen=$(awk -v s=$scale 'BEGIN { printf "%d", 291 * s }')
    row=$(awk -v s=$scale 'BEGIN { printf "%d", 30 * s }')
    field=$(awk -v s=$scale 'BEGIN { printf "%d,%d", 20 * s, 20 * s }')
    shot=$work/main-$scale.png
    if shoot "$window" "$shot" "${width}x${height}" "$field"; then
        keep "$shot"
        runs=$(grid_runs "$shot" "$row" "$screen")
        echo "scale $scale: grid line widths along row $row: $runs"
        count=$(wc -w <<<"$runs")
        distinct=$(tr ' ' '\n' <<<"$runs" | sed '/^$/d' | sort -u | wc -l)
        [ "$count" -eq 11 ] || e2e_fail "scale $scale: $count grid lines, expected 11"
        [ "$distinct" -eq 1 ] || e2e_fail "scale $scale: grid lines of different widths ($runs)"
        if [ "$scale" = 2 ]; then
            [ "$(tr ' ' '\n' <<<"$runs" | sed '/^$/d' | sort -u)" = 2 ] || e2e_fail "scale 2: lines not 2 pixels wide"
        fi
    fi
    e2e_stop_app
done

# A dark palette from the desktop's side: the tests' style plugin.
start_app QT_PLUGIN_PATH="$plugins" QT_STYLE_OVERRIDE=veldora-dark
shot=$work/dark-main.png
shoot "$window" "$shot" 500x330 20,20 && keep "$shot"
face=$("$convert" "$shot" -format '%[fx:int(255*p{295,100}.intensity)]' info:)
echo "dark palette: panel face intensity $face"
[ "$face" -lt 100 ] || e2e_fail "the dark palette did not reach the program (panel face intensity $face)"

# The information icon opens the About box.
xdotool mousemove --window "$window" 479 20 click 1
about=""
for _ in $(seq 100); do
    about=$(xdotool search --onlyvisible --name '^Form3$' 2>/dev/null | head -n 1) || true
    [ -n "$about" ] && break
    sleep 0.1
done
[ -n "$about" ] || { e2e_fail "the About box did not open"; exit 1; }
shot=$work/dark-about.png
for _ in $(seq 100); do
    import -window "$about" "$shot" 2>/dev/null || true
    [ "$("$convert" "$shot" -format '%wx%h' info: 2>/dev/null)" = 224x86 ] &&
        [ "$("$convert" "$shot" -format '%[pixel:p{200,4}]' info:)" = 'srgb(255,255,255)' ] && break
    sleep 0.1
done
keep "$shot"
# Each text's area: the pixels that differ from white by more than half the scale.
for area in "Label1 150x24+72+8" "Label2 150x16+72+40" "Label3 142x16+80+64"; do
    set -- $area
    dark=$("$convert" "$shot" -crop "$2" +repage -colorspace gray -threshold 50% -format '%[fx:int(w*h*(1-mean)+0.5)]' info:)
    echo "About box $1: $dark pixels clearly darker than white"
    [ "$dark" -ge 15 ] || e2e_fail "About box $1 has no text in contrast with its white field ($dark pixels)"
done
e2e_stop_app

[ "$failures" -eq 0 ] || exit 1
echo "legibility checks passed"
