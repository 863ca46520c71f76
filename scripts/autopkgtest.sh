#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs the package's tests (debian/tests) with autopkgtest on this checkout's source tree
# and the binary packages in DEB_DIR, in a testbed made afresh from
# scripts/debian-tarball.sh's tarball of SUITE through autopkgtest's unshare back-end.
# Prints autopkgtest's summary lines and the time taken; fails unless every test passed
# (a skipped test fails too). The log and the tests' artifacts (screenshots) stay in
# build-deb/autopkgtest-SUITE.
#
# The source tree given to autopkgtest is the checkout's files as they are now (tracked
# ones, and new ones git does not ignore), not its build folders.
#
#   autopkgtest.sh SUITE DEB_DIR
set -euo pipefail
[[ $# -eq 2 ]] || { echo "usage: autopkgtest.sh SUITE DEB_DIR" >&2; exit 2; }
suite=$1
debs=("$(realpath "$2")"/*.deb)
[[ -f "${debs[0]}" ]] || { echo "no .deb in $2" >&2; exit 1; }
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
for tool in autopkgtest autopkgtest-virt-unshare newuidmap; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed (packages autopkgtest, uidmap)" >&2; exit 1; }
done
start=$SECONDS
tarball=$(bash scripts/debian-tarball.sh "$suite")

work=$(mktemp -d /var/tmp/veldora-autopkgtest.XXXXXX)
trap 'rm -rf --one-file-system "$work"' EXIT
# The checkout's files, as they are in the working tree.
src=$work/veldora
mkdir "$src"
git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do
        [[ -e $file || -L $file ]] && printf '%s\0' "$file"
    done | tar --null -T - -cf - | tar -xf - -C "$src"
[[ -f "$src/debian/tests/control" ]] || { echo "no debian/tests/control in the checkout" >&2; exit 1; }

out=build-deb/autopkgtest-$suite
rm -rf "$out"
mkdir -p build-deb
rc=0
# The tarball keeps no package lists: they are fetched first. The testbed is thrown
# away after the run: dpkg need not sync every file it unpacks, and man-db need not
# index the manual pages it gets (the test reads the package's page by its path).
setup='apt-get update -q
echo force-unsafe-io >/etc/dpkg/dpkg.cfg.d/unsafe-io
echo "man-db man-db/auto-update boolean false" | debconf-set-selections'
autopkgtest --output-dir "$out" --setup-commands "$setup" "${debs[@]}" "$src/" -- \
    unshare --release "$suite" --tarball "$tarball" \
    >"$work/autopkgtest.log" 2>&1 || rc=$?
cp "$work/autopkgtest.log" "$out/autopkgtest.log" 2>/dev/null || true
echo "autopkgtest on $suite, $(basename -a "${debs[@]}" | tr '\n' ' ')($((SECONDS - start)) s, exit $rc):"
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
