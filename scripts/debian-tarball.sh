#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Prints the path of a clean Debian root for SUITE (bookworm, trixie, sid) as a tarball, made
# with mmdebstrap (variant buildd: essential packages and build-essential) from the
# archive this machine's apt sources name. sbuild and autopkgtest unpack it afresh for
# every build and every testbed through their unshare back-ends, so it is never changed.
#
# Kept in $VELDORA_ROOT_CACHE/tarballs (default /var/cache/veldora), made again when
# missing or more than a week old; one maker at a time per suite. Needs root (or sudo).
#
#   debian-tarball.sh [--arch ARCH | --cross] SUITE [PACKAGE...]
#
# With PACKAGEs, a root that has them installed as well (a tool's own root, say
# trixie's lintian), kept as SUITE+PACKAGE+....tar. With --arch, a root of that
# architecture (an arm64 testbed, say), kept as SUITE-ARCH....tar; its programs run
# through qemu-user (scripts/binfmt-lib.sh) while it is made. With --cross, the root
# that cross builds for any architecture of SUITE start from: the same as SUITE's own
# unless a source lacks some architecture (debian_cross_sources), then kept as
# SUITE-cross.tar without that source.
set -euo pipefail
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE bash "$0" "$@"
fi
arch=""
cross=0
if [[ ${1:-} == --cross ]]; then
    cross=1
    shift
elif [[ ${1:-} == --arch ]]; then
    arch=${2:?usage: debian-tarball.sh [--arch ARCH] SUITE [PACKAGE...]}
    shift 2
    [[ $arch != "$(dpkg --print-architecture)" ]] || arch=""
fi
suite=${1:?usage: debian-tarball.sh [--arch ARCH] SUITE [PACKAGE...]}
shift
extra=("$@")

cd "$(dirname "$0")/.."
# shellcheck source=scripts/debian-archive.sh
source scripts/debian-archive.sh
need_mmdebstrap
mapfile -t sources < <(debian_sources "$suite")

cache=${VELDORA_ROOT_CACHE:-/var/cache/veldora}/tarballs
name=$suite${arch:+-$arch}
if ((cross)); then
    mapfile -t cross_sources < <(debian_cross_sources "$suite")
    [[ ${#cross_sources[@]} -gt 0 ]] || exit 1
    if [[ "${cross_sources[*]}" != "${sources[*]}" ]]; then
        sources=("${cross_sources[@]}")
        name+=-cross
    fi
fi
for p in "${extra[@]}"; do name+=+$p; done
tarball=$cache/$name.tar
max_age_days=7
# The unshare back-ends map root's ids onto a range of its own: one, added once, beside
# whatever ranges the machine already gives.
for f in /etc/subuid /etc/subgid; do
    grep -q '^root:' "$f" 2>/dev/null || echo "root:1000000:65536" >>"$f"
done

mkdir -p "$cache"
exec 9>"$cache/$name.lock"
flock 9

if [[ ! -f "$tarball" || -n "$(find "$tarball" -mtime +"$max_age_days")" ]]; then
    echo "Making a clean $suite root in $tarball from $(debian_archive)" >&2
    include=()
    [[ ${#extra[@]} -gt 0 ]] && include=(--include="$(IFS=,; echo "${extra[*]}")")
    # Unstable's Release file is valid for a week only; an archive mirrored less often
    # (this machine's may be a copy) serves one past that date, which apt refuses.
    [[ "$suite" == sid || "$suite" == unstable ]] && include+=(--aptopt='Acquire::Check-Valid-Until "false"')
    if [[ -n $arch ]]; then
        # shellcheck source=scripts/binfmt-lib.sh
        source scripts/binfmt-lib.sh
        work=$(mktemp -d)
        trap 'binfmt_release >&2; rm -rf "$work"' EXIT
        binfmt_for "$arch" "$work" >&2
        # mmdebstrap checks with it that the architecture's programs run.
        command -v arch-test >/dev/null ||
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-remove arch-test >&2
        include+=(--architectures="$arch" --skip=check/qemu)
    fi
    mmdebstrap --mode=unshare --variant=buildd --quiet "${include[@]}" "$suite" "$cache/$name.new.tar" \
        "${sources[@]}" >&2
    mv "$cache/$name.new.tar" "$tarball"
fi
echo "$tarball"
