#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Server faults (lib/faults.sh): the server frozen (SIGSTOP) for 10 s under a capturing
# program: Pause, Pause again and Revers answer at once throughout (any box the capture
# lost to the freeze shows), and closing the window, frozen still, ends the program as
# soon as with a server that answers, with code 0.
# Usage: server_frozen.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh" "$@"

frozen_scene() {
    local ms frozen_at freeze_s=10 worst=0
    close_baseline || return 0
    start_program || return 0
    e2e_wait_for 60 is_tone || e2e_fail "no tone trace before the freeze"
    probe=$(probe_cost)
    echo "observing a reaction costs up to $probe ms here (allowance: 200 ms + 2 x that)"

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
}

faults_each_route frozen_scene
faults_report "server frozen"
