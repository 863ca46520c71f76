#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Every file of the tree says its copyright and licence, as the REUSE convention has it
# (SPDX tags in the file itself, or REUSE.toml for the few that cannot carry them:
# `reuse lint`), and debian/copyright gives each file the licence its tags name
# (licenserecon's `lrc`, which compares debian/copyright with licensecheck).
# reuse reads REUSE.toml from version 4 on and licenserecon is packaged from Debian 13
# on: on an older release the check says so, and CI runs it on Debian 13.
set -euo pipefail
cd "$(dirname "$0")/.."

reuse=$(dpkg-query -W -f='${Version}' reuse 2>/dev/null || true)
if ! dpkg --compare-versions "${reuse:-0}" ge 4 || ! command -v lrc >/dev/null; then
    echo "licences: not checked on Debian $(cat /etc/debian_version) (reuse ${reuse:-missing}," \
        "licenserecon $(command -v lrc >/dev/null && echo present || echo missing)); CI checks them on Debian 13"
    exit 0
fi
reuse lint
# lrc wants a clean source tree: it runs licensecheck over every file below it, and the
# build folders (sanitizer builds, package roots) hold many thousands that are no part
# of the sources. It reads the files git would ship, copied to a folder of their own.
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$tree"
(cd "$tree" && lrc)
echo "licences: reuse lint passed, and debian/copyright agrees with every file's own licence"
