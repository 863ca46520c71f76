#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs clang-tidy (.clang-tidy) over the program's own sources with the compile
# commands of a build folder (default build-asan); fails on any finding. The tests and
# benchmarks are not checked: they need not follow the program's rules.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-asan}"
[[ -f "$build/compile_commands.json" ]] || { echo "No $build/compile_commands.json: configure first" >&2; exit 1; }
# A source that passed before, exactly as it is now (scripts/tidy_unchanged.py), is not
# checked again: a second run checks only what changed.
if ! /usr/bin/python3 scripts/tidy_unchanged.py "$build" "^$PWD/(app|base|capture|display|storage)/.*\.cpp\$" "$(nproc)"; then
    echo "clang-tidy: findings above" >&2
    exit 1
fi
echo "clang-tidy: no findings ($(clang-tidy --version | grep -o "version [0-9.]*" | head -1))"
