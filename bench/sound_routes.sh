#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Figures per sound stack (not a test; see tests/e2e for the checks): start-up to the
# first tone trace, and silence-to-tone latency over 10 trials, the program's screen
# beside `arecord` with the program's period set-up (10 ms periods, 8 of them) in the
# same run, both timed from the moment the player switches from zeros to the tone.
# The screen is observed by screenshots: the figure includes up to one observation
# (its cost is printed). Usage: bench/sound_routes.sh <bin dir> (a Release build).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../tests/e2e/lib/session.sh"
e2e_begin "${1:-}" veldora
e2e_start_xvfb 351 400
now_ms() { echo $(($(date +%s%N) / 1000000)); }
sink=veldora_bench
deflection=38

is_tone() {
    local box count
    import -window "$window" "$work/shot.png" 2>/dev/null || return 1
    read -r box count < <("$convert" "$work/shot.png" -crop 272x330+10+0 +repage -fill black +opaque '#FFFFFF' \
        -format '%@ %[fx:int(mean*w*h+0.5)]' info: 2>/dev/null)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    local top=${BASH_REMATCH[4]} bottom=$((BASH_REMATCH[4] + BASH_REMATCH[2] - 1))
    ((count > 0 && top <= 160 - deflection + 3 && bottom >= 160 + deflection - 3))
}
is_flat() {
    local box count
    import -window "$window" "$work/shot.png" 2>/dev/null || return 1
    read -r box count < <("$convert" "$work/shot.png" -crop 272x330+10+0 +repage -fill black +opaque '#FFFFFF' \
        -format '%@ %[fx:int(mean*w*h+0.5)]' info: 2>/dev/null)
    [[ $box =~ ^([0-9]+)x1\+([0-9]+)\+160$ ]]
}
stats() { sort -n | awk '{ v[NR] = $1 } END { printf "min %d, median %d, max %d ms (n=%d)", v[1], v[int((NR + 1) / 2)], v[NR], NR }'; }

for route in $(e2e_routes); do
    rc=0
    e2e_start_server "$route" >/dev/null || rc=$?
    ((rc == 0)) || { echo "[$route] skipped"; continue; }
    e2e_capture_sink $sink
    tone="sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 3600 sine 1000 vol 0.5 2>/dev/null"
    e2e_play $sink "$tone" 20
    t0=$(now_ms)
    e2e_run_program "$bin/veldora" >"$work/veldora.log" 2>&1 &
    app=$!
    window=$(e2e_main_window 60)
    e2e_wait_for 60 is_tone
    echo "[$route] start-up to first tone trace: $(($(now_ms) - t0)) ms"
    t0=$(now_ms); is_flat || true; echo "[$route] one observation of the screen: $(($(now_ms) - t0)) ms"

    # arecord at the program's period set-up; a reader stamps each silence-to-tone edge.
    rm -f "$work/pcm" && mkfifo "$work/pcm"
    e2e_run_program arecord -q -D default -f S16_LE -r 48000 -c 1 -t raw --period-size=480 --buffer-size=3840 \
        >"$work/pcm" 2>/dev/null &
    arecord_pid=$!
    python3 -u -c '
import sys, time, array
loud = False
while True:
    b = sys.stdin.buffer.read(960)
    if len(b) < 960: break
    a = array.array("h", b)
    now = max(abs(x) for x in a) > 4000
    if now and not loud: print(int(time.time() * 1000), flush=True)
    loud = now' <"$work/pcm" >"$work/edges" &
    reader=$!
    prog=()
    arec=()
    for i in $(seq 10); do
        e2e_play $sink "cat /dev/zero" 20
        e2e_wait_for 20 is_flat
        t0=$(now_ms)
        e2e_play $sink "$tone" 20
        e2e_wait_for 20 is_tone
        prog+=($(($(now_ms) - t0)))
        edge=$(awk -v t="$t0" '$1 >= t { print $1; exit }' "$work/edges")
        [[ -n "$edge" ]] && arec+=($((edge - t0)))
    done
    echo "[$route] silence to tone, program screen: $(printf '%s\n' "${prog[@]}" | stats)"
    echo "[$route] silence to tone, arecord:        $(printf '%s\n' "${arec[@]}" | stats)"
    e2e_stop_process "$arecord_pid"
    e2e_stop_process "$reader"
    e2e_stop_process "$app"
    e2e_stop_player
    e2e_stop_server
done
