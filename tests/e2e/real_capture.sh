#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Real capture through the sound-service library, on every sound stack this machine has
# (see e2e_routes): ALSA's "default" routed to the route's server; a 1 kHz sine source
# (PulseAudio only: PipeWire has none), then a silent source, then a tone played in real
# time that the program's capture stream reads; last, no server at all.
# Usage: real_capture.sh <bin dir>
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/lib/session.sh"
e2e_begin "${1:-}" test_capture
tests="$bin/test_capture"

# Runs the named real-audio tests in one scene; all of them must run and pass.
run_scene() {
    local scene=$1 filter=$2 expected=$3 out
    echo "== [$route] scene: $scene"
    out=$(VELDORA_REAL_AUDIO=1 VELDORA_REAL_AUDIO_SCENE=$scene e2e_run_program "$tests" --gtest_filter="$filter" 2>&1) || {
        echo "$out"
        echo "FAILED: [$route] scene $scene" >&2
        exit 1
    }
    echo "$out" | grep -E '^\[ +(OK|SKIPPED|FAILED) +\]|^(tone|silence|stream):' || true
    if echo "$out" | grep -q '\[  SKIPPED \]' || ! echo "$out" | grep -q "\[  PASSED  \] $expected test"; then
        echo "$out"
        echo "FAILED: [$route] scene $scene did not run its $expected tests" >&2
        exit 1
    fi
}

device_tests="ServiceAlsaRealAudio.EnumerationListsTheDefaultAndTheServer:ServiceAlsaRealAudio.DefaultDeviceAcceptsEveryProbedFormat"
run_route() {
    local rc=0 silence_tests silence_count played_hz
    e2e_enter_route "$route" || rc=$?
    ((rc != 2)) || return 0
    ((rc == 0)) || exit 1

    if [[ $route == pulse ]]; then
        pactl load-module module-sine-source source_name=veldora_tone rate=48000 frequency=1000 >/dev/null
        e2e_set_default_source veldora_tone
        run_scene tone "$device_tests:ServiceAlsaRealAudio.CapturedToneIsTheSourcesSine" 3
        silence_tests=ServiceAlsaRealAudio.SilentSourceFailsTheToneCheck
        silence_count=1
    else
        silence_tests="$device_tests:ServiceAlsaRealAudio.SilentSourceFailsTheToneCheck"
        silence_count=3
    fi

    # Silence: a null sink's monitor with nothing playing. The tone check must refuse it.
    e2e_capture_sink veldora_quiet
    run_scene silence "$silence_tests" "$silence_count"

    # Played: a sine of amplitude 0.5 played in real time into the null sink; the
    # program's capture stream reads it through the library in blocking 1024-byte Reads.
    # At 1025 Hz a lost or repeated 10 ms period shows as a broken phase (at 1000 Hz it
    # would not). The player keeps 200 ms in hand, so that a moment without the CPU on a
    # loaded machine does not starve the sink into silence.
    for played_hz in 1000 1025; do
        e2e_play veldora_quiet "sox -n -r 48000 -c 1 -b 16 -t raw - synth 60 sine $played_hz vol 0.5 2>/dev/null" 200
        VELDORA_REAL_AUDIO_HZ=$played_hz run_scene played \
            "ServiceAlsaRealAudio.CapturedToneIsTheSourcesSine:ServiceAlsaStreamRealAudio.StreamReadsThePlayedTone" 2
        e2e_stop_player
    done
    e2e_stop_server
}
e2e_each_route run_route

# No server, and ALSA pointed at a card that does not exist.
route=none
rm -f "$HOME/.asoundrc"
cat >"$work/asound.conf" <<'CONF'
pcm.default { type hw card 63 device 0 }
ctl.default { type hw card 63 }
pcm.null { type null }
CONF
noserver_tests="ServiceAlsaRealAudio.NoServerMeansNoDefaultDevice:ServiceAlsaStreamRealAudio.NoDeviceAndNoLibraryGiveTheProgramsMessages"
ALSA_CONFIG_PATH="$work/asound.conf" run_scene noserver "$noserver_tests" 2
# Without a card, the machine's own configuration must give the same answer.
if grep -q 'no soundcards' /proc/asound/cards 2>/dev/null || [[ ! -e /proc/asound/cards ]]; then
    run_scene noserver "$noserver_tests" 2
fi
echo "real capture: all scenes passed"
