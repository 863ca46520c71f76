# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# shellcheck shell=bash
# sbuild as scripts/package.sh and scripts/reproducible.sh run it; sourced, needs root.
#
#   veldora_sbuild SUITE DSC OUTDIR BUILDPATH
#
# Builds DSC's architecture-dependent packages for SUITE (trixie: unstable's
# distribution; bookworm: bookworm-backports) into OUTDIR, in the directory BUILDPATH of
# a root unpacked from scripts/debian-tarball.sh SUITE. The network is cut for the build
# itself (sbuild does so in its unshare mode); apt's downloads are kept per suite.
# Optional, from the environment:
#   SBUILD_BUILD_USER    the build's user (default sbuild)
#   SBUILD_CCACHE        the compiler cache kept between runs, by its folder's name in
#                        $VELDORA_ROOT_CACHE/sbuild (default ccache); 0: none
#   SBUILD_ENV_WRAPPER   a script run as the build's user in place of dpkg-buildpackage,
#                        given its command line: it changes what the build runs with,
#                        then runs /opt/veldora-env/probe with that command line
#                        (scripts/reproducible.sh)
#   SBUILD_SETUP         a command run as root in the root before the build
#   SBUILD_JOBS          parallel jobs (default: nproc)
#   SBUILD_CHANGES_SINCE the .changes carry the changelog's entries after this version
#   SBUILD_HOST_ARCH     cross-build for this architecture (sbuild --host) with the cross
#                        build profile; the unit tests run unless DEB_BUILD_OPTIONS has
#                        nocheck (they need binfmt for the architecture: scripts/cross.sh)
# Every build prints what it runs with into its log (OUTDIR/sbuild.out), as lines
# "build-env NAME: VALUE": the build path, user, date, time zone, locale, umask, HOME,
# host name, kernel version, CPU count and the order in which the build path's entries
# are read; the probe prints them just before dpkg-buildpackage starts, under whatever
# the wrapper changed.
veldora_sbuild() {
    local suite=$1 dsc=$2 outdir=$3 build_path=$4
    local cache=${VELDORA_ROOT_CACHE:-/var/cache/veldora}
    local tarball dist apt_dir=apt-$suite
    if [[ -n "${SBUILD_HOST_ARCH:-}" ]]; then
        # The root every cross build of the suite starts from; apt's downloads apart, so
        # that a cross build can run beside a native one.
        tarball=$(bash scripts/debian-tarball.sh --cross "$suite")
        apt_dir+=-$SBUILD_HOST_ARCH
    else
        tarball=$(bash scripts/debian-tarball.sh "$suite")
    fi
    case "$suite" in
    bookworm) dist=bookworm-backports ;;
    trixie) dist=unstable ;;
    *) dist=$suite ;;
    esac

    # apt runs as the root of the build's user namespace: the first id root maps to.
    local nsroot
    nsroot=$(awk -F: '$1 == "root" { print $2; exit }' /etc/subuid)
    mkdir -p "$cache/sbuild/$apt_dir/partial"
    chown -R "$nsroot:$nsroot" "$cache/sbuild/$apt_dir"
    local ccache=${SBUILD_CCACHE:-ccache}

    local conf
    conf=$(mktemp)
    local mounts="{ directory => '$cache/sbuild/$apt_dir', mountpoint => '/var/cache/apt/archives' },"
    local path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
    # No CCACHE_BASEDIR: ccache would then hand the compiler relative paths, and the
    # debug information would differ from a build without ccache (Debian's own). The
    # fixed build path gives the cache its hits instead.
    local env="CCACHE_DIR => '/var/cache/ccache-sbuild', CCACHE_UMASK => '000',"
    local add_depends=()
    if [[ "$ccache" != 0 ]]; then
        # The build's user differs from build to build (scripts/reproducible.sh): the
        # cache is open to every id, and ccache makes its files so (umask 000).
        mkdir -p "$cache/sbuild/$ccache"
        chmod 0777 "$cache/sbuild/$ccache"
        mounts+="{ directory => '$cache/sbuild/$ccache', mountpoint => '/var/cache/ccache-sbuild' },"
        path=/usr/lib/ccache:$path
        add_depends=(--add-depends=ccache)
    fi
    # The folder of the wrapper and of the program that prints what the build runs with,
    # bind-mounted into the root.
    local envdir
    envdir=$(mktemp -d)
    cat >"$envdir/probe" <<'PROBE'
