#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs Veldora on a test signal from a private sound session: a server of its own
# (PulseAudio where it is installed, else PipeWire) in a private runtime folder, a null
# sink whose monitor is that server's default source, and a player going through a sine,
# a square and a two-tone mix, a few seconds each, named on the terminal as they start.
# Only the program is routed there (its ALSA "default", through ALSA_CONFIG_PATH); the
# machine's own sound set-up is left alone. Whatever the script started is stopped by pid
# when the program ends, or when the script is interrupted.
#
#   demo.sh PROGRAM
set -euo pipefail
program=$(realpath "${1:?usage: demo.sh PROGRAM}")

# The program keeps the user's own environment (display, settings, home); the sound
# session's helpers give this script a private one.
keep=() drop=()
for v in HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME; do
    if [[ -n "${!v:-}" ]]; then keep+=("$v=${!v}"); else drop+=(-u "$v"); fi
done
user_runtime=${XDG_RUNTIME_DIR:-}

source "$(dirname "$0")/../tests/e2e/lib/session.sh"
e2e_make_workdir
# Without a runtime folder of the user's, the program takes the session's (Qt wants one).
[[ -n "$user_runtime" ]] || keep+=("XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR")
route=pulse
command -v pulseaudio >/dev/null || route=pw-pulse
e2e_start_server "$route" || { echo "the private sound session ($route) did not start" >&2; exit 1; }
e2e_capture_sink veldora_demo || { echo "the private sound session has no test source" >&2; exit 1; }

# Both servers answer the pulse protocol on this socket. The file is the program's whole
# ALSA configuration, so that neither the machine's nor the user's (~/.asoundrc) can
# route "default" elsewhere.
server="unix:$XDG_RUNTIME_DIR/pulse/native"
cat >"$E2E_WORK/alsa-route.conf" <<CONF
pcm.!default { type pulse server "$server" hint { show on description "Veldora's test signal" } }
ctl.!default { type pulse server "$server" }
CONF

raw="-t raw -r 48000 -e signed -b 16 -c 1 -"
seconds=4
exec 3>&1
e2e_play veldora_demo "while :; do
    echo 'Playing: 1 kHz sine, half scale' >&3
    sox -n $raw synth $seconds sine 1000 vol 0.5 2>/dev/null
    echo 'Playing: 500 Hz square, half scale' >&3
    sox -n $raw synth $seconds square 500 vol 0.5 2>/dev/null
    echo 'Playing: 1 kHz and 1.5 kHz sines mixed, half scale' >&3
    sox -n $raw synth $seconds sine 1000 synth $seconds sine mix 1500 vol 0.5 2>/dev/null
done" 50

echo "Veldora shows the test signal; close its window (or press Ctrl+C here) to end the demo."
e2e_on_exit e2e_stop_app
env "${drop[@]}" "${keep[@]}" ALSA_CONFIG_PATH="$E2E_WORK/alsa-route.conf" \
    "$program" &
app_pid=$!
status=0
wait "$app_pid" || status=$?
app_pid=""
exit "$status"
