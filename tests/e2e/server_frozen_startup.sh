#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Server faults (lib/faults.sh): the program started while the server is frozen. Start-up
# opens the device on the main thread (its only caller), and the open gives up on a
# server that does not answer after its bound (2 s): the device's message and then the
# window come within that bound of a start-up with the server answering (no message on
# pw-alsa, whose open does not wait), the window answers, and the close ends the program
# with code 0.
# Usage: server_frozen_startup.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh" "$@"

open_bound_ms=2000
# Slack for a loaded machine, below what a second wait on the server would add.
slack_ms=1800

# Starts the program and sets box_ms, the milliseconds until the first box ("none" when
# the window came first), and window_ms, until the main window; answers boxes on the way.
box_ms=none
window_ms=0
timed_start() {
    local started
    started=$(now_ms)
    box_ms=none
    e2e_run_program "$work/app/veldora" >>"$work/veldora-$route.log" 2>&1 &
    app_pid=$!
    window=""
    while [[ -z "$window" ]] && (($(now_ms) - started < 60000)); do
        window=$(e2e_find_main_window) || true
        if [[ -z "$window" ]] && box_shown; then
            [[ $box_ms != none ]] || box_ms=$(($(now_ms) - started))
            answer_boxes
        fi
        [[ -n "$window" ]] || sleep 0.05
    done
    window_ms=$(($(now_ms) - started))
    [[ -n "$window" ]]
}

# Sets baseline_ms to the slower of it and a start-up with the server answering.
baseline_ms=0
answered_start() {
    timed_start || { e2e_fail "main window did not appear"; return 1; }
    echo "started with the server answering: window after $window_ms ms, message: $box_ms"
    [[ $box_ms == none ]] || e2e_fail "a message at start-up with the server answering"
    ((window_ms <= baseline_ms)) || baseline_ms=$window_ms
    probe=$(probe_cost)
    close_and_reap "started with the server answering"
}

frozen_startup_scene() {
    local bound
    # Start-up's own cost varies with the machine's load: the slower of two.
    answered_start || return 0
    answered_start || return 0

    e2e_freeze_server
    timed_start || { e2e_fail "main window did not appear with the server frozen"; e2e_thaw_server; return 0; }
    bound=$((baseline_ms + open_bound_ms + slack_ms))
    echo "started with the server frozen: message after $box_ms ms, window after $window_ms ms (bound $bound ms)"
    if [[ $route == pw-alsa ]]; then
        # PipeWire's own plugin opens without waiting on the server: the capture just
        # finds no data, as in the other frozen scenes there.
        [[ $box_ms == none ]] || e2e_fail "a message at start-up on pw-alsa, whose open does not wait"
    elif [[ $box_ms == none ]]; then
        e2e_fail "no message when started with the server frozen"
    elif ((box_ms > bound)); then
        e2e_fail "the message came $box_ms ms into start-up with the server frozen (bound $bound ms)"
    fi
    # The window follows once the message is answered, which the script does at once.
    ((window_ms <= bound + slack_ms)) ||
        e2e_fail "the window came $window_ms ms into start-up with the server frozen (bound $bound ms)"
    answers_then_closes "started with the server frozen"
    e2e_thaw_server
}

faults_each_route frozen_startup_scene
faults_report "started with the server frozen"
