#!/usr/bin/env bash
# Installs what is missing, builds Veldora and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DVELDORA_BENCH=OFF
cmake --build build --target veldora veldorasound veldora_backgrounds
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display to show the window on: run this in a desktop session, or under xvfb-run (xvfb-run bash scripts/run.sh)." >&2
    exit 1
fi
exec build/bin/veldora
