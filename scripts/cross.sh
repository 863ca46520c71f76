#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Cross-builds Veldora's binary packages for another Debian architecture, as
# scripts/package.sh builds them (the source package of HEAD, sbuild in a clean root
# unpacked afresh, no network during the build) but with sbuild --host=ARCH, and runs
# the unit tests that dh_auto_test runs for that architecture through qemu-user, as a
# build daemon of that architecture would run them:
#
#   cross.sh SUITE ARCH       SUITE: trixie, bookworm; ARCH: arm64, armhf, s390x, ...
#
# Results in build-deb-cross/SUITE-ARCH/SUITE/ (packages, .changes, sbuild.out).
# DEB_BUILD_OPTIONS=nocheck builds without the tests.
#
# binfmt: the tests' programs (and the programs they start) are run by qemu through the
# kernel's binfmt_misc. The emulator is the build machine's qemu-user-static, unpacked
# into a temporary folder, not installed; its entry is registered with the F flag (the
# kernel opens the emulator now, so it serves inside the build's root) and removed at the
# end, and binfmt_misc is unmounted again if this script mounted it and no other entry
# is left (two of these scripts may run at once, for two architectures). An entry the
# machine already has for the architecture is used as it is and left alone. Needs root
# (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=DEB_BUILD_OPTIONS,VELDORA_ROOT_CACHE bash "$0" "$@"
fi
suite=${1:?usage: cross.sh SUITE ARCH}
arch=${2:?usage: cross.sh SUITE ARCH}

# qemu's name for each Debian architecture; i386 too, as not every amd64 kernel runs
# 32-bit programs.
case "$arch" in
arm64) qemu=aarch64 ;;
armhf | armel) qemu=arm ;;
ppc64el) qemu=ppc64le ;;
i386) qemu=i386 ;;
*) qemu=$arch ;;
esac

work=$(mktemp -d)
binfmt=/proc/sys/fs/binfmt_misc
mounted=0
entry=""
cleanup() {
    [[ -n "$entry" && -e "$binfmt/$entry" ]] && echo -1 >"$binfmt/$entry"
    # Unmounting removes every entry: only once no other build has one.
    local others=0 f
    for f in "$binfmt"/*; do
        [[ "${f##*/}" == register || "${f##*/}" == status ]] || others=1
    done
    [[ "$mounted" == 1 && "$others" == 0 ]] && umount "$binfmt"
    rm -rf "$work"
}
trap cleanup EXIT

if [[ -n "$qemu" && " ${DEB_BUILD_OPTIONS:-} " != *" nocheck "* ]]; then
    if [[ ! -e "$binfmt/status" ]]; then
        mount -t binfmt_misc binfmt_misc "$binfmt"
        mounted=1
    fi
    if [[ -e "$binfmt/qemu-$qemu" ]]; then
        echo "Using the machine's binfmt entry qemu-$qemu"
    else
        (cd "$work" && apt-get download qemu-user-static >/dev/null && dpkg -x qemu-user-static_*.deb root)
        # Magic and mask as qemu's own entry gives them (the package leaves out the
        # build machine's own family: i386 on amd64); our emulator, flag F only.
        conf=$work/root/usr/lib/binfmt.d/qemu-$qemu.conf
        [[ "$qemu" == i386 && ! -e "$conf" ]] &&
            printf '%s\n' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:' >"$conf"
        IFS=: read -r _ _ type offset magic mask _ <"$conf"
        entry=veldora-qemu-$qemu
        echo ":$entry:$type:$offset:$magic:$mask:$work/root/usr/bin/qemu-$qemu-static:F" >"$binfmt/register"
        echo "Registered binfmt entry $entry for the build"
    fi
fi

# debhelper warns of tests in a cross build unless told that the build can run them.
[[ -n "$qemu" ]] && export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }crossbuildcanrunhostbinaries"

start=$SECONDS
VELDORA_DEB_OUT=$PWD/build-deb-cross/$suite-$arch SBUILD_HOST_ARCH=$arch SBUILD_CCACHE=0 \
    bash scripts/package.sh "$suite"
out=build-deb-cross/$suite-$arch/$suite
echo "=== cross build $suite $arch: $((SECONDS - start)) s"
# dh_auto_test's ctest summaries, one per suite of tests.
grep -E '^[0-9]+% tests passed|tests failed out of' "$out/sbuild.out" || true
