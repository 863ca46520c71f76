#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced: programs of another Debian architecture run by qemu-user through the kernel's
# binfmt_misc, for as long as the script that sources this runs (as root).
#
#   binfmt_for ARCH WORK   ARCH's programs run from now on; WORK is a folder of the caller's
#   binfmt_release         at the end (in the caller's EXIT trap): the machine as it was
#
# The emulator is the build machine's qemu-user-static, unpacked into WORK, not installed;
# its entry is registered with the F flag (the kernel opens the emulator now, so it serves
# inside roots and namespaces too) and removed by binfmt_release, which also unmounts
# binfmt_misc if binfmt_for mounted it and no other entry is left. Scripts may run at once,
# for one architecture too (armhf and armel share qemu-arm): each registers an entry of
# its own, named with its process id, so that none removes an entry another still uses
# (the kernel takes the newest entry that matches). The machine's own entry for the
# architecture (qemu-user-binfmt's) is used as it is and left alone.

binfmt_dir=/proc/sys/fs/binfmt_misc
binfmt_mounted=0
binfmt_entry=""

# qemu's name for each Debian architecture; i386 too, as not every amd64 kernel runs
# 32-bit programs.
binfmt_qemu_name() {
    case "$1" in
    arm64) echo aarch64 ;;
    armhf | armel) echo arm ;;
    ppc64el) echo ppc64le ;;
    *) echo "$1" ;;
    esac
}

binfmt_for() {
    local arch=$1 work=$2 qemu conf type offset magic mask
    qemu=$(binfmt_qemu_name "$arch")
    if [[ ! -e "$binfmt_dir/status" ]]; then
        mount -t binfmt_misc binfmt_misc "$binfmt_dir"
        binfmt_mounted=1
    fi
    if [[ -e "$binfmt_dir/qemu-$qemu" ]]; then
        echo "Using the binfmt entry the machine has for $qemu"
        return 0
    fi
    (cd "$work" && apt-get download qemu-user-static >/dev/null && dpkg -x qemu-user-static_*.deb qemu)
    # Magic and mask as qemu's own entry gives them (the package leaves out the build
    # machine's own family: i386 on amd64); our emulator, flag F only.
    conf=$work/qemu/usr/lib/binfmt.d/qemu-$qemu.conf
    [[ "$qemu" == i386 && ! -e "$conf" ]] &&
        printf '%s\n' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:' >"$conf"
    IFS=: read -r _ _ type offset magic mask _ <"$conf"
    # Ours to remove only once registered.
    echo ":veldora-qemu-$qemu-$$:$type:$offset:$magic:$mask:$work/qemu/usr/bin/qemu-$qemu-static:F" >"$binfmt_dir/register"
    binfmt_entry=veldora-qemu-$qemu-$$
    echo "Registered binfmt entry $binfmt_entry"
}

binfmt_release() {
    [[ -n "$binfmt_entry" && -e "$binfmt_dir/$binfmt_entry" ]] && echo -1 >"$binfmt_dir/$binfmt_entry"
    binfmt_entry=""
    # Unmounting removes every entry: only once no other script has one.
    local others=0 f
    for f in "$binfmt_dir"/*; do
        [[ "${f##*/}" == register || "${f##*/}" == status ]] || others=1
    done
    [[ "$binfmt_mounted" == 1 && "$others" == 0 ]] && umount "$binfmt_dir"
    binfmt_mounted=0
    return 0
}
