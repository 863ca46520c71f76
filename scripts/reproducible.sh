#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds SUITE's packages a second time from the same source package, as scripts/package.sh
# did, with what a build must not depend on changed, and fails unless every .deb (and
# debug symbol package) is bit for bit the first build's. Changed for the second build:
#   the build path     /build/veldora-<upstream>  ->  /build/second/path/veldora-<upstream>
#   the build's user   sbuild                     ->  rebuilder (another name and id)
#   the clock          now                        ->  398 days ahead (faketime)
#   the time zone      UTC                        ->  GMT-14
#   the locale         C.UTF-8                    ->  et_EE.UTF-8 (another collation), LANGUAGE et:fr
#   the umask          022                        ->  002
#   the compiler cache the first builds' one      ->  one of its own (so every object in
#                                                     it was compiled under these changes)
#   the tests          run (DEB_BUILD_OPTIONS)    ->  nocheck
# SOURCE_DATE_EPOCH comes from debian/changelog in both (dpkg-buildpackage sets it).
#
#   reproducible.sh SUITE [BUILD_DIR]    (default build-deb; SUITE trixie or bookworm)
#
# The second build goes to BUILD_DIR/SUITE-rebuild, kept when they differ. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE bash "$0" "$@"
fi
suite=${1:?usage: reproducible.sh SUITE [BUILD_DIR]}
out=$(realpath "${2:-build-deb}")
first=$out/$suite
second=$out/$suite-rebuild
# shellcheck source=scripts/sbuild-lib.sh
source scripts/sbuild-lib.sh

dsc=$(ls "$first"/veldora_*.dsc 2>/dev/null || ls "$out"/veldora_*.dsc)
upstream=$(sed -n 's/^Version: \(.*\)-[^-]*$/\1/p' "$dsc")
rm -rf "$second"
mkdir -p "$second"
ln -f "$dsc" "$(dirname "$dsc")"/veldora_*.tar.* "$second/" 2>/dev/null ||
    cp "$dsc" "$(dirname "$dsc")"/veldora_*.tar.* "$second/"
[[ -e "$second/veldora_$upstream.orig.tar.xz" ]] || cp "$out/veldora_$upstream.orig.tar.xz" "$second/"

# dpkg-buildpackage runs under this wrapper, bind-mounted into the build's root. sbuild
# asks it to --sanitize-env, which sets the umask and locale back to the usual ones: the
# wrapper drops that, as reprotest does, so that the build itself sees them changed.
wrapdir=$(mktemp -d)
trap 'rm -rf "$wrapdir"' EXIT
cat >"$wrapdir/wrap" <<'WRAP'
#!/bin/sh
umask 002
export TZ=GMT-14 LANG=et_EE.UTF-8 LC_ALL=et_EE.UTF-8 LANGUAGE=et:fr
program=$1
shift
for arg; do
    shift
    [ "$arg" = --sanitize-env ] || set -- "$@" "$arg"
done
exec faketime '+398 days' "$program" "$@"
WRAP
chmod 0755 "$wrapdir" "$wrapdir/wrap"

start=$SECONDS
SBUILD_BUILD_USER=rebuilder SBUILD_CCACHE=ccache-rebuild SBUILD_ENV_WRAPPER=$wrapdir \
    SBUILD_SETUP="apt-get update -qq && apt-get install -y -qq --no-remove --no-install-recommends faketime locales && echo 'et_EE.UTF-8 UTF-8' >/etc/locale.gen && locale-gen" \
    DEB_BUILD_OPTIONS=nocheck \
    veldora_sbuild "$suite" "$second/$(basename "$dsc")" "$second" "/build/second/path/veldora-$upstream"
echo "=== second $suite build: $((SECONDS - start)) s"

differ=0
count=0
for deb in "$first"/*.deb "$first"/*.ddeb; do
    [[ -e "$deb" ]] || continue
    other=$second/$(basename "$deb")
    count=$((count + 1))
    if [[ ! -e "$other" ]]; then
        echo "DIFFERS: $(basename "$deb") was not built the second time"
        differ=1
    elif cmp -s "$deb" "$other"; then
        echo "identical: $(basename "$deb") $(sha256sum <"$deb" | cut -c1-64)"
    else
        echo "DIFFERS: $(basename "$deb")"
        differ=1
        for d in "$deb" "$other"; do
            rm -rf "$d.x"
            dpkg-deb -R "$d" "$d.x"
        done
        diff -r "$deb.x" "$other.x" | head -n 40 || true
        diff <(dpkg-deb -c "$deb" | sed 's/^\(\S*\s*\S*\)\s*\S*/\1/') \
            <(dpkg-deb -c "$other" | sed 's/^\(\S*\s*\S*\)\s*\S*/\1/') | head -n 40 || true
        rm -rf "$deb.x" "$other.x"
    fi
done
if [[ $count -eq 0 || $differ -ne 0 ]]; then
    # What dwz made of each build's debug information: a difference there shows in the
    # stripped files too (their link to the shared debug file).
    grep -h -A2 'dh_dwz' "$first/sbuild.out" "$second/sbuild.out" || true
    echo "reproducible $suite: NO (second build kept in $second)"
    exit 1
fi
rm -rf "$second"
echo "reproducible $suite: yes, $count packages bit for bit the same"
