#!/usr/bin/env bash
# Real capture through the sound-service library: a private PulseAudio daemon, ALSA's
# "default" routed to it, a 1 kHz sine source, then a silent source, then no daemon
# at all; in between, the program's capture stream reads a tone played in real time.
# Usage: real_capture.sh <bin dir>
set -euo pipefail

bin=$(cd "${1:?usage: real_capture.sh <bin dir>}" && pwd)
tests="$bin/test_capture"
[[ -x "$tests" ]] || { echo "missing $tests" >&2; exit 1; }
command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 1; }

source "$(dirname "${BASH_SOURCE[0]}")/lib/session.sh"
e2e_make_workdir
work=$E2E_WORK
e2e_start_pulse

# Runs the named real-audio tests in one scene; all of them must run and pass.
run_scene() {
    local scene=$1 filter=$2 expected=$3 out
    echo "== scene: $scene"
    out=$(VELDORA_REAL_AUDIO=1 VELDORA_REAL_AUDIO_SCENE=$scene "$tests" --gtest_filter="$filter" 2>&1) || {
        echo "$out"
        echo "FAILED: scene $scene" >&2
        exit 1
    }
    echo "$out" | grep -E '^\[ +(OK|SKIPPED|FAILED) +\]|^(tone|silence|stream):' || true
    if echo "$out" | grep -q '\[  SKIPPED \]' || ! echo "$out" | grep -q "\[  PASSED  \] $expected test"; then
        echo "$out"
        echo "FAILED: scene $scene did not run its $expected tests" >&2
        exit 1
    fi
}

pactl load-module module-sine-source source_name=veldora_tone rate=48000 frequency=1000 >/dev/null
pactl set-default-source veldora_tone
run_scene tone "ServiceAlsaRealAudio.EnumerationListsTheDefaultAndTheServer:ServiceAlsaRealAudio.DefaultDeviceAcceptsEveryProbedFormat:ServiceAlsaRealAudio.CapturedToneIsTheSourcesSine" 3

# Silence: a null sink's monitor with nothing playing. The tone check must refuse it.
pactl load-module module-null-sink sink_name=veldora_quiet >/dev/null
pactl set-default-source veldora_quiet.monitor
run_scene silence "ServiceAlsaRealAudio.SilentSourceFailsTheToneCheck" 1

# Played: a sine of amplitude 0.5 played in real time into the null sink (the sine
# source above hands out its sound in bursts of seconds); the program's capture stream
# reads it through the library in blocking 1024-byte Reads. At 1025 Hz a lost or
# repeated 10 ms period shows as a broken phase (at 1000 Hz it would not). The player
# keeps 200 ms in hand, so that a moment without the CPU on a loaded machine does not
# starve the sink into silence.
# The 1 kHz tone itself is checked as well.
for played_hz in 1000 1025; do
    e2e_play veldora_quiet "sox -n -r 48000 -c 1 -b 16 -t raw - synth 60 sine $played_hz vol 0.5 2>/dev/null" 200
    sleep 0.5
    VELDORA_REAL_AUDIO_HZ=$played_hz run_scene played \
        "ServiceAlsaRealAudio.CapturedToneIsTheSourcesSine:ServiceAlsaStreamRealAudio.StreamReadsThePlayedTone" 2
    e2e_stop_player
done

# No daemon, and ALSA pointed at a card that does not exist.
e2e_stop_pulse
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
