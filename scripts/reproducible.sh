#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds SUITE's packages a second time from the same source package, as scripts/package.sh
# did, with what a build must not depend on changed as reprotest changes it, and fails
# unless every .deb and debug symbol package of both builds is bit for bit the other's.
# Changed for the second build:
#   the build path     /build/veldora-<upstream>  ->  /build/second/path/veldora-<upstream>
#   the build's user   sbuild                     ->  rebuilder (another name and id)
#   the clock          now                        ->  398 days ahead (faketime)
#   the time zone      UTC                        ->  GMT-14
#   the locale         C.UTF-8                    ->  et_EE.UTF-8 (another collation), LANGUAGE et:fr
#   the umask          022                        ->  002
#   HOME               /var/lib/sbuild            ->  /nonexistent/second-build
#   the host name      sbuild                     ->  veldora-second-build
#   the kernel version this machine's             ->  2.6.x (setarch --uname-2.6)
#   the CPU count      every CPU (nproc)          ->  one (taskset), one parallel job
#   the file order     the file system's own      ->  reverse name order: the source tree
#                                                     moves onto a tmpfs of its own, made
#                                                     in name order (tmpfs lists the
#                                                     newest entry first)
#   the compiler cache the first builds' one      ->  one of its own (so every object in
#                                                     it was compiled under these changes)
#   the tests          run (DEB_BUILD_OPTIONS)    ->  nocheck
# SOURCE_DATE_EPOCH comes from debian/changelog in both (dpkg-buildpackage sets it).
# reprotest varies the file order with disorderfs, a FUSE file system, which cannot be
# mounted where the build runs (/dev/fuse is root's alone on the host, and sbuild's build
# has no root of the host); a tmpfs can be, in the build's own namespaces.
#
# Both builds print what they ran with (scripts/sbuild-lib.sh, "build-env" lines in their
# logs): every one of the changes above that the build prints must differ from the first
# build's, or the check fails, as it fails when a package was made by one build only.
# On a difference diffoscope's report is kept beside the second build.
#
#   reproducible.sh SUITE [BUILD_DIR]    (default build-deb; SUITE trixie or bookworm)
#
# The second build goes to BUILD_DIR/SUITE-rebuild, kept when they differ (with
# diffoscope-PACKAGE.txt). Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE,VELDORA_REPRO_CPU bash "$0" "$@"
fi
suite=${1:?usage: reproducible.sh SUITE [BUILD_DIR]}
out=$(realpath "${2:-build-deb}")
first=$out/$suite
second=$out/$suite-rebuild
# shellcheck source=scripts/sbuild-lib.sh
source scripts/sbuild-lib.sh

[[ -s "$first/sbuild.out" ]] || { echo "no first $suite build in $first" >&2; exit 1; }
dsc=$(ls "$first"/veldora_*.dsc 2>/dev/null || ls "$out"/veldora_*.dsc)
upstream=$(sed -n 's/^Version: \(.*\)-[^-]*$/\1/p' "$dsc")
rm -rf "$second"
mkdir -p "$second"
ln -f "$dsc" "$(dirname "$dsc")"/veldora_*.tar.* "$second/" 2>/dev/null ||
    cp "$dsc" "$(dirname "$dsc")"/veldora_*.tar.* "$second/"
[[ -e "$second/veldora_$upstream.orig.tar.xz" ]] || cp "$out/veldora_$upstream.orig.tar.xz" "$second/"

# dpkg-buildpackage runs under this wrapper. sbuild starts it as root of the build's
# namespaces (its build user is root here): the wrapper sets the host name in the build's
# own UTS namespace, moves the source tree onto a tmpfs in another order, hands the build
# folder to the user rebuilder and becomes that user for the build. sbuild asks dpkg-buildpackage to --sanitize-env, which sets the umask
# and locale back to the usual ones: the wrapper drops that, as reprotest does, so that
# the build itself sees them changed.
wrapper=$(mktemp)
trap 'rm -f "$wrapper"' EXIT
cat >"$wrapper" <<'WRAP'
#!/bin/sh
set -e
hostname veldora-second-build
dir=$(pwd)
copy=$(mktemp -d /tmp/source.XXXXXX)
tar -C "$dir" -cf - . | tar -xpf - -C "$copy"
mount -t tmpfs -o mode=0755 veldora-file-order "$dir"
tar --sort=name -C "$copy" -cf - . | tar -xpf - -C "$dir"
rm -rf "$copy"
cd "$dir"
chown -R rebuilder:rebuilder "$(dirname "$dir")"
umask 002
export TZ=GMT-14 LANG=et_EE.UTF-8 LC_ALL=et_EE.UTF-8 LANGUAGE=et:fr HOME=/nonexistent/second-build \
    USER=rebuilder LOGNAME=rebuilder
