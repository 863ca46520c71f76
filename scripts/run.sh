#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what is missing, builds Veldora and starts it on this machine's default capture
# device. Where nothing can be captured (no sound server answers and there is no ALSA
# capture device), and always with --demo, the program runs on a private test signal
# instead (scripts/demo.sh); the machine's sound set-up is left alone either way.
#
#   run.sh [--demo]     VELDORA_BIN=<folder> runs the program built there, building nothing
set -euo pipefail
cd "$(dirname "$0")/.."
demo=0
case "${1:-}" in
--demo) demo=1 ;;
"") ;;
*) echo "usage: run.sh [--demo]" >&2; exit 2 ;;
esac

# What the program will open: ALSA's "default", which reaches a sound server when one
# answers (PulseAudio, or PipeWire's pulse or native socket), else the first card.
has_capture_source() {
    if command -v pactl >/dev/null; then
        timeout 5 pactl info >/dev/null 2>&1 && return 0
    elif [[ -n "${PULSE_SERVER:-}" || -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ]]; then
        return 0
    fi
    [[ -S "${XDG_RUNTIME_DIR:-/nonexistent}/pipewire-0" ]] && return 0
    compgen -G '/dev/snd/pcmC*D*c' >/dev/null
}
if ((demo == 0)) && ! has_capture_source; then
    echo "No sound server answers and there is no capture device: Veldora runs on a private test signal."
    demo=1
fi

if [[ -n "${VELDORA_BIN:-}" ]]; then
    bin=$VELDORA_BIN
else
    bash scripts/install-deps.sh $( ((demo)) && echo --demo)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DVELDORA_BENCH=OFF
    cmake --build build --target veldora veldorasound veldora_backgrounds
    bin=build/bin
fi
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display to show the window on: run this in a desktop session, or under xvfb-run (xvfb-run bash scripts/run.sh)." >&2
    exit 1
fi
((demo == 0)) || exec bash scripts/demo.sh "$bin/veldora"
exec "$bin/veldora"
