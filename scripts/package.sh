#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds Veldora's Debian source package from the commit checked out (HEAD: changes not
# committed are not in it), then its binary packages with sbuild, each in a clean root
# unpacked afresh from scripts/debian-tarball.sh, without network during the build, as
# the unprivileged user sbuild:
#
#   build-deb/veldora_<upstream>.orig.tar.xz      git archive of HEAD, without debian/
#   build-deb/veldora_<version>.dsc, .debian.tar.xz
#   build-deb/trixie/     the packages for Debian 13 (and unstable), <version>
#   build-deb/bookworm/   the backport for Debian 12, <version>~bpo12+1 as dch --bpo
#                         makes it: its source package, binary packages, .changes,
#                         .buildinfo and build log
#
#   package.sh [SUITE...]     SUITE: trixie, bookworm (default: both)
#
# The compiler's cache (ccache) and the downloaded build dependencies are kept between
# runs in $VELDORA_ROOT_CACHE (default /var/cache/veldora). DEB_BUILD_OPTIONS passes
# through (nocheck: no unit tests); VELDORA_DEB_OUT moves build-deb (scripts/cross.sh).
# Needs root (or sudo); the results are handed to the user who ran it.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=DEB_BUILD_OPTIONS,VELDORA_ROOT_CACHE,VELDORA_DEB_OUT,SBUILD_HOST_ARCH,SBUILD_CCACHE bash "$0" "$@"
fi
bash scripts/install-deps.sh --package
# shellcheck source=scripts/sbuild-lib.sh
source scripts/sbuild-lib.sh

suites=("$@")
[[ ${#suites[@]} -eq 0 ]] && suites=(trixie bookworm)

[[ -z "$(git status --porcelain --untracked-files=no)" ]] ||
    echo "Note: changes not committed are not in the package; it is built from $(git rev-parse --short HEAD)"

version=$(git show HEAD:debian/changelog | dpkg-parsechangelog -l- -SVersion)
upstream=${version%-*}
out=${VELDORA_DEB_OUT:-$PWD/build-deb}
rm -rf "$out"
mkdir -p "$out"

# The source package: the upstream tree from git, debian/ beside it, as dpkg-source
# wants them. git archive stamps every file with the commit's time, so the same commit
# gives the same tarball.
orig=veldora_$upstream.orig.tar.xz
git archive --format=tar --prefix="veldora-$upstream/" HEAD -- . ':(exclude)debian' | xz -6 -T1 >"$out/$orig"
tar -xf "$out/$orig" -C "$out"
git archive --format=tar HEAD debian | tar -xf - -C "$out/veldora-$upstream"
(cd "$out" && dpkg-source -b "veldora-$upstream")

start=$SECONDS
builds=()
for suite in "${suites[@]}"; do
    dir=$out/$suite
    mkdir -p "$dir"
    dsc=$out/veldora_$version.dsc
    if [[ "$suite" == bookworm ]]; then
        # A backport as backporters make it: the same source, one changelog entry more,
        # dated with the commit (not the clock), so the same commit gives the same source.
        cp -a "$out/veldora-$upstream" "$dir/"
        ln "$out/$orig" "$dir/$orig"
        (cd "$dir/veldora-$upstream" &&
            DEBFULLNAME="The Veldora developers" DEBEMAIL=developers@veldora.org dch --bpo "")
        when=$(git log -1 --format=%ct HEAD)
        previous=$(git show HEAD:debian/changelog | dpkg-parsechangelog -l- -STimestamp)
        ((when > previous)) || when=$((previous + 1))
        sed -i "0,/^ -- /s/^\( -- .*>  \).*/\1$(LC_ALL=C date -u -R -d "@$when")/" \
            "$dir/veldora-$upstream/debian/changelog"
        # With two changelog entries the initial upload's tag no longer applies, so
        # neither does its override.
        sed -i '/no ITP bug/d; /^initial-upload-closes-no-bugs /d' \
            "$dir/veldora-$upstream/debian/veldora.lintian-overrides"
        (cd "$dir" && dpkg-source -b "veldora-$upstream")
        rm -rf "$dir/veldora-$upstream"
        dsc=$(ls "$dir"/veldora_*~bpo*.dsc)
    fi
    # The backport's first upload: its .changes carry the whole changelog, as
    # backports' first uploads do.
    since=""
    [[ "$suite" == bookworm ]] && since=0
    # The builds run side by side: much of each is apt and dpkg setting up its root,
    # which leaves the CPUs to the other's compiler.
    (
        t=$SECONDS
        SBUILD_CHANGES_SINCE=$since veldora_sbuild "$suite" "$dsc" "$dir" /build/veldora-"$upstream"
        echo "=== sbuild $suite: $((SECONDS - t)) s"
    ) &
    builds+=("$!:$suite")
done
failed=()
for build in "${builds[@]}"; do
    wait "${build%%:*}" || failed+=("${build#*:}")
done
rm -rf "$out/veldora-$upstream"
[[ ${#failed[@]} -eq 0 ]] || { echo "sbuild failed for: ${failed[*]}"; exit 1; }

[[ -n "${SUDO_UID:-}" ]] && chown -R "$SUDO_UID:${SUDO_GID:-}" "$out"
ls -l "$out" "${suites[@]/#/$out/}"
echo "Packages built in $((SECONDS - start)) s"
