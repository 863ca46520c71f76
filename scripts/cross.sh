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
# Results in build-deb-cross/SUITE-ARCH/SUITE/ (packages, .changes, sbuild.out). Every
# architecture of a suite starts from one root (debian-tarball.sh --cross).
# DEB_BUILD_OPTIONS=nocheck builds without the tests.
#
# binfmt: the tests' programs (and the programs they start) are run by qemu through the
# kernel's binfmt_misc, set up for the build and taken down after it (scripts/binfmt-lib.sh).
# Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=DEB_BUILD_OPTIONS,VELDORA_ROOT_CACHE bash "$0" "$@"
fi
suite=${1:?usage: cross.sh SUITE ARCH}
arch=${2:?usage: cross.sh SUITE ARCH}

# shellcheck source=scripts/binfmt-lib.sh
source scripts/binfmt-lib.sh
work=$(mktemp -d)
trap 'binfmt_release; rm -rf "$work"' EXIT
[[ " ${DEB_BUILD_OPTIONS:-} " == *" nocheck "* ]] || binfmt_for "$arch" "$work"

# debhelper warns of tests in a cross build unless told that the build can run them.
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }crossbuildcanrunhostbinaries"

start=$SECONDS
# One compiler cache for every cross compiler (ccache tells them apart).
VELDORA_DEB_OUT=$PWD/build-deb-cross/$suite-$arch SBUILD_HOST_ARCH=$arch SBUILD_CCACHE=ccache-cross \
    bash scripts/package.sh "$suite"
out=build-deb-cross/$suite-$arch/$suite
echo "=== cross build $suite $arch: $((SECONDS - start)) s"
# dh_auto_test's ctest summaries, one per suite of tests.
grep -E '^[0-9]+% tests passed|tests failed out of' "$out/sbuild.out" || true
