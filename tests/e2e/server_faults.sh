#!/usr/bin/env bash
# A sound server that dies, freezes or comes back, on every sound stack this machine
# has (PulseAudio; PipeWire through ALSA's pulse plugin; PipeWire through its own ALSA
# plugin), with the real program on a virtual X display. Per route, one server session:
#   - start-up to the first tone trace;
#   - the player stopped and started 20 times: the trace follows each time;
#   - the server killed while capturing: one error box, the window answers Revers at
#     once; the server started again, Pause twice, the trace follows the tone again;
#   - the server frozen (SIGSTOP) for 10 s: Pause, Pause again and Revers answer at
#     once throughout, closing the window ends the program at once with code 0 (frozen
#     still, and after SIGCONT, when Pause again captures the tone); paused before the
#     freeze, the program still closes at once; the program started while it is frozen
#     comes up and answers;
#   - a server with no source: a message or an empty screen, no hang;
#   - churn: short lives of the program, each showing the tone, pressing Pause / Pause
#     again three times and closed, with the server answering, then frozen before the
#     Pauses (thawed after the program ended): each ends within 1 s with code 0 and no
#     sanitizer report, and its thread count before the close does not grow.
# Timings are printed; checks allow for a loaded machine: a reaction must come within
# 200 ms beyond what observing it costs here (measured in the same run), where the
# fault being guarded against held the window for seconds.
# Through every fault scene a probe (ping_probe, from the build) sends the window a
# _NET_WM_PING every 20 ms: a round trip through the X server and the program's main
# thread. It pings a plain Qt window of our own (ping_reference) in the same batch: what
# that one takes is the machine's share. A round trip more than 200 ms longer than the
# reference's fails the scene and is printed with its time after the scene's last
# action before it; each scene prints its slowest, beside the reference's then.
# Usage: server_faults.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes;
# VELDORA_E2E_CHURN_LIVES sets the churn's lives per state (5), VELDORA_E2E_CHURN_ONLY=1
# runs only the churn.
set -euo pipefail
bin=$(cd "${1:?usage: server_faults.sh <bin dir>}" && pwd)
[[ -x "$bin/veldora" ]] || { echo "missing $bin/veldora" >&2; exit 1; }
for tool in ping_probe ping_reference; do
    [[ -x "$bin/$tool" ]] || { echo "missing $bin/$tool" >&2; exit 1; }
done
for tool in pactl pacat sox Xvfb xdotool import python3; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
convert=/usr/bin/convert
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

E2E_CACHE=${E2E_CACHE:-$bin/../e2e-cache}
source "$here/lib/session.sh"
e2e_make_workdir
work=$E2E_WORK
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

