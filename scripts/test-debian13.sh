#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs the README's test command on Debian 13 (trixie), whatever release this machine
# runs, inside a root of its own made with mmdebstrap from the Debian archive; without
# the packages, which the test command builds and checks in roots of their own for both
# releases wherever it runs.
#
# The root is kept between runs in $VELDORA_ROOT_CACHE (default /var/cache/veldora) and
# made again when it is missing or more than a week old. It is entered with a mount and
# pid namespace of its own (the machine's mounts are left alone) under tini as process 1,
# which reaps the daemons the tests kill. On the machine itself nothing is installed but
# mmdebstrap; the root's packages and builds stay in the root. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=CI,VELDORA_ROOT_CACHE,VELDORA_E2E_ROUTES,VELDORA_TSAN bash "$0" "$@"
fi

suite=trixie
cache=${VELDORA_ROOT_CACHE:-/var/cache/veldora}
root=$cache/$suite

# shellcheck source=scripts/debian-archive.sh
source scripts/debian-archive.sh
keep_root "$root" "$suite" "Debian 13 root" tini ca-certificates git procps

# The sources (with .git, so the layout check sees the tracked files); the root's own
# build folders stay, so a second run builds only what changed.
work=$root/veldora
mkdir -p "$work"
find "$work" -mindepth 1 -maxdepth 1 ! -name 'build-*' -exec rm -rf {} +
{ printf '.git\0'; git ls-files -z --cached --others --exclude-standard; } |
    tar --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -xf - -C "$work"

# Folders of earlier versions of this script that are no longer used.
rm -rf "$root/veldora-deb12"

cat /etc/resolv.conf >"$root/etc/resolv.conf"

# Inside the root: the README's test command. CI=true there always: the packages go
# into this private root, never onto the machine.
inside='
set -euo pipefail
cd /veldora
bash scripts/test.sh
'
enter_root "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    TERM="${TERM:-dumb}" CI=true ${VELDORA_E2E_ROUTES:+VELDORA_E2E_ROUTES="$VELDORA_E2E_ROUTES"} \
    ${VELDORA_TSAN:+VELDORA_TSAN="$VELDORA_TSAN"} VELDORA_PACKAGE=0 \
    bash -c "$inside"
