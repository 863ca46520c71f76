#!/usr/bin/env bash
# The live scope end to end: a private PulseAudio daemon whose default source is the
# monitor of a null sink, a 1 kHz sine of amplitude 0.5 played into that sink, the real
# program on a virtual X display. Screenshots are checked by their white (trace) pixels:
# the sine's vertical extent through the conversion's divisor, a flat line at y = 160
# for silence, and that line moved by dragging on the screen ("Trigger Y").
# Usage: live_scope.sh <bin dir>. Set VELDORA_SHOTS=<dir> to keep the screenshots.
set -euo pipefail
bin=$(cd "${1:?usage: live_scope.sh <bin dir>}" && pwd)
[[ -x "$bin/veldora" ]] || { echo "missing $bin/veldora" >&2; exit 1; }
for tool in pulseaudio pactl pacat sox Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
convert=/usr/bin/convert

source "$(dirname "${BASH_SOURCE[0]}")/lib/session.sh"
e2e_make_workdir
work=$E2E_WORK

# --- sound: a null sink at the capture format, its monitor the default source
e2e_start_pulse
pactl load-module module-null-sink sink_name=veldora_scope rate=48000 channels=1 format=s16le >/dev/null
pactl set-default-sink veldora_scope
pactl set-default-source veldora_scope.monitor
pactl set-sink-volume veldora_scope 100%
pactl set-source-volume veldora_scope.monitor 100%
echo "sink volume: $(pactl get-sink-volume veldora_scope | head -n 1 | tr -s ' ')"
echo "source volume: $(pactl get-source-volume veldora_scope.monitor | head -n 1 | tr -s ' ')"

amplitude=0.5
# Started before the program opens capture, so its first read does not wait.
e2e_play veldora_scope "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 60 sine 1000 vol $amplitude 2>/dev/null"
sleep 0.5

# --- display
e2e_start_xvfb 141 190

"$bin/veldora" >"$work/veldora.log" 2>&1 &
app_pid=$!
e2e_on_exit 'e2e_stop_process "$app_pid"'
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Veldora 1.0$' | head -n 1) || true
[[ -n "$window" ]] || { echo "main window did not appear"; cat "$work/veldora.log"; exit 1; }
# An error box at start-up would be a second window titled "Veldora".
if xdotool search --onlyvisible --name '^Veldora$' >/dev/null 2>&1; then
    echo "FAIL: an error box is shown"
    exit 1
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Takes a screenshot and sets top, bottom (rows of the trace's white pixels in the
# trace columns 10..281 of the screen picture) and count (white pixels there).
shot() {
    local name=$1 file="$work/$1.png"
    import -window "$window" "$file"
    [[ -n "${VELDORA_SHOTS:-}" ]] && mkdir -p "$VELDORA_SHOTS" && cp "$file" "$VELDORA_SHOTS/"
    read -r top bottom count < <("$convert" "$file" -crop 272x330+10+0 +repage txt:- |
        awk -F'[,:]' '/#FFFFFF/ { n++; y = $2 + 0; if (min == "" || y < min) min = y; if (y > max) max = y }
                      END { if (n == 0) print "-1 -1 0"; else print min, max, n }')
    echo "$name: white rows $top..$bottom, $count white pixels"
}

# --- the tone: deflection = amplitude * 32767 * 65536 / divisor (Vertical 1: 28180480)
sleep 1.5
shot tone
deflection=$(awk -v a="$amplitude" 'BEGIN { printf "%d", int(a * 32767 * 65536 / 28180480) }')
echo "expected peaks at rows $((160 - deflection)) and $((160 + deflection)) (deflection $deflection)"
(( top >= 0 && top - (160 - deflection) <= 2 && (160 - deflection) - top <= 2 )) ||
    fail "top of the sine at row $top, expected $((160 - deflection)) +-2"
(( bottom >= 0 && bottom - (160 + deflection) <= 2 && (160 + deflection) - bottom <= 2 )) ||
    fail "bottom of the sine at row $bottom, expected $((160 + deflection)) +-2"

# --- silence: zeros played in real time
e2e_play veldora_scope "cat /dev/zero"
sleep 1.5
shot silence
(( top == 160 && bottom == 160 && count >= 260 )) || fail "silence is not a flat line on row 160"

# --- "Trigger Y" by dragging on the screen: TrackBar2 := y - 60, TrackBar4 := x - 60
xdotool mousemove --window "$window" 160 160 mousedown 1
sleep 0.2
xdotool mousemove --window "$window" 160 180
sleep 0.1
xdotool mousemove --window "$window" 160 200 mouseup 1
sleep 1
shot moved
# Trigger Y 140: the zero line at 140 + 60.
(( top == 200 && bottom == 200 && count >= 260 )) || fail "the silent line did not move to row 200"

kill -0 "$app_pid" || fail "the program ended"
[[ "$failures" -eq 0 ]] || { cat "$work/veldora.log"; exit 1; }
echo "live scope checks passed"
