#!/usr/bin/env bash
# Installs what is missing, builds Veldora and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DVELDORA_BENCH=OFF
cmake --build build --target veldora veldorasound
exec build/bin/veldora
