#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Checks what scripts/package.sh built with Debian 13's lintian, pedantic, with its
# informational tags and their explanations: the source package, and the .changes of
# each release's build (its binary packages, debug symbols and .buildinfo), with the
# bookworm backport's own source package.
# lintian runs in a root of its own unpacked from scripts/debian-tarball.sh (trixie with
# lintian) and thrown away after, whatever release this machine runs. Fails on any error
# or warning; the tags overridden in debian/ are shown, each with its reason.
#
#   lintian.sh [BUILD_DIR]        (default build-deb)
#
# Writes BUILD_DIR/lintian.txt. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE bash "$0" "$@"
fi
out=$(realpath "${1:-build-deb}")
tarball=$(bash scripts/debian-tarball.sh trixie lintian)

root=$(mktemp -d /var/tmp/veldora-lintian.XXXXXX)
trap 'rm -rf "$root"' EXIT
tar -xf "$tarball" -C "$root"
mkdir -p "$root/work"
# Each release's files beside each other, as lintian finds a .changes' and a .dsc's parts.
cp -a "$out"/veldora_* "$root/work/"
checked=()
for f in "$out"/veldora_*.dsc; do checked+=("/work/$(basename "$f")"); done
for suite in trixie bookworm; do
    [[ -d "$out/$suite" ]] || continue
    mkdir -p "$root/work/$suite"
    cp -a "$out/$suite"/veldora[_-]* "$root/work/$suite/"
    for f in "$out/$suite"/veldora_*.dsc "$out/$suite"/veldora_*.changes; do
        [[ -e "$f" ]] && checked+=("/work/$suite/$(basename "$f")")
    done
done

echo "lintian $(chroot "$root" lintian --version | awk '{print $2}') (Debian 13) on: ${checked[*]}"
rc=0
# As nobody: lintian unpacks what it checks and runs nothing of it, but needs no root.
chmod -R a+rX "$root/work"
unshare --mount --pid --fork --propagation private -- chroot "$root" \
    runuser -u nobody -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp LANG=C.UTF-8 \
    lintian --pedantic --display-info --info --show-overrides --fail-on error,warning "${checked[@]}" |
    tee "$out/lintian.txt" || rc=$?
if [[ $rc -ne 0 ]]; then
    echo "lintian: errors or warnings (above)"
    exit 1
fi
echo "lintian: no error, no warning"
