#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Server faults, first scene (lib/faults.sh): start-up to the first tone trace, then the
# player stopped and started 20 times, the trace following each time; then the close,
# with the server answering, ends the program with code 0.
# Usage: server_player.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh" "$@"

player_scene() {
    local started took i ms follows=0 worst_on=0 worst_off=0
    started=$(now_ms)
    start_program || return 0
    took=$(time_until 60 is_tone)
    [[ $took == timeout ]] && e2e_fail "no tone trace within 60 s of start-up" ||
        echo "start-up to first tone trace: $(($(now_ms) - started)) ms"
    (($(boxes) == 0)) || e2e_fail "an error box at start-up"
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
    close_and_reap "server answering"
}

faults_each_route player_scene
faults_report "player stopped and started"
