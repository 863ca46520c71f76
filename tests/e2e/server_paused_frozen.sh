#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Server faults (lib/faults.sh): paused while the server answers, then frozen: the
# capture has given its handle back, the window answers, and closing releases the
# device without waiting on the frozen server.
# Usage: server_paused_frozen.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh" "$@"

paused_scene() {
    local ms
    close_baseline || return 0
    start_program || return 0
    e2e_wait_for 60 is_tone || e2e_fail "no tone trace before Pause and the freeze"
    probe=$(probe_cost)
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
}

faults_each_route paused_scene
faults_report "paused, then frozen"
