#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Server faults (lib/faults.sh): frozen, then Pause, then thawed: a capture that the
# frozen server held up finishes, and Pause again captures the tone; the window answers
# throughout, and the close ends the program with code 0.
# Usage: server_frozen_thawed.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh" "$@"

thawed_scene() {
    local ms
    start_program || return 0
    e2e_wait_for 60 is_tone || e2e_fail "no tone trace before the freeze and thaw"
    probe=$(probe_cost)
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
}

faults_each_route thawed_scene
faults_report "frozen, Pause, thawed"
