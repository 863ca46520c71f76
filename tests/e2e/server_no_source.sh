#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Server faults (lib/faults.sh): a server with no source: a message (PulseAudio) or an
# empty screen (PipeWire offers its dummy sink's monitor), no hang; Revers answers and
# the close ends the program with code 0.
# Usage: server_no_source.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh" "$@"

no_source_scene() {
    e2e_stop_player
    e2e_stop_server
    e2e_start_server "$route" >/dev/null || { e2e_fail "server did not start again"; return 0; }
    start_program || return 0
    probe=$(probe_cost)
    if [[ $route == pulse ]]; then
        # The daemon runs with nothing loaded but its protocol: no sink, no source.
        echo "no source: start-up error box shown: $start_box"
        ((start_box == 1)) || e2e_fail "no message without a source"
    else
        echo "no source of our own: PipeWire's dummy monitor"
    fi
    answers_then_closes "no source"
}

faults_each_route no_source_scene
faults_report "no source"
