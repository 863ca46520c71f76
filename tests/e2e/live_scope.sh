#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The live scope end to end, on every sound stack this machine has (see e2e_routes): a
# private server whose default source is the monitor of a null sink, a 1 kHz sine of
# amplitude 0.5 played into that sink, the real program on a virtual X display. Screenshots are checked by their white (trace) pixels:
# the sine's vertical extent through the conversion's divisor, a flat line at y = 160
# for silence, and that line moved by dragging on the screen ("Trigger Y").
# Then the README's run command on that build: with --demo and no sound server reachable
# it shows its private test signal live and leaves nothing running once its window is
# closed; with a server answering it starts no session of its own.
# Usage: live_scope.sh <bin dir>. Set VELDORA_SHOTS=<dir> to keep the screenshots.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/session.sh"
e2e_begin "${1:-}" veldora -- pactl pacat sox Xvfb xdotool import
e2e_start_xvfb 141 190

failures=0
amplitude=0.5
# deflection = amplitude * 32767 * 65536 / divisor (Vertical 1: 28180480)
deflection=$(awk -v a="$amplitude" 'BEGIN { printf "%d", int(a * 32767 * 65536 / 28180480) }')

e2e_on_exit e2e_stop_app

# Takes a screenshot and sets top, bottom (rows of the trace's white pixels in the
# trace columns 10..281 of the screen picture) and count (white pixels there).
shot() {
    local name=$1 file="$work/$1.png"
    import -window "$window" "$file"
    [[ -n "${VELDORA_SHOTS:-}" ]] && mkdir -p "$VELDORA_SHOTS" && cp "$file" "$VELDORA_SHOTS/$route-$name.png"
    read -r top bottom count < <("$convert" "$file" -crop 272x330+10+0 +repage txt:- |
        awk -F'[,:]' '/#FFFFFF/ { n++; y = $2 + 0; if (min == "" || y < min) min = y; if (y > max) max = y }
                      END { if (n == 0) print "-1 -1 0"; else print min, max, n }')
}
near() { (($1 >= 0 && $1 - $2 <= 2 && $2 - $1 <= 2)); }
shows_tone() { shot tone && near "$top" $((160 - deflection)) && near "$bottom" $((160 + deflection)); }
shows_line_at() { shot "line$1" && ((top == $1 && bottom == $1 && count >= 260)); }

run_route() {
    local rc=0
    e2e_enter_route "$route" || rc=$?
    ((rc != 2)) || return 0
    ((rc == 0)) || { e2e_fail "server did not start"; return 0; }

    # --- sound: a null sink at the capture format, its monitor the default source
    e2e_capture_sink veldora_scope || e2e_fail "the monitor did not become the default source"
    echo "sink volume: $(pactl get-sink-volume veldora_scope | head -n 1 | tr -s ' ')"
    echo "source volume: $(pactl get-source-volume veldora_scope.monitor | head -n 1 | tr -s ' ')"

    # Started before the program opens capture, so its first read does not wait.
    e2e_play veldora_scope "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 120 sine 1000 vol $amplitude 2>/dev/null" 200

    e2e_run_program "$bin/veldora" >"$work/veldora-$route.log" 2>&1 &
    app_pid=$!
    window=$(e2e_main_window 60) || true
    [[ -n "$window" ]] || { e2e_fail "main window did not appear"; cat "$work/veldora-$route.log"; return 0; }
    # An error box at start-up would be a second window titled "Veldora".
    if xdotool search --onlyvisible --name '^Veldora$' >/dev/null 2>&1; then
        e2e_fail "an error box is shown"
        return 0
    fi

    # --- the tone: the sine's extent through the conversion's divisor, once the
    # server delivers it (a server may hand out silence while it starts)
    e2e_wait_for 30 shows_tone || true
    echo "tone: white rows $top..$bottom, $count white pixels; expected $((160 - deflection))..$((160 + deflection))"
    near "$top" $((160 - deflection)) || e2e_fail "top of the sine at row $top, expected $((160 - deflection)) +-2"
    near "$bottom" $((160 + deflection)) || e2e_fail "bottom of the sine at row $bottom, expected $((160 + deflection)) +-2"

    # --- silence: zeros played in real time
    e2e_play veldora_scope "cat /dev/zero" 200
    e2e_wait_for 30 shows_line_at 160 || true
    echo "silence: white rows $top..$bottom, $count white pixels"
    ((top == 160 && bottom == 160 && count >= 260)) || e2e_fail "silence is not a flat line on row 160"

    # --- "Trigger Y" by dragging on the screen: TrackBar2 := y - 60, TrackBar4 := x - 60
    xdotool mousemove --window "$window" 160 160 mousedown 1
    xdotool mousemove --window "$window" 160 180
    xdotool mousemove --window "$window" 160 200 mouseup 1
    # Trigger Y 140: the zero line at 140 + 60.
    e2e_wait_for 30 shows_line_at 200 || true
    echo "moved: white rows $top..$bottom, $count white pixels"
    ((top == 200 && bottom == 200 && count >= 260)) || e2e_fail "the silent line did not move to row 200"

    kill -0 "$app_pid" || e2e_fail "the program ended"
    e2e_stop_app
    e2e_stop_player
    e2e_stop_server
}

e2e_each_route run_route

# --- the run command (scripts/run.sh on this build)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The sound processes running now (a daemon that ended may stay a zombie until reaped).
sessions() {
    ps -eo pid=,stat=,comm= |
        awk '$2 !~ /^Z/ && $3 ~ /^(pulseaudio|pipewire|pipewire-pulse|wireplumber|dbus-daemon|pacat|sox)$/ { print $1 }' | sort
}
run_command() { VELDORA_BIN=$bin bash "$here/../../scripts/run.sh" "$@" >"$work/run.log" 2>&1 & }
# Closes the window as a user does, asking again each second (Qt on a bare Xvfb may drop
# the request); sets status to the run command's exit status. Without a window, or when
# it does not end, the run command is stopped (TERM, which it traps).
close_run_command() {
    local pid=$1 _
    for _ in $(seq 30); do
        [[ -n "$window" ]] && e2e_find_main_window >/dev/null || break
        python3 "$here/lib/wm_delete.py" "$window" 2>/dev/null || true
        e2e_wait_for 1 bash -c '! xdotool search --onlyvisible --name "^Veldora 1.0$" >/dev/null' || true
    done
    [[ -n "$window" ]] && e2e_wait_for 30 bash -c "! kill -0 $pid 2>/dev/null" || kill -TERM "$pid" 2>/dev/null || true
    status=0
    wait "$pid" || status=$?
}
trace_signature() {
    "$convert" "$1" -crop 272x330+10+0 +repage txt:- | grep '#FFFFFF' | cut -d: -f1 | md5sum | cut -c1-12
}
# A trace that swings off the centre line, seen in two different shapes.
seen=""
live_and_changing() {
    shot demo
    ((count > 0 && top < 150 && bottom > 170)) || return 1
    local signature
    signature=$(trace_signature "$work/demo.png")
    [[ -z "$seen" || "$seen" == "$signature" ]] || return 0
    seen=$signature
    return 1
}

route=demo
before=$(sessions)
unset PULSE_SERVER
run_command --demo
run_pid=$!
window=$(e2e_main_window 120) || true
if [[ -n "$window" ]]; then
    shown=$SECONDS
    e2e_wait_for 30 live_and_changing && echo "demo: a live, changing trace $((SECONDS - shown)) s after the window showed" ||
        e2e_fail "no live, changing trace (rows $top..$bottom, $count white pixels)"
    grep -q '^Playing: ' "$work/run.log" || e2e_fail "the terminal does not name what is playing"
else
    e2e_fail "the run command's window did not appear"
fi
close_run_command "$run_pid"
((status == 0)) || e2e_fail "the run command ended with status $status"
left=$(comm -13 <(echo "$before") <(sessions))
[[ -z "$left" ]] || { e2e_fail "left running: $(ps -o pid=,args= -p "${left//$'\n'/,}" | tr '\n' ';')"; kill $left 2>/dev/null || true; }
sed 's/^/  run.sh: /' "$work/run.log"

# With a server answering, the program captures from it and no session of its own starts.
# Not `e2e_routes | head`: head may end before the routes are all written, and the
# writer's SIGPIPE then fails the pipeline, and with it the script.
routes=$(e2e_routes)
route=${routes%%$'\n'*}
if e2e_start_server "$route" && e2e_capture_sink veldora_scope; then
    e2e_play veldora_scope "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 120 sine 1000 vol $amplitude 2>/dev/null" 200
    before=$(sessions)
    run_command
    run_pid=$!
    window=$(e2e_main_window 60) || true
    if [[ -n "$window" ]]; then
        e2e_wait_for 30 shows_tone || e2e_fail "the run command does not show the server's tone"
        [[ "$(sessions)" == "$before" ]] || e2e_fail "the run command started a sound session of its own beside the server: $(comm -3 <(echo "$before") <(sessions) | xargs -r ps -o pid=,args= -p | tr "\n" ";")"
        ! grep -q 'test signal' "$work/run.log" || e2e_fail "the run command chose the test signal beside a server"
    else
        e2e_fail "the run command's window did not appear"
        cat "$work/run.log"
    fi
    close_run_command "$run_pid"
    ((status == 0)) || e2e_fail "the run command ended with status $status"
    e2e_stop_player
    e2e_stop_server
else
    e2e_fail "server did not start"
fi
if [[ "$failures" -ne 0 ]]; then
    cat "$work"/veldora-*.log
    exit 1
fi
echo "live scope checks passed"
