# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the server-fault scenes (tests/e2e/server_*.sh), not a test itself: the real
# program on a virtual X display with a sound server that the scene kills, freezes or
# restarts, on every sound stack this machine has (PulseAudio; PipeWire through ALSA's
# pulse plugin; PipeWire through its own ALSA plugin), one server session per route.
#
# Source it as `source lib/faults.sh "$@"` (the bin dir the first argument). It gives:
#   start_program / close_program / reap_program / close_and_reap SCENE
#                             the program (app_pid, window, start_box: a box before the
#                             window), its close timed, its exit code in status
#   click_pause, click_revers, revers_reaction [LIMIT_S], field, is_tone, is_flat
#   box_shown, boxes, answer_boxes, time_until LIMIT_S COMMAND..., now_ms
#   probe_cost                what observing a reaction costs here, in ms
#   check_reaction NAME MS ALLOWANCE   a reaction must come within 200 ms + ALLOWANCE
#   answers_then_closes SCENE Revers answers at once, then the close ends with code 0
#   close_baseline            closes a fresh program with the server answering: sets
#                             baseline and baseline_gone (ms), what closing costs here
#   probe_start SCENE / action TEXT / probe_end
#                             the responsiveness probe: through a scene a probe
#                             (ping_probe) sends the window a _NET_WM_PING every 20 ms
#                             beside a plain Qt window of our own (ping_reference) in the
#                             same batch, the machine's share; a round trip more than 200
#                             ms longer than the reference's fails the scene, printed
#                             with its time after the scene's last action before it
#   faults_each_route SCENE   per route: the server, a null sink whose monitor is the
#                             default source and a 1 kHz tone into it, SCENE, then all
#                             stopped
#   faults_report NAME        the exit: the program's logs on failure
# Timings are printed; checks allow for a loaded machine: a reaction must come within
# 200 ms beyond what observing it costs here (measured in the same run), where the
# fault being guarded against held the window for seconds.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$here/lib/session.sh"
e2e_begin "${1:-}" veldora ping_probe ping_reference -- pactl pacat sox Xvfb xdotool import python3
e2e_start_xvfb 301 350

failures=0
now_ms() { echo $(($(date +%s%N) / 1000000)); }

amplitude=0.5
deflection=$(awk -v a="$amplitude" 'BEGIN { printf "%d", int(a * 32767 * 65536 / 28180480) }')
sink=veldora_faults

# --- sound
make_sink() {
    e2e_capture_sink $sink
}
play_tone() { e2e_play $sink "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 3600 sine 1000 vol $amplitude 2>/dev/null" 200; }
play_zeros() { e2e_play $sink "cat /dev/zero" 200; }

boxes() { xdotool search --onlyvisible --name '^Veldora$' 2>/dev/null | wc -l; }
box_shown() { (($(boxes) >= 1)); }
answer_boxes() {
    local box
    for box in $(xdotool search --onlyvisible --name '^Veldora$' 2>/dev/null); do
        e2e_answer_box "$box"
    done
    e2e_wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Veldora\$' >/dev/null 2>&1"
}
# --- the program, run from a folder of its own with plain background pictures (black
# normal, white reversed), so that Revers visibly answers
mkdir -p "$work/app"
for f in veldora libveldorasound.so; do
    cp -l "$bin/$f" "$work/app/" 2>/dev/null || cp "$bin/$f" "$work/app/"
done
"$convert" -size 291x330 xc:black BMP3:"$work/app/background.bmp"
"$convert" -size 291x330 xc:white BMP3:"$work/app/background2.bmp"