# SCENE churn STATE LIVES: lives of the program with the server answering or "frozen"
# (SIGSTOP once the tone shows, SIGCONT once the program has ended). A bare Xvfb drops
# about one close request in five: the request is repeated each second, and the time
# counts from the first; the one that was answered is timed as well.
churn() {
    local state=$1 lives=$2 life pause threads first_threads="" mark first asked answered now took ended
    local clean=0 longest=0 counts="" paused_at boxes_seen
    for life in $(seq "$lives"); do
        mark=$(stat -c %s "$work/veldora-$route.log" 2>/dev/null || echo 0)
        # Without a session bus, libdbus's attempt to start one leaks a block that
        # LeakSanitizer takes about a second to symbolise at exit: no bus is no attempt.
        DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-disabled:} start_program || return 0
        e2e_wait_for 60 is_tone || e2e_fail "churn, $state, life $life: no tone trace"
        [[ $state == frozen ]] && e2e_freeze_server
        paused_at=$(now_ms)
        for pause in 1 2 3; do
            click_pause
            click_pause
        done
        # Revers answering shows that the clicks before it have been served.
        [[ $(revers_reaction) != timeout ]] || e2e_fail "churn, $state, life $life: the window did not answer"
        # Frozen, the capture the first Pause left waiting holds the device: a Start 2 s
        # later is answered with the message that the ring cannot be made, once.
        boxes_seen=0
        if [[ $state == frozen ]] && e2e_wait_for $((4 - ($(now_ms) - paused_at) / 1000)) box_shown; then
            boxes_seen=1
            answer_boxes || true
        fi
        threads=$(find "/proc/$app_pid/task" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
        counts+=" $threads"
        [[ -n "$first_threads" ]] || first_threads=$threads
        ((threads <= first_threads)) ||
            e2e_fail "churn, $state, life $life: $threads threads before the close, $first_threads in the first life"
        # Timed from when each request was sent.
        first=$(python3 "$here/lib/wm_delete.py" "$window" --time 2>/dev/null) || first=$(now_ms)
        asked=$first
        answered=$first
        while kill -0 "$app_pid" 2>/dev/null; do
            now=$(now_ms)
            ((now - first < 20000)) || break
            # A second after each request, the window and boxes are looked at: each look
            # takes a while, and the end is timed meanwhile.
            if ((now - asked >= 1000)); then
                if box_shown; then
                    answer_boxes || true
                elif ! main_window_gone; then
                    answered=$(python3 "$here/lib/wm_delete.py" "$window" --time 2>/dev/null) || answered=$(now_ms)
                fi
                asked=$(now_ms)
            fi
            sleep 0.01
        done
        ended=$(now_ms)
        reap_program
        [[ $state == frozen ]] && e2e_thaw_server
        took=$((ended - first))
        ((took > longest)) && longest=$took
        echo "churn, $state, life $life: $threads threads before the close, $boxes_seen message(s); ended $took ms after the first close request, $((ended - answered)) ms after the answered one, code $status"
        local problems=""
        ((status == 0)) || problems+=" code $status"
        ((ended - answered <= 1000)) || problems+=" ended $((ended - answered)) ms after its close request"
        if tail -c +"$((mark + 1))" "$work/veldora-$route.log" | grep -qE 'Sanitizer|runtime error'; then
            problems+=" a sanitizer report"
            tail -c +"$((mark + 1))" "$work/veldora-$route.log" | grep -E -A5 'Sanitizer|runtime error' | head -n 20
        fi
        if [[ -n "$problems" ]]; then
            e2e_fail "churn, $state, life $life:$problems"
        else
            clean=$((clean + 1))
        fi
    done
    echo "churn, $state: $clean of $lives lives clean, longest close $longest ms, threads before each close:$counts"
}