#!/bin/sh
# Prints what the build runs with, as the build itself sees it, then runs it.
v() { printf 'build-env %s: %s\n' "$1" "$2"; }
# The path with colons for slashes: sbuild's log shows the build folder's own path as
# <<PKGBUILDDIR>>, which would hide it.
v path "$(pwd | tr / :)"
v user "$(id -un) ($(id -u))"
v date "$(date +%F)"
v time-zone "$(date +%Z%z)"
v locale "LANG=${LANG:-} LC_ALL=${LC_ALL:-} LANGUAGE=${LANGUAGE:-}"
v umask "$(umask)"
v home "${HOME:-}"
v host-name "$(uname -n)"
v kernel "$(uname -r)"
v cpus "$(nproc)"
v file-order "$(ls -f | tr '\n' ' ')"
exec "$@"
PROBE
    if [[ -n "${SBUILD_ENV_WRAPPER:-}" ]]; then
        cp "$SBUILD_ENV_WRAPPER" "$envdir/wrap"
    else
        printf '#!/bin/sh\nexec /opt/veldora-env/probe "$@"\n' >"$envdir/wrap"
    fi
    chmod 0755 "$envdir" "$envdir/probe" "$envdir/wrap"
    mounts+="{ directory => '$envdir', mountpoint => '/opt/veldora-env' },"
    local wrapper=/opt/veldora-env/wrap
    cat >"$conf" <<CONF
\$build_user = '${SBUILD_BUILD_USER:-sbuild}';
\$unshare_bind_mounts = [ $mounts ];
\$path = '$path';
\$build_environment = { $env };
\$build_env_cmnd = '$wrapper';
1;
CONF
    local setup=()
    [[ -n "${SBUILD_SETUP:-}" ]] && setup=(--chroot-setup-commands="$SBUILD_SETUP")
    [[ -n "${SBUILD_CHANGES_SINCE:-}" ]] && setup+=(--debbuildopt=-v"$SBUILD_CHANGES_SINCE")
    if [[ -n "${SBUILD_HOST_ARCH:-}" ]]; then
        # sbuild's own defaults for a cross build add nocheck, to the profiles and to an
        # unset DEB_BUILD_OPTIONS.
        local profiles=cross
        [[ " ${DEB_BUILD_OPTIONS:-} " == *" nocheck "* ]] && profiles+=,nocheck
        export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-}
        setup+=(--host="$SBUILD_HOST_ARCH" --profiles="$profiles")
        # sbuild resolves a cross build's dependencies with apt's external solver, and
        # copies the build machine's into a root without one: the root's own apt-utils
        # replaces it (bookworm's cannot run in a trixie root). The root is brought up
        # to date first: a package that the archive has since replaced could not be had
        # for the host architecture at the root's version.
        setup+=(--chroot-setup-commands="apt-get -q update && apt-get -q -y --no-remove upgrade && apt-get -q -y install --no-remove apt-utils")
    fi
    mkdir -p "$outdir"
    local rc=0
    (cd "$outdir" && SBUILD_CONFIG=$conf sbuild --chroot-mode=unshare --chroot="$tarball" \
        --dist="$dist" --arch-any --no-arch-all --no-source --build-dir="$outdir" \
        --build-path="$build_path" --jobs="${SBUILD_JOBS:-$(nproc)}" "${add_depends[@]}" "${setup[@]}" \
        --no-run-lintian --no-run-piuparts --no-run-autopkgtest --no-apt-upgrade --no-apt-distupgrade \
        --verbose "$dsc" >"$outdir/sbuild.out" 2>&1) || rc=$?
    rm -rf "$conf" "$envdir"
    if [[ $rc -ne 0 ]]; then
        tail -n 80 "$outdir/sbuild.out"
        echo "sbuild failed for $suite (log: $outdir/)"
        return "$rc"
    fi
}