program=$1
shift
for arg; do
    shift
    [ "$arg" = --sanitize-env ] || set -- "$@" "$arg"
done
exec setpriv --reuid=rebuilder --regid=rebuilder --init-groups \
    setarch "$(uname -m)" --uname-2.6 taskset -c @CPU@ faketime '+398 days' /opt/veldora-env/probe "$program" "$@"
WRAP
# The one CPU: VELDORA_REPRO_CPU (default 0), so that two of these builds side by side
# (scripts/test.sh) do not share one.
cpu=${VELDORA_REPRO_CPU:-0}
[[ "$cpu" =~ ^[0-9]+$ ]] && ((cpu < $(nproc))) || cpu=0
sed -i "s/@CPU@/$cpu/" "$wrapper"

start=$SECONDS
SBUILD_BUILD_USER=root SBUILD_CCACHE=ccache-rebuild SBUILD_ENV_WRAPPER=$wrapper SBUILD_JOBS=1 \
    SBUILD_SETUP="apt-get update -qq && apt-get install -y -qq --no-remove --no-install-recommends faketime locales && echo 'et_EE.UTF-8 UTF-8' >/etc/locale.gen && locale-gen && useradd --no-create-home --user-group rebuilder" \
    DEB_BUILD_OPTIONS=nocheck \
    veldora_sbuild "$suite" "$second/$(basename "$dsc")" "$second" "/build/second/path/veldora-$upstream"
echo "=== second $suite build: $((SECONDS - start)) s"

failed=0
# What each build ran with, side by side; every variation must have reached the second.
build_env() { grep -a '^build-env ' "$1/sbuild.out" | sed 's/^build-env //' || true; }
echo "What the builds ran with (first | second):"
varied=(path user date time-zone locale umask home host-name kernel cpus file-order)
for name in "${varied[@]}"; do
    a=$(build_env "$first" | sed -n "s/^$name: //p")
    b=$(build_env "$second" | sed -n "s/^$name: //p")
    verdict=changed
    if [[ -z "$a" || -z "$b" ]]; then
        verdict="NOT PRINTED"
    elif [[ "$a" == "$b" ]]; then
        verdict=SAME
    fi
    printf '  %-10s %s | %s   [%s]\n' "$name" "${a:0:60}" "${b:0:60}" "$verdict"
    if [[ "$verdict" != changed ]]; then
        echo "  the second build did not run with its $name changed"
        failed=1
    fi
done

# Every package either build made, by name.
count=0
while read -r name; do
    count=$((count + 1))
    a=$first/$name b=$second/$name
    if [[ ! -e "$a" || ! -e "$b" ]]; then
        echo "DIFFERS: $name was made by the $([[ -e "$a" ]] && echo first || echo second) build only"
        failed=1
    elif cmp -s "$a" "$b"; then
        echo "identical: $name $(sha256sum <"$a" | cut -c1-64)"
    else
        echo "DIFFERS: $name (diffoscope's report: $second/diffoscope-$name.txt)"
        failed=1
        diffoscope --no-progress --text "$second/diffoscope-$name.txt" "$a" "$b" >/dev/null 2>&1 || true
        head -n 60 "$second/diffoscope-$name.txt" || true
    fi
done < <(cd "$out" && find "$suite" "$suite-rebuild" -maxdepth 1 \( -name '*.deb' -o -name '*.ddeb' \) -printf '%f\n' | sort -u)
if [[ $count -eq 0 || $failed -ne 0 ]]; then
    echo "reproducible $suite: NO (second build kept in $second)"
    exit 1
fi
rm -rf "$second"
echo "reproducible $suite: yes, $count packages bit for bit the same"