app_pid=""
window=""
start_box=0 # an error box came before the main window
start_program() {
    e2e_run_program "$work/app/veldora" >>"$work/veldora-$route.log" 2>&1 &
    app_pid=$!
    start_box=0
    window=""
    local end=$((SECONDS + 60))
    while [[ -z "$window" ]] && ((SECONDS < end)); do
        window=$(e2e_find_main_window) || true
        if [[ -z "$window" ]] && box_shown; then
            start_box=1
            answer_boxes
        fi
        [[ -n "$window" ]] || sleep 0.05
    done
    [[ -n "$window" ]] || { e2e_fail "main window did not appear"; return 1; }
}
# Asks the window to close; prints the milliseconds until the window was gone (the main
# thread's part: OnClose, capture stopped) and until the program had ended (teardown and
# the sanitizers' leak check included), and the program ends with its exit code in status.
status=0
main_window_gone() { ! e2e_find_main_window >/dev/null; }
# A capture lost to the frozen server may be reported just as the window is asked to
# close; its box is modal and holds the close back until it is answered, as a user would.
main_window_gone_answering() {
    main_window_gone && return 0
    if box_shown; then
        answer_boxes || true
        python3 "$here/lib/wm_delete.py" "$window" 2>/dev/null || true
    fi
    return 1
}
close_program() {
    local started gone
    started=$(now_ms)
    python3 "$here/lib/wm_delete.py" "$window"
    e2e_wait_for 60 main_window_gone_answering || true
    gone=$(($(now_ms) - started))
    e2e_wait_for 60 bash -c "! kill -0 $app_pid 2>/dev/null" || true
    echo "$gone $(($(now_ms) - started))"
}
reap_program() {
    status=0
    # A program that did not end on its own is a failure, not a reason to wait for ever.
    if kill -0 "$app_pid" 2>/dev/null; then
        e2e_fail "the program did not end after its window was closed"
        kill -KILL "$app_pid" 2>/dev/null || true
    fi
    wait "$app_pid" || status=$?
    app_pid=""
}
e2e_on_exit e2e_stop_app

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; } # window pixels
click_pause() { click 347 312; }
click_revers() { click 471 232; }

# The trace's white rows in the screen's trace columns: sets top, bottom, count.
shot() {
    local box
    top=-1 bottom=-1 count=0
    import -window "$window" "$work/shot.png" 2>/dev/null || return 0
    # The bounding box of the white pixels (WxH+X+Y) and how many there are.
    read -r box count < <("$convert" "$work/shot.png" -crop 272x330+10+0 +repage -fill black +opaque '#FFFFFF' \
        -format '%@ %[fx:int(mean*w*h+0.5)]' info: 2>/dev/null)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 0
    ((BASH_REMATCH[2] > 0 && count > 0)) || { count=0; return 0; }
    top=${BASH_REMATCH[4]}
    bottom=$((BASH_REMATCH[4] + BASH_REMATCH[2] - 1))
}
is_tone() { shot; ((top >= 0 && top <= 160 - deflection + 3 && bottom >= 160 + deflection - 3)); }
is_flat() { shot; ((top == 160 && bottom == 160 && count >= 260)); }
# A field pixel: black in the normal scheme, something else reversed.
field() { import -window "$window" -crop 1x1+20+20 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n 1; }

# Milliseconds until COMMAND succeeds, polling; "timeout" after LIMIT_S seconds.
time_until() {
    local limit=$1 start
    shift
    start=$(now_ms)
    if e2e_wait_for "$limit" "$@"; then echo $(($(now_ms) - start)); else echo timeout; fi
}

# What observing a reaction costs here: one probe of the field pixel, at its slowest of 5.
probe_cost() {
    local i start worst=0 took
    for i in 1 2 3 4 5; do
        start=$(now_ms)
        field >/dev/null
        took=$(($(now_ms) - start))
        ((took > worst)) && worst=$took
    done
    echo "$worst"
}

# Clicks Revers and prints the milliseconds until the field's colour changes ("timeout"
# after LIMIT_S seconds, default 20).
field_before=""
field_changed() { [[ $(field) != "$field_before" ]]; }
revers_reaction() {
    field_before=$(field)
    click_revers
    time_until "${1:-20}" field_changed
}

check_reaction() { # name ms allowance
    if [[ $2 == timeout ]] || (($2 > 200 + $3)); then
        e2e_fail "$1: the window answered after $2 ms (allowance $((200 + $3)) ms)"
    fi
}

# SCENE: the window answers Revers at once, then closing it ends the program with code 0.
answers_then_closes() {
    local scene=$1 ms
    probe_start "$scene"
    action Revers
    ms=$(revers_reaction)
    echo "$scene: Revers answered after $ms ms"
    check_reaction "Revers ($scene)" "$ms" $((2 * probe))
    probe_end
    close_and_reap "$scene"
}

# close_and_reap SCENE: closes the window, waits for the program's end and prints both
# times; sets `gone` and `ended` (ms) and fails the scene on a non-zero exit code.
close_and_reap() {
    read -r gone ended < <(close_program)
    reap_program
    echo "$1: closed; window gone after $gone ms, program ended after $ended ms with code $status"
    ((status == 0)) || e2e_fail "program ended with code $status ($1)"
}

