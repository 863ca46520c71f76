#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Server faults (lib/faults.sh), churn: short lives of the program, each showing the
# tone, pressing Pause / Pause again three times and closed, with the server answering,
# then frozen before the Pauses (thawed after the program ended). Each life:
#   - counts its threads (/proc/PID/task) once the tone shows, after each Pause pair and
#     before the close: none piles up within the life (frozen, the one capture that the
#     first Pause left waiting on the server is allowed);
#   - shows the message that the ring cannot be made exactly once when frozen (through
#     ALSA's pulse plugin, whose drop waits on the server; PipeWire's own plugin drops
#     without waiting, and no message comes), never when answering;
#   - ends within 2 s of the close request its window took, with code 0 and no
#     sanitizer report. 2 s is the bound of any wait on the server: a close that waits
#     it out even once fails, whatever the machine's load adds below it (an ASan build's
#     answered close takes 0.2 to 0.8 s here, and up to 1.5 s on a loaded machine). A bare Xvfb has Qt drop about one close request in five: a probe
#     (ping_probe) pings the window through the close, and a request is sent again only
#     when the window is still there a second later and has answered a ping sent after
#     the request, that is, its main thread runs and did not take it. A main thread that
#     stalls answers no ping, gets no second request, and its close counts from the one
#     it took.
# A table row per life; VELDORA_E2E_CHURN_LIVES sets the lives per state (5).
# Usage: server_churn.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh" "$@"

close_bound_ms=2000
task_count() { find "/proc/$app_pid/task" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }
threads_at_most() { (($(task_count) <= $1)); }
most=0
note_threads() {
    local n
    n=$(task_count)
    ((n > most)) && most=$n
    return 0
}

# Sends the window a close request; sets `sent`, when it went (ms since the epoch).
request_close() {
    sent=$(python3 "$here/lib/wm_delete.py" "$window" --time 2>/dev/null) || sent=$(now_ms)
    requests=$((requests + 1))
}
# The window's main thread has answered a ping sent after the last request.
answered_since_request() { awk -v s="$sent" '$3 == "answered" && $1 >= s { found = 1 } END { exit !found }' "$work/close-pings"; }

close_pinged() {
    : >"$work/close-pings"
    "$bin/ping_probe" -i 50 "$window" >"$work/close-pings" 2>>"$work/probe.log" &
    close_probe=$!
    e2e_wait_for 10 grep -q answered "$work/close-pings" || e2e_fail "churn, $state, life $life: the window answered no ping"
    requests=0
    request_close
    gone_at=""
    while kill -0 "$app_pid" 2>/dev/null; do
        (($(now_ms) - sent < 20000)) || break
        if [[ -z "$gone_at" ]] && main_window_gone; then
            gone_at=$(now_ms)
        elif box_shown; then
            # A late message is modal and holds the close back, as it would a user's.
            boxes_seen=$((boxes_seen + 1))
            answer_boxes || true
            main_window_gone || request_close
        elif (($(now_ms) - sent >= 1000)) && ! main_window_gone && answered_since_request; then
            request_close # dropped: the main thread runs and the window is still there
        fi
        sleep 0.01
    done
    ended=$(now_ms)
    [[ -n "$gone_at" ]] || gone_at=$ended
    e2e_stop_process "$close_probe"
    close_probe=""
}
close_probe=""
e2e_on_exit 'e2e_stop_process "$close_probe"'

# churn STATE LIVES
churn() {
    state=$1
    local lives=$2 pause first allowed settled took clean=0 longest=0 mark paused_at expected
    # Through ALSA's pulse plugin a frozen server holds the first Pause's drop, and the
    # message comes once; PipeWire's own ALSA plugin drops without it, and none comes.
    expected=0
    [[ $state == frozen && $route != pw-alsa ]] && expected=1
    for life in $(seq "$lives"); do
        mark=$(stat -c %s "$work/veldora-$route.log" 2>/dev/null || echo 0)
        # Without a session bus, libdbus's attempt to start one leaks a block that
        # LeakSanitizer takes about a second to symbolise at exit: no bus is no attempt.
        DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-disabled:} start_program || return 0
        e2e_wait_for 60 is_tone || e2e_fail "churn, $state, life $life: no tone trace"
        first=$(task_count)
        most=$first
        [[ $state == frozen ]] && e2e_freeze_server
        paused_at=$(now_ms)
        for pause in 1 2 3; do
            click_pause
            click_pause
            note_threads
        done
        note_threads
        # Frozen, the capture the first Pause left waiting holds the device: a Start 2 s
        # after it is answered with the message that the ring cannot be made, once. The
        # message is modal: it is answered before Revers is clicked.
        boxes_seen=0
        if [[ $state == frozen ]] && e2e_wait_for 10 box_shown; then
            boxes_seen=1
            echo "churn, $state, life $life: the message within $(($(now_ms) - paused_at)) ms of the first Pause"
            answer_boxes || true
        fi
        # Revers answering shows that the clicks before it have been served.
        [[ $(revers_reaction) != timeout ]] || e2e_fail "churn, $state, life $life: the window did not answer"
        note_threads
        allowed=$first
        [[ $state == frozen ]] && allowed=$((first + 1))
        e2e_wait_for 10 threads_at_most "$allowed" ||
            e2e_fail "churn, $state, life $life: $(task_count) threads before the close, $first once the tone showed"
        settled=$(task_count)
        close_pinged
        reap_program
        [[ $state == frozen ]] && e2e_thaw_server
        took=$((ended - sent))
        ((took > longest)) && longest=$took
        printf '%-22s %-9s %4s %9s %8s %8s %11s %8s %4s\n' "churn row [$route]" "$state" "$life" \
            "$first/$most/$settled" "$boxes_seen" "$requests" "$((gone_at - sent))" "$took" "$status"
        local problems=""
        ((status == 0)) || problems+=" code $status"
        ((took < close_bound_ms)) || problems+=" ended $took ms after the close request its window took"
        ((boxes_seen == expected)) || problems+=" $boxes_seen message(s), $expected expected"
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
    echo "churn, $state: $clean of $lives lives clean, longest close $longest ms after the request taken"
}

churn_scene() {
    printf '%-22s %-9s %4s %9s %8s %8s %11s %8s %4s\n' "churn row [route]" state life \
        "threads*" messages requests "window gone" "ended" code
    churn answering "${VELDORA_E2E_CHURN_LIVES:-5}"
    churn frozen "${VELDORA_E2E_CHURN_LIVES:-5}"
    echo "* threads: once the tone showed / most within the life / before the close;" \
        "window gone and ended: ms after the close request the window took"
}

faults_each_route churn_scene
faults_report "churn"
