# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# shellcheck shell=bash
# What the scripts that make and enter Debian roots share; sourced, needs root.
#
#   need_mmdebstrap          installs mmdebstrap when it is missing (--no-remove)
#   debian_sources SUITE     prints SUITE's apt sources, one line each (main, updates,
#                            security; unstable has main alone), from the archive this
#                            machine's own apt sources name (a local mirror, say), else
#                            Debian's
#   debian_archive           prints that archive's address
#   debian_cross_sources SUITE
#                            debian_sources' lines whose package index the archive serves
#                            for every architecture of SUITE's release (its Release
#                            file's list), each left out named on stderr: a cross build's
#   enter_root ROOT CMD...   runs CMD in ROOT, in mount and pid namespaces of its own (the
#                            machine's mounts are left alone) under tini as process 1,
#                            which reaps the daemons a test kills; with the machine's
#                            /proc, /sys and /dev, and /dev/shm, /run and /tmp fresh

need_mmdebstrap() {
    command -v mmdebstrap >/dev/null && return 0
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-remove --no-install-recommends mmdebstrap >&2
}

_debian_archive_uri() {
    apt-get indextargets --format '$(REPO_URI)' 2>/dev/null | grep -E "/$1/?\$" | head -n 1
}

debian_archive() {
    local uri
    uri=$(_debian_archive_uri debian)
    echo "${uri:-http://deb.debian.org/debian/}"
}

debian_sources() {
    local suite=${1:?debian_sources SUITE} archive security
    archive=$(debian_archive)
    security=$(_debian_archive_uri debian-security)
    security=${security:-http://deb.debian.org/debian-security/}
    if [[ "$suite" == sid || "$suite" == unstable ]]; then
        echo "deb $archive $suite main"
        return
    fi
    printf '%s\n' "deb $archive $suite main" "deb $archive $suite-updates main" "deb $security $suite-security main"
}

# A cross build installs packages of two architectures, and those that are Multi-Arch:
# same (libc6, zlib1g, ...) must be the same version in both. A source that lacks some
# architecture of the release (bookworm-security, once Debian 12 is in long-term
# support, has no s390x or armel) would give the build machine newer versions than that
# architecture can have: one root serves every architecture of the suite without it.
debian_cross_sources() {
    local suite=${1:?debian_cross_sources SUITE} line uri dist arches="" arch missing
    while read -r line; do
        read -r _ uri dist _ <<<"$line"
        uri=${uri%/}
        if [[ -z $arches ]]; then
            arches=$(curl -fsS "$uri/dists/$dist/Release" | sed -n 's/^Architectures: //p' | sed 's/\ball\b//')
            [[ -n $arches ]] || { echo "no Release file for $dist at $uri" >&2; return 1; }
        fi
        missing=""
        for arch in $arches; do
            curl -fsI -o /dev/null "$uri/dists/$dist/main/binary-$arch/Packages.xz" || missing+=" $arch"
        done
        if [[ -z $missing ]]; then
            echo "$line"
        else
            echo "cross-build root: $dist left out, $uri has no index of it for$missing" >&2
        fi
    done < <(debian_sources "$suite")
}

# keep_root ROOT SUITE NAME PACKAGE...: ROOT, a root of SUITE with PACKAGE... (mmdebstrap,
# variant apt), made again when missing or more than a week old. A lock beside it is held
# until the caller ends: one run at a time uses a root. NAME says what it is in messages.
keep_root() {
    local root=$1 suite=$2 name=$3 stamp=$1/.veldora-root started=$SECONDS sources
    shift 3
    need_mmdebstrap
    mkdir -p "$(dirname "$root")"
    exec 9>"$root.lock"
    flock 9
    if [[ ! -f "$stamp" || -n "$(find "$stamp" -mtime +7)" ]]; then
        echo "Making a $name in $root from $(debian_archive)"
        rm -rf "$root.new"
        mapfile -t sources < <(debian_sources "$suite")
        mmdebstrap --mode=root --variant=apt --include="$(
            IFS=,
            echo "$*"
        )" "$suite" "$root.new" "${sources[@]}"
        date -u +%FT%TZ >"$root.new/.veldora-root"
        rm -rf "$root"
        mv "$root.new" "$root"
        echo "$name made in $((SECONDS - started)) s"
    fi
    echo "$name: $root, made $(cat "$stamp"), $(du -sh "$root" 2>/dev/null | cut -f1)"
}

enter_root() {
    local root=$1
    shift
    unshare --mount --pid --fork --propagation private -- bash -c '
root=$1; shift
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
mount -t tmpfs -o mode=755,nosuid,nodev tmpfs "$root/run"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/tmp"
exec chroot "$root" /usr/bin/tini -- "$@"
' enter "$root" "$@"
}
