#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Tries the installed Debian 13 package once under KDE Plasma's KWin (tests/e2e/kwin.sh),
# in the desktop scenes' root (scripts/desktop-scenes.sh), with KWin and XWayland added
# and KWin's Breeze decorations added to it. As root or with sudo:
#     VELDORA_SHOTS=/tmp/kwin-shots bash scripts/try-kwin.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
export VELDORA_DESKTOP_EXTRA="kwin-wayland kwin-style-breeze xwayland ${VELDORA_DESKTOP_EXTRA:-}"
exec bash scripts/desktop-scenes.sh "$@" kwin
