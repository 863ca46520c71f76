#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Fails, naming the places, when a tracked C++ source is not laid out as .clang-format
# says. Mend with: git ls-files '*.cpp' '*.h' | xargs clang-format -i
# The release's own clang-format: 14 (Debian 12) and 19 (Debian 13) agree on this tree.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "Layout: every source as .clang-format says ($(clang-format --version | grep -o 'version [0-9.]*'))"
