#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs the tests of the source package that the binary packages in DEB_DIR were built
# from (its debian/tests, and the source files they use), with autopkgtest, in a testbed
# made afresh from scripts/debian-tarball.sh's tarball of SUITE through autopkgtest's
# unshare back-end. autopkgtest unpacks that .dsc itself: nothing of the working tree is
# used, so a test changed there but not committed and built is not run; run from a
# checkout whose debian/tests or tests/e2e/lib differ from the package's, it fails and
# shows the difference. The .dsc is DEB_DIR's own (the backport's), else the one beside
# DEB_DIR (scripts/package.sh's layout), and must be the version of every .deb given.
# Prints autopkgtest's summary lines and the time taken; fails unless every test passed
# (a skipped test fails too). The log and the tests' artifacts (screenshots) stay in
# build-deb/autopkgtest-SUITE. Packages of another architecture (a cross build's, say
# arm64) are tested in a testbed of theirs, its programs run through qemu-user
# (scripts/binfmt-lib.sh), results in build-deb/autopkgtest-SUITE-ARCH.
#
#   autopkgtest.sh SUITE DEB_DIR
set -euo pipefail
[[ $# -eq 2 ]] || { echo "usage: autopkgtest.sh SUITE DEB_DIR" >&2; exit 2; }
suite=$1
dir=$(realpath "$2")
debs=("$dir"/*.deb)
[[ -f "${debs[0]}" ]] || { echo "no .deb in $2" >&2; exit 1; }
dsc=$(compgen -G "$dir/veldora_*.dsc" || compgen -G "$(dirname "$dir")/veldora_*.dsc" || true)
[[ -n "$dsc" && "$dsc" != *$'\n'* ]] || { echo "not one source package (.dsc) in or beside $2: ${dsc:-none}" >&2; exit 1; }
version=$(sed -n 's/^Version: //p' "$dsc")
for deb in "${debs[@]}"; do
    built_from=$(dpkg-deb -f "$deb" Source Version | awk '/^Source:/ { v = $3 } /^Version:/ { if (v == "") v = $2 } END { gsub(/[()]/, "", v); print v }')
    [[ "$built_from" == "$version" ]] ||
        { echo "$(basename "$deb") is version $built_from, its source $(basename "$dsc") $version" >&2; exit 1; }
done
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
for tool in autopkgtest autopkgtest-virt-unshare newuidmap; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed (packages autopkgtest, uidmap)" >&2; exit 1; }
done
start=$SECONDS
work=$(mktemp -d /var/tmp/veldora-autopkgtest.XXXXXX)
trap 'rm -rf --one-file-system "$work"' EXIT
arch=$(dpkg-deb -f "${debs[0]}" Architecture)
testbed=(unshare --release "$suite")
if [[ $arch != all && $arch != "$(dpkg --print-architecture)" ]]; then
    # shellcheck source=scripts/binfmt-lib.sh
    source scripts/binfmt-lib.sh
    trap 'binfmt_release; rm -rf --one-file-system "$work"' EXIT
    binfmt_for "$arch" "$work"
    testbed+=(--arch "$arch")
    tarball=$(bash scripts/debian-tarball.sh --arch "$arch" "$suite")
else
    arch=""
    tarball=$(bash scripts/debian-tarball.sh "$suite")
fi
# Run from a checkout whose tests differ from the package's, the result would speak for
# tests that are not the ones run: that fails here, before anything runs. Commit the
# change and build the package again (scripts/package.sh).
dpkg-source --no-check -x "$dsc" "$work/source" >/dev/null
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    for tests in debian/tests tests/e2e/lib; do
        if ! diff -r "$work/source/$tests" "$tests" >"$work/tests.diff" 2>&1; then
            echo "The working tree's $tests differ from those of $(basename "$dsc"), the package tested:"
            head -n 40 "$work/tests.diff"
            echo "autopkgtest on $suite: not run (commit the tests and build the package again)"
            exit 1
        fi
    done
fi

out=build-deb/autopkgtest-$suite${arch:+-$arch}
rm -rf "$out"
mkdir -p build-deb
rc=0
# The tarball keeps no package lists: they are fetched first. The testbed is thrown
# away after the run: dpkg need not sync every file it unpacks, and man-db need not
# index the manual pages it gets (the test reads the package's page by its path).
setup='apt-get update -q
echo force-unsafe-io >/etc/dpkg/dpkg.cfg.d/unsafe-io
echo "man-db man-db/auto-update boolean false" | debconf-set-selections'
autopkgtest --output-dir "$out" --setup-commands "$setup" "${debs[@]}" "$dsc" -- \
    "${testbed[@]}" --tarball "$tarball" \
    >"$work/autopkgtest.log" 2>&1 || rc=$?
cp "$work/autopkgtest.log" "$out/autopkgtest.log" 2>/dev/null || true
echo "autopkgtest on $suite${arch:+ $arch}, the tests of $(basename "$dsc") on $(basename -a "${debs[@]}" | tr '\n' ' ')($((SECONDS - start)) s, exit $rc):"
if [[ -s "$out/summary" ]]; then
    cat "$out/summary"
else
    tail -n 40 "$work/autopkgtest.log"
fi
if ((rc != 0)); then
    # The failing test's own output, from its log.
    [[ ! -s "$out/summary" ]] || tail -n 60 "$out/log" 2>/dev/null || true
    echo "autopkgtest on $suite failed; log and artifacts in $out"
    exit 1
fi
