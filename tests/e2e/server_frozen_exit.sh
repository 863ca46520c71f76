#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Server faults (lib/faults.sh): the program's end without unloading. Paused while the
# server is frozen, a capture stays inside the server; the close then ends the program
# on purpose without destructors or unloading (it says so on the terminal), and without
# the sanitizers' exit checks. What that leaves is checked instead: exit code 0, no file
# the program made in the session's folders, and once the server is thawed no record
# stream or client of the program's on it.
# Usage: server_frozen_exit.sh <bin dir>. VELDORA_E2E_ROUTES narrows the routes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh" "$@"

# The session's files, less the state that WirePlumber itself saves in the private home.
session_files() {
    find "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/app" -xdev 2>/dev/null |
        grep -v "^$HOME/.local/state/wireplumber" | sort
}
streams_of_ours() { pactl list short source-outputs 2>/dev/null | wc -l; }
no_stream_of_ours() { (($(streams_of_ours) == 0)) && ! pactl list clients 2>/dev/null | grep -qi veldora; }

exit_scene() {
    local mark ms
    # PipeWire's own ALSA plugin drops a capture without waiting on a frozen server (the
    # churn scene sees no message there), so no thread is left inside it at the close.
    if [[ $route == pw-alsa ]]; then
        echo "pw-alsa: nothing waits on the frozen server at the close; the scene needs a route that does"
        return 0
    fi
    session_files >"$work/files-before"
    mark=$(stat -c %s "$work/veldora-$route.log" 2>/dev/null || echo 0)
    start_program || return 0
    e2e_wait_for 60 is_tone || e2e_fail "no tone trace before the freeze"
    e2e_freeze_server
    click_pause
    ms=$(revers_reaction)
    [[ $ms != timeout ]] || e2e_fail "the window did not answer after Pause with the server frozen"
    close_and_reap "paused on a frozen server"
    if tail -c +"$((mark + 1))" "$work/veldora-$route.log" | grep -q 'ending without waiting for it'; then
        echo "the program ended without unloading, as a thread was still inside the frozen server"
    else
        e2e_fail "the program did not take its end without unloading"
    fi
    e2e_thaw_server
    if e2e_wait_for 20 no_stream_of_ours; then
        echo "thawed: no record stream or client of the program's left on the server"
    else
        e2e_fail "thawed: $(streams_of_ours) record stream(s) left on the server"
        pactl list source-outputs 2>/dev/null | head -n 30 || true
    fi
    session_files >"$work/files-after"
    local left
    left=$(comm -13 "$work/files-before" "$work/files-after")
    if [[ -n "$left" ]]; then
        e2e_fail "files left behind: $(echo "$left" | tr '\n' ' ')"
    else
        echo "no file left behind in the session's folders"
    fi
}

faults_each_route exit_scene
faults_report "the end without unloading"
