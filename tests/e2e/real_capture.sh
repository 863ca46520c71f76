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

# A daemon this script started in an earlier run that never reached its trap.
stale="${TMPDIR:-/tmp}/veldora-real-capture.pulse.pid"
if [[ -f "$stale" ]]; then
    old=$(cat "$stale")
    if [[ -n "$old" ]] && grep -qa pulseaudio "/proc/$old/cmdline" 2>/dev/null; then
        echo "stopping stale daemon $old"
        kill "$old" 2>/dev/null || true
    fi
    rm -f "$stale"
fi

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
daemon=""

stop_daemon() {
    [[ -n "$daemon" ]] || return 0
    pulseaudio --kill 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$daemon" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$daemon" 2>/dev/null || true
    daemon=""
    rm -f "$stale"
}
cleanup() {
    stop_daemon
    rm -rf "$work"
}
trap cleanup EXIT

pulseaudio -D -n --exit-idle-time=-1 --enable-memfd=no --load=module-native-protocol-unix \
    --log-target="file:$work/pulse.log"
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
pactl info >/dev/null || { echo "PulseAudio did not answer" >&2; cat "$work/pulse.log" >&2; exit 1; }
daemon=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
echo "$daemon" >"$stale"

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

# Played: a 1 kHz sine of amplitude 0.5 played in real time into the null sink (the
# sine source above hands out its sound in bursts of seconds); the program's capture
# stream reads it through the library in blocking 1024-byte Reads.
sox -n -r 48000 -c 1 -b 16 -t raw - synth 60 sine 1000 vol 0.5 2>/dev/null |
    pacat --raw --rate=48000 --channels=1 --format=s16le --latency-msec=20 -d veldora_quiet &
player=$!
sleep 0.5
run_scene played "ServiceAlsaRealAudio.CapturedToneIsTheSourcesSine:ServiceAlsaStreamRealAudio.StreamReadsThePlayedTone" 2
kill "$player" 2>/dev/null || true
wait "$player" 2>/dev/null || true

# No daemon, and ALSA pointed at a card that does not exist.
stop_daemon
cat >"$work/asound.conf" <<'CONF'
pcm.default { type hw card 63 device 0 }
ctl.default { type hw card 63 }
pcm.null { type null }
CONF
ALSA_CONFIG_PATH="$work/asound.conf" run_scene noserver "ServiceAlsaRealAudio.NoServerMeansNoDefaultDevice" 1
# Without a card, the machine's own configuration must give the same answer.
if grep -q 'no soundcards' /proc/asound/cards 2>/dev/null || [[ ! -e /proc/asound/cards ]]; then
    run_scene noserver "ServiceAlsaRealAudio.NoServerMeansNoDefaultDevice" 1
fi
echo "real capture: all scenes passed"
