#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Checks what scripts/package.sh built with lintian, pedantic, with its informational
# tags and their explanations: the source package, and the .changes of each release's
# build (its binary packages, debug symbols and .buildinfo), with the bookworm
# backport's own source package. Two lintians check the same files: Debian 13's, and
# unstable's, where uploads go and whose checks are the newest. Each runs in a root of
# its own unpacked from scripts/debian-tarball.sh (trixie or sid, with lintian) and
# thrown away after, whatever release this machine runs.
#
# Fails on any error or warning from either, and on anything missing: the build folder,
# the source package, a release's folder, its .changes or its .dsc. The tags overridden
# in debian/ are shown, each with its reason.
#
#   lintian.sh [BUILD_DIR [SUITE...]]     (default build-deb, trixie bookworm)
#
# Writes BUILD_DIR/lintian-trixie.txt and BUILD_DIR/lintian-sid.txt. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE bash "$0" "$@"
fi
out=${1:-build-deb}
shift || true
suites=("$@")
[[ ${#suites[@]} -gt 0 ]] || suites=(trixie bookworm)

missing() {
    echo "lintian: $1 is missing: nothing to check" >&2
    exit 1
}
[[ -d "$out" ]] || missing "the build folder $out"
out=$(realpath "$out")
# What must be there: one source package, and for each release its .changes (naming
# the binary packages and .buildinfo) and the .dsc it was built from.
one() {
    local found=()
    mapfile -t found < <(compgen -G "$1/$2" || true)
    [[ ${#found[@]} -gt 0 ]] || missing "$1/$2"
    [[ ${#found[@]} -eq 1 ]] || { echo "lintian: more than one $1/$2: ${found[*]}" >&2; exit 1; }
    echo "${found[0]#"$out"/}"
}
checked=("/work/$(one "$out" 'veldora_*.dsc')")
for suite in "${suites[@]}"; do
    [[ -d "$out/$suite" ]] || missing "the $suite build ($out/$suite)"
    checked+=("/work/$(one "$out/$suite" 'veldora_*.changes')")
    if [[ "$suite" == bookworm ]]; then
        checked+=("/work/$(one "$out/$suite" 'veldora_*.dsc')")
    fi
done
# Every file a .changes or .dsc names must be there too: lintian would say so only as
# a warning about the .changes, and check what is left.
for f in "${checked[@]}"; do
    dir=$(dirname "$out/${f#/work/}")
    while read -r name; do
        [[ -e "$dir/$name" ]] || missing "$dir/$name, named in $(basename "$f")"
    done < <(sed -n '/^Files:/,/^[^ ]/s/^ \S\+ \S\+\( \S\+ \S\+\)\? \(\S\+\)$/\2/p' "$out/${f#/work/}")
done

# lintian_in RELEASE LABEL: runs RELEASE's lintian on the files above, writes
# BUILD_DIR/lintian-RELEASE.txt, returns lintian's status.
lintian_in() {
    local release=$1 label=$2 tarball root rc=0
    tarball=$(bash scripts/debian-tarball.sh "$release" lintian)
    root=$(mktemp -d /var/tmp/veldora-lintian.XXXXXX)
    # shellcheck disable=SC2064 # this root's path, now
    trap "rm -rf --one-file-system '$root'" EXIT
    tar -xf "$tarball" -C "$root"
    mkdir -p "$root/work"
    # Each release's files beside each other, as lintian finds a .changes' and a .dsc's parts.
    cp -a "$out"/veldora_* "$root/work/"
    for suite in "${suites[@]}"; do
        mkdir -p "$root/work/$suite"
        cp -a "$out/$suite"/veldora[_-]* "$root/work/$suite/"
    done
    chmod -R a+rX "$root/work"
    echo "=== lintian $(chroot "$root" lintian --version | awk '{print $2}') ($label) on: ${checked[*]}"
    # As nobody: lintian unpacks what it checks and runs nothing of it, but needs no root.
    unshare --mount --pid --fork --propagation private -- chroot "$root" \
        runuser -u nobody -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp LANG=C.UTF-8 \
        lintian --pedantic --display-info --info --show-overrides --fail-on error,warning "${checked[@]}" |
        tee "$out/lintian-$release.txt" || rc=$?
    rm -rf --one-file-system "$root"
    trap - EXIT
    return "$rc"
}

failed=()
lintian_in trixie "Debian 13" || failed+=("Debian 13's")
lintian_in sid "unstable" || failed+=("unstable's")
if [[ ${#failed[@]} -ne 0 ]]; then
    echo "lintian: errors or warnings from ${failed[*]} (above)"
    exit 1
fi
echo "lintian: no error, no warning from Debian 13's or unstable's"
