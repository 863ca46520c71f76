#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Tries the installed Debian 12 backport once under Debian 12's GNOME Shell 43
# (tests/e2e/gnome_shell.sh), with XWayland, in a Debian 12 desktop root of the desktop
# scenes (scripts/desktop-scenes.sh). As root or with sudo:
#     VELDORA_SHOTS=/tmp/gnome43-shots bash scripts/try-gnome43.sh [PACKAGE.deb]
# PACKAGE.deb defaults to build-deb/bookworm/veldora_*_ARCH.deb (scripts/package.sh bookworm).
set -euo pipefail
cd "$(dirname "$0")/.."
export VELDORA_DESKTOP_SUITE=bookworm
exec bash scripts/desktop-scenes.sh "$@" gnome_shell
