#!/usr/bin/env bash
# Fails, naming the places, when a tracked C++ source is not laid out as .clang-format
# says. Mend with: git ls-files '*.cpp' '*.h' | xargs clang-format-14 -i
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror
echo "Layout: every source as .clang-format says"