# --- the main thread's round trips through a scene
"$bin/ping_reference" >"$work/reference.log" 2>&1 &
reference_pid=$!
e2e_on_exit 'e2e_stop_process "$reference_pid"'
reference=$(timeout 60 xdotool search --sync --onlyvisible --name '^Veldora ping reference$' | head -n 1) ||
    { echo "the reference window did not appear" >&2; exit 1; }
probe_pid=""
probe_scene=""
probe_began=0
# Starts the probe on the window and the reference; returns once the window has
# answered a ping.
probe_start() { # SCENE
    probe_scene=$1
    probe_began=$(now_ms)
    : >"$work/actions"
    "$bin/ping_probe" "$window" "$reference" >"$work/pings" 2>>"$work/probe.log" &
    probe_pid=$!
    e2e_wait_for 10 grep -q " $window\$" "$work/pings" || e2e_fail "$probe_scene: the window answered no ping"
}
# Notes an action of the scene, the time its round trips are printed against.
action() { echo "$(now_ms) $*" >>"$work/actions"; }
probe_stop() {
    [[ -n "$probe_pid" ]] || return 0
    kill -TERM "$probe_pid" 2>/dev/null || true
    wait "$probe_pid" 2>/dev/null || true
    probe_pid=""
}
e2e_on_exit probe_stop
# Ends the probe and judges the scene: prints its slowest round trip, and fails it on
# each stall (a row of pings more than 200 ms longer than the reference's of the same
# batch; a ping never answered counts with the time it waited), printed from the row's
# first ping.
probe_end() {
    local line
    probe_stop
    sort -n "$work/pings" | awk -v w="$window" '$4 == w' >"$work/pings.window"
    sort -n "$work/pings" | awk -v w="$reference" '$4 == w' >"$work/pings.reference"
    while IFS= read -r line; do
        case $line in
        SLOW*) e2e_fail "$probe_scene: ${line#SLOW }" ;;
        *) echo "$probe_scene: $line" ;;
        esac
    # Times count from the probe's start, small numbers that index exactly in awk.
    done < <(awk -v limit=200 -v actions="$work/actions" -v reference="$work/pings.reference" -v began="$probe_began" '
        function after(t,   i, found) {
            found = "the scene began"
            for (i = 1; i <= n; i++) if (at[i] <= t) found = sprintf("+%d ms after %s", t - at[i], what[i])
            return found
        }
        # The reference ping of the same batch: sent within a few milliseconds.
        function machine(t,   d) {
            for (d = 0; d <= 5; d++) {
                if ((t - d) in ref) return ref[t - d]
                if ((t + d) in ref) return ref[t + d]
            }
            return 0
        }
        { $1 -= began }
        FILENAME == actions { n++; at[n] = $1; $1 = ""; what[n] = substr($0, 2); next }
        FILENAME == reference { ref[$1] = $2; next }
        {
            pings++
            share = machine($1)
            if ($2 > worst) { worst = $2; worstAt = $1; worstShare = share }
            slow = $2 - share > limit
            if (slow && !inRow)
                printf "SLOW a round trip of %d ms%s (the reference window: %d ms), starting %s\n", $2,
                    ($3 == "unanswered" ? " (never answered)" : ""), share, after($1)
            if ($2 > limit && !slow) excused++
            inRow = slow
        }
        END {
            if (pings == 0) { print "SLOW no ping answered"; exit }
            printf "main thread round trips: %d pings, slowest %d ms (the reference window: %d ms), starting %s", pings, worst, worstShare, after(worstAt)
            if (excused > 0) printf "; %d over %d ms where the reference was as slow (the machine)", excused, limit
            printf "\n"
        }' "$work/actions" "$work/pings.reference" "$work/pings.window")
}


close_baseline() {
    start_program || return 1
    e2e_wait_for 60 is_tone || e2e_fail "no tone trace before the baseline close"
    close_and_reap "server answering"
    baseline=$ended
    baseline_gone=$gone
}

faults_each_route() {
    local scene=$1
    _faults_route() {
        local rc=0
        e2e_enter_route "$route" || rc=$?
        ((rc != 2)) || return 0
        ((rc == 0)) || { e2e_fail "server did not start"; return 0; }
        if make_sink; then
            play_tone
            "$scene" || true
        else
            e2e_fail "the null sink's monitor did not become the default source"
        fi
        e2e_stop_player
        e2e_stop_server
    }
    e2e_each_route _faults_route
}

faults_report() {
    route=all
    if ((failures > 0)); then
        tail -n 30 "$work"/veldora-*.log 2>/dev/null || true
        exit 1
    fi
    echo "$1: passed"
}
