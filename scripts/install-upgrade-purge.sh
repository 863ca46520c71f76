#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs, upgrades and purges the binary package in fresh Debian roots, as piuparts
# does, and fails on any error or warning of apt or dpkg and on any file the package
# leaves behind:
#   bookworm  the backport installed with apt, then purged;
#   trixie    the trixie build installed with apt, then purged;
#   upgrade   in the same trixie root, the backport installed, upgraded to the trixie
#             build, purged.
# Each suite's root is unpacked afresh from scripts/debian-tarball.sh's tarball and
# entered in mount and pid namespaces of its own (unshare, chroot), so nothing on this
# machine changes but the download cache. The packages' dependencies are installed first
# (apt-get satisfy): what is compared is the root with them, before the package came and
# after it went, so every difference is the package's own. Compared per path: type,
# mode, owner and link target; apt's and dpkg's bookkeeping, logs and caches are
# ignored as piuparts ignores them (the package's own dpkg files are not).
#
#   install-upgrade-purge.sh BOOKWORM_DEB_DIR TRIXIE_DEB_DIR
#
# Each folder holds one veldora_*.deb. Downloaded packages are kept between runs in
# $VELDORA_ROOT_CACHE/apt/SUITE (default /var/cache/veldora). Needs root (or sudo).
set -euo pipefail
usage="usage: install-upgrade-purge.sh BOOKWORM_DEB_DIR TRIXIE_DEB_DIR"
[[ $# -eq 2 ]] || { echo "$usage" >&2; exit 2; }
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE bash "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
cache=${VELDORA_ROOT_CACHE:-/var/cache/veldora}/apt

one_deb() {   # DIR: the path of the one veldora_*.deb in DIR
    local debs=("$1"/veldora_*.deb)
    [[ -f "${debs[0]}" && ${#debs[@]} -eq 1 ]] || { echo "expected one veldora_*.deb in $1" >&2; return 1; }
    realpath "${debs[0]}"
}
bpo_deb=$(one_deb "$1")
trixie_deb=$(one_deb "$2")
bpo_version=$(dpkg-deb -f "$bpo_deb" Version)
trixie_version=$(dpkg-deb -f "$trixie_deb" Version)
dpkg --compare-versions "$bpo_version" lt "$trixie_version" ||
    { echo "the backport's version $bpo_version is not below the trixie build's $trixie_version" >&2; exit 1; }

work=$(mktemp -d /var/tmp/veldora-iup.XXXXXX)
cleanup() {
    # A root is plain files once its namespaces are gone: nothing is mounted in it.
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL [$scene]: $*"; failures=$((failures + 1)); }

# in_root ROOT COMMAND: runs the shell command COMMAND in ROOT, with /proc, a private
# /tmp and /run, the machine's name server, the packages under /debs (read-only) and
# the suite's download cache. Mounts end with the namespace.
in_root() {
    local root=$1
    unshare --mount --pid --fork --propagation private bash -euc '
        root=$1 debs=$2 archives=$3 command=$4
        mount -t proc proc "$root/proc"
        mount -t tmpfs tmpfs "$root/tmp"
        mount -t tmpfs tmpfs "$root/run"
        mount -t tmpfs tmpfs "$root/dev/shm"
        # Terminals of its own: apt writes its log through one.
        mount -t devpts -o newinstance,ptmxmode=666,mode=620,gid=5 devpts "$root/dev/pts"
        mount --bind "$root/dev/pts/ptmx" "$root/dev/ptmx"
        mount --bind -o ro /etc/resolv.conf "$root/etc/resolv.conf"
        mkdir -p "$root/debs"
        mount --bind "$debs" "$root/debs"
        mount -o remount,bind,ro "$root/debs"
        mount --bind "$archives" "$root/var/cache/apt/archives"
        exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
            LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive bash -euc "$command"
    ' in_root "$root" "$work/debs" "$cache/$suite" "$2"
}

# apt_in_root ROOT STEP COMMAND: in_root, with the output kept as STEP.log and shown;
# an error or a warning of apt or dpkg fails the scene.
apt_in_root() {
    local root=$1 step=$2 log=$work/$scene-$2.log rc=0
    echo "--- [$scene] $step"
    in_root "$root" "$3" >"$log" 2>&1 || rc=$?
    grep -E '^(Setting up|Unpacking|Removing|Purging) .*veldora|^(W|E): |^dpkg: |Errors were encountered' "$log" || true
    ((rc == 0)) || { fail "$step ended with $rc"; tail -n 30 "$log"; return 1; }
    # apt's note that a local package is read as root is no warning.
    if grep -E '^(W|E): |^dpkg: (warning|error)|Errors were encountered' "$log" | grep -qv 'unsandboxed as root'; then
        fail "$step: apt or dpkg reported a problem"
    fi
}

# What piuparts ignores too: apt's and dpkg's bookkeeping and downloads, logs, caches
# that triggers rebuild, and the mount points entered above. The package's own files
# under /var/lib/dpkg/info are compared.
ignored='^(proc|sys|dev|tmp|run|debs)(/|$)|^var/cache/(apt|debconf|man|ldconfig)/|^var/lib/apt/|^var/log/|^etc/ld\.so\.cache$|^var/lib/dpkg/(status|status-old|available|available-old|lock|lock-frontend|triggers/.*|updates/.*|diversions-old|statoverride-old|cmethopt|info/format)$'
snapshot() {   # ROOT FILE: one line per path: path, type, mode, owner, link target
    (cd "$1" && find . -xdev -printf '%P\t%y\t%m\t%U:%G\t%l\n') | grep -Ev "$ignored" | LC_ALL=C sort >"$2"
}

# compare BEFORE AFTER: fails the scene on any path added, removed or changed.
compare() {
    local diff=$work/$scene.diff
    diff "$1" "$2" >"$diff.raw" || true
    if grep '^[<>]' "$diff.raw" >"$diff"; then
        fail "the root differs after the purge (< before, > after):"
        sed 's/^/  /' "$diff"
    else
        echo "[$scene] no file left behind, none removed or changed ($(wc -l <"$2") paths compared)"
    fi
}

# The package is gone from dpkg's database: not even its configuration is known.
purged() {
    if in_root "$1" 'dpkg-query -W -f "\${db:Status-Abbrev}" veldora' >/dev/null 2>&1; then
        fail "dpkg still knows veldora after the purge"
    fi
}

# installed_version ROOT VERSION: fails the scene unless VERSION is the one installed.
installed_version() {
    local have
    have=$(in_root "$1" 'dpkg-query -W -f "\${db:Status-Abbrev} \${Version}" veldora' 2>/dev/null || true)
    [[ $have == "ii  $2" ]] || fail "installed: '$have', expected 'ii  $2'"
}

# new_root SUITE: a fresh root of SUITE in $root, its lists updated.
new_root() {
    local tarball
    tarball=$(bash "$here/debian-tarball.sh" "$1")
    root=$work/$1-root
    mkdir -p "$root" "$cache/$1/partial"
    tar -xf "$tarball" -C "$root"
    # No service starts in a root without an init, as piuparts has it. The root is
    # thrown away: dpkg need not sync every file it writes.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod 755 "$root/usr/sbin/policy-rc.d"
    echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
    apt_in_root "$root" update 'apt-get update -q'
}

# satisfy ROOT DEB...: the packages' dependencies and recommendations installed, as
# apt installs them with the package; not the packages themselves.
satisfy() {
    local root=$1 relations="" deb field value
    shift
    for deb in "$@"; do
        for field in Depends Recommends; do
            value=$(dpkg-deb -f "$deb" "$field")
            [[ -z $value ]] || relations+="${relations:+, }$value"
        done
    done
    apt_in_root "$root" dependencies "apt-get satisfy -y -q --no-install-recommends '$relations'"
}

# install_purge ROOT DEB: the package installed with apt and purged, the root compared
# with $work/$suite.before.
install_purge() {
    local root=$1 deb version
    deb=/debs/$(basename "$2")
    version=$(dpkg-deb -f "$2" Version)
    apt_in_root "$root" "install-$version" "apt-get install -y -q --no-remove $deb" || return 1
    installed_version "$root" "$version"
    apt_in_root "$root" purge 'apt-get purge -y -q veldora' || return 1
    purged "$root"
    snapshot "$root" "$work/$scene.after"
    compare "$work/$suite.before" "$work/$scene.after"
}

# upgrade_purge ROOT: the backport installed, upgraded to the trixie build, purged.
upgrade_purge() {
    local root=$1
    apt_in_root "$root" "install-$bpo_version" "apt-get install -y -q --no-remove /debs/$(basename "$bpo_deb")" || return 1
    installed_version "$root" "$bpo_version"
    apt_in_root "$root" "upgrade-to-$trixie_version" "apt-get install -y -q --no-remove /debs/$(basename "$trixie_deb")" || return 1
    installed_version "$root" "$trixie_version"
    apt_in_root "$root" purge 'apt-get purge -y -q veldora' || return 1
    purged "$root"
    snapshot "$root" "$work/$scene.after"
    compare "$work/$suite.before" "$work/$scene.after"
}

# suite_scenes SUITE DEB...: a fresh root of SUITE with the dependencies of every DEB,
# then its scenes, each from that same state (a scene that left anything behind has
# already failed).
suite_scenes() {
    suite=$1 scene=$1
    shift
    local start=$SECONDS
    echo "===== $suite"
    if new_root "$suite" && satisfy "$root" "$@"; then
        snapshot "$root" "$work/$suite.before"
        case $suite in
        bookworm) install_purge "$root" "$bpo_deb" || true ;;
        trixie)
            install_purge "$root" "$trixie_deb" || true
            scene=upgrade
            upgrade_purge "$root" || true
            ;;
        esac
    else
        fail "no $suite root with the packages' dependencies"
    fi
    rm -rf --one-file-system "$work/$suite-root"
    echo "===== $suite: $((SECONDS - start)) s"
}

# The packages seen from inside the roots: both folders' debs side by side.
mkdir -p "$work/debs"
cp "$bpo_deb" "$trixie_deb" "$work/debs/"
[[ $(basename "$bpo_deb") != $(basename "$trixie_deb") ]] ||
    { echo "both packages are named $(basename "$bpo_deb")" >&2; exit 1; }

start=$SECONDS
suite_scenes bookworm "$bpo_deb"
suite_scenes trixie "$bpo_deb" "$trixie_deb"
if ((failures != 0)); then
    echo "install/upgrade/purge: $failures check(s) failed ($((SECONDS - start)) s)"
    exit 1
fi
echo "install/upgrade/purge: bookworm $bpo_version, trixie $trixie_version and the upgrade between them passed ($((SECONDS - start)) s)"