# --- one route
run_route() {
    local rc=0
    e2e_enter_route "$route" || rc=$?
    ((rc != 2)) || return 0
    ((rc == 0)) || { e2e_fail "server did not start"; return 0; }
    make_sink || { e2e_fail "the null sink's monitor did not become the default source"; return 0; }
    play_tone
    churn answering "${VELDORA_E2E_CHURN_LIVES:-5}"
    churn frozen "${VELDORA_E2E_CHURN_LIVES:-5}"
    if [[ -n "${VELDORA_E2E_CHURN_ONLY:-}" ]]; then
        e2e_stop_player
        e2e_stop_server
        return 0
    fi

    local started took probe i ms box_ms status
    started=$(now_ms)
    start_program || return 0
    took=$(time_until 60 is_tone)
    [[ $took == timeout ]] && e2e_fail "no tone trace within 60 s of start-up" ||
        echo "start-up to first tone trace: $(($(now_ms) - started)) ms"
    probe=$(probe_cost)
    echo "observing a reaction costs up to $probe ms here (allowance: 200 ms + 2 x that)"
    (($(boxes) == 0)) || e2e_fail "an error box at start-up"

    # Player stopped and started 20 times.
    local follows=0 worst_on=0 worst_off=0
    for i in $(seq 20); do
        play_zeros
        ms=$(time_until 20 is_flat)
        [[ $ms == timeout ]] && { e2e_fail "cycle $i: silence not shown"; break; }
        ((ms > worst_off)) && worst_off=$ms
        play_tone
        ms=$(time_until 20 is_tone)
        [[ $ms == timeout ]] && { e2e_fail "cycle $i: tone not shown"; break; }
        ((ms > worst_on)) && worst_on=$ms
        follows=$((follows + 1))
    done
    echo "player cycles followed: $follows of 20 (slowest: silence $worst_off ms, tone $worst_on ms)"

    # Closing with the server answering: what closing costs here (sanitizers included).
    local gone ended
    close_and_reap "server answering"
    local baseline=$ended baseline_gone=$gone
    start_program || return 0
    e2e_wait_for 60 is_tone || e2e_fail "no tone trace after the second start"

    # The server killed while capturing.
    probe_start "server killed"
    started=$(now_ms)
    action "the kill"
    e2e_kill_server
    box_ms=$(time_until 20 box_shown)
    action "the error box showed"
    echo "server killed: error box after $box_ms ms"
    if [[ $box_ms == timeout ]]; then
        e2e_fail "no error box after the server was killed"
    elif ((box_ms > 2000 + 2 * probe)); then
        e2e_fail "the error box came $box_ms ms after the server was killed (allowed: 2 s)"
    fi
    answer_boxes
    action "the box answered, Revers"
    ms=$(revers_reaction)
    echo "server gone: Revers answered after $ms ms"
    check_reaction "Revers with the server gone" "$ms" $((2 * probe))
    # No second box while the device stays gone (observed for 2 s).
    if e2e_wait_for 2 box_shown; then
        e2e_fail "a second error box while the server was gone"
        answer_boxes
    fi
    kill -0 "$app_pid" 2>/dev/null || e2e_fail "the program ended when the server died"
    probe_end

    # The server back: Pause twice, and the trace follows a played tone again.
    probe_start "server restarted"
    action "the restart"
    e2e_start_server "$route" >/dev/null || { e2e_fail "server did not start again"; return 0; }
    if ! make_sink; then
        # Seen on PipeWire after earlier sessions in the same run: the restarted session
        # manager never took the default; a whole new session (bus included) does.
        echo "restarted session did not take the default source; starting a new session"
        e2e_stop_server
        e2e_start_server "$route" >/dev/null || { e2e_fail "server did not start again"; return 0; }
        make_sink || { e2e_fail "after the restart, the null sink's monitor did not become the default source"; return 0; }
    fi
    play_zeros
    action "Pause twice"
    click_pause
    click_pause
    ms=$(time_until 30 is_flat)
    play_tone
    action "the tone played"
    ms=$(time_until 30 is_tone)
    echo "server back, Pause twice: tone trace after $ms ms"
    [[ $ms == timeout ]] && e2e_fail "the trace did not follow the tone after the server came back"
    (($(boxes) == 0)) || { e2e_fail "an error box after Pause twice"; answer_boxes; }
    probe_end

    # The server frozen for freeze_s seconds: Pause (stop), Pause (start) and Revers
    # answer at once, and the window goes on answering for as long as the freeze lasts
    # (Revers again and again, and any box the capture lost to the freeze shows).
    local frozen_at freeze_s=10 worst=0
    probe_start "server frozen"
    action "the freeze"
    e2e_freeze_server
    frozen_at=$(now_ms)
    action Pause
    click_pause
    ms=$(revers_reaction)
    echo "server frozen: Pause, then Revers answered after $ms ms"
    check_reaction "Pause with the server frozen" "$ms" $((2 * probe))
    action "Pause again"
    click_pause
    ms=$(revers_reaction)
    echo "server frozen: Pause again, then Revers answered after $ms ms"
    check_reaction "Pause again with the server frozen" "$ms" $((2 * probe))
    while (($(now_ms) - frozen_at < freeze_s * 1000)); do
        if box_shown; then
            echo "server frozen: a box showed $(($(now_ms) - frozen_at)) ms into the freeze"
            action "a box showed"
            answer_boxes || true # a start that failed on the frozen server may say so
        fi
        action Revers
        ms=$(revers_reaction 2)
        # A box that came just before the click holds it back (it is modal): not the
        # window's fault; the probe still sees whether the main thread answered.
        if [[ $ms == timeout ]] && box_shown; then
            continue
        fi
        check_reaction "Revers $(($(now_ms) - frozen_at)) ms into the freeze" "$ms" $((2 * probe))
        [[ $ms == timeout ]] || ((ms <= worst)) || worst=$ms
    done
    echo "server frozen for $freeze_s s: Revers answered within $worst ms throughout"
    answer_boxes
    probe_end

    # Closing with the server frozen: the program ends as soon as with a server that
    # answers, with code 0.
    close_and_reap "server frozen"
    # Tearing the program down (sanitizers included) takes seconds here whatever the
    # server does; a close that waited on the frozen server would not end at all.
    ((ended <= 3 * baseline + 2000)) ||
        e2e_fail "closing with the server frozen took $ended ms, $baseline ms with it answering"
    # The window itself goes as soon as with a server that answers.
    ((gone <= baseline_gone + 200 + 2 * probe)) ||
        e2e_fail "the window closed after $gone ms with the server frozen, $baseline_gone ms with it answering"
    e2e_thaw_server

    # Closed again after SIGCONT: a capture that the frozen server held up finishes;
    # Pause again then captures the tone.
    start_program || return 0
    e2e_wait_for 60 is_tone || e2e_fail "no tone trace before the freeze and thaw"
    probe_start "frozen, Pause, thawed"
    action "the freeze, Pause"
    e2e_freeze_server
    click_pause
    action Revers
    ms=$(revers_reaction)
    check_reaction "Revers with the server frozen after Pause" "$ms" $((2 * probe))
    action "the thaw"
    e2e_thaw_server
    action "Pause again"
    click_pause
    ms=$(time_until 30 is_tone)
    echo "frozen, Pause, thawed, Pause again: tone trace after $ms ms"
    [[ $ms == timeout ]] && e2e_fail "the trace did not follow the tone after the thaw"
    answer_boxes
    probe_end
    close_and_reap "frozen, Pause, thawed"

    # Paused while the server answers, then frozen: the capture has given its handle
    # back, and closing releases it without waiting on the frozen server.
    start_program || return 0
    e2e_wait_for 60 is_tone || e2e_fail "no tone trace before Pause and the freeze"
    probe_start "paused, then frozen"
    action Pause
    click_pause
    # Revers answered after the Pause: the main thread has run the Pause, which with
    # the server answering ends the capture at once.
    ms=$(revers_reaction)
    check_reaction "Revers after Pause" "$ms" $((2 * probe))
    action "the freeze, Revers"
    e2e_freeze_server
    ms=$(revers_reaction)
    check_reaction "Revers with the server frozen after Pause" "$ms" $((2 * probe))
    probe_end
    close_and_reap "paused, then frozen"
    ((ended <= 3 * baseline + 2000)) ||
        e2e_fail "closing paused with the server frozen took $ended ms, $baseline ms with it answering"
    e2e_thaw_server

    # Started with the server frozen: an open the server does not answer is given up,
    # and the window comes (with a message where the open waited on the server).
    e2e_freeze_server
    started=$(now_ms)
    start_program || { e2e_thaw_server; return 0; }
    echo "started with the server frozen: window after $(($(now_ms) - started)) ms, message shown: $start_box"
    answers_then_closes "started with the server frozen"
    e2e_thaw_server

    # No source at all.
    e2e_stop_player
    e2e_stop_server
    e2e_start_server "$route" >/dev/null || { e2e_fail "server did not start again"; return 0; }
    if [[ $route == pulse ]]; then
        # The daemon runs with nothing loaded but its protocol: no sink, no source.
        start_program || return 0
        echo "no source: start-up error box shown: $start_box"
        ((start_box == 1)) || e2e_fail "no message without a source"
    else
        # PipeWire always offers its dummy sink's monitor: the screen stays still.
        start_program || return 0
        echo "no source of our own: PipeWire's dummy monitor"
    fi
    answers_then_closes "no source"
    e2e_stop_server
}

e2e_each_route run_route
route=all
if ((failures > 0)); then
    tail -n 30 "$work"/veldora-*.log 2>/dev/null || true
    exit 1
fi
echo "server fault checks passed"
