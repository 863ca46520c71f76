#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Checks the binary package with piuparts, from the archive, as Debian checks every
# package of its own, in clean roots unpacked from scripts/debian-tarball.sh's tarballs:
#   trixie              the trixie build installed and purged;
#   bookworm            the backport installed and purged on Debian 12;
#   bookworm-to-trixie  the upgrade a user makes: Debian 12 with the backport installed,
#                       dist-upgraded to Debian 13, the trixie build coming with it
#                       (piuparts -d bookworm -d trixie), then purged;
#   newer-build         the trixie build installed, upgraded to a newer build of it
#                       (the same package, its version raised: VERSION+upgradetest1),
#                       then purged: piuparts' own upgrade test.
# piuparts fails on a failed apt or dpkg step or maintainer script, on any file the
# package leaves after purge, creates or removes outside its own, or changes in owner,
# mode, size or link target, and (debsums) on any packaged file whose content changed.
# Beyond that, any warning or error line of apt or dpkg in its log fails the scenario.
#
#   piuparts.sh BOOKWORM_DEB_DIR TRIXIE_DEB_DIR
#
# PIUPARTS_SCENARIOS="NAME..." runs only those (default: all four).
# Each folder holds one veldora_*.deb. piuparts' logs (every command and its output) are
# kept in build-deb/piuparts/SCENARIO.log. The piuparts of Debian 12 does not know that
# Debian 13's debconf leaves /var/cache/debconf/tmp.ci behind whatever is installed
# (newer piuparts ignore it): it is ignored here too. Needs root (or sudo).
set -euo pipefail
usage="usage: piuparts.sh BOOKWORM_DEB_DIR TRIXIE_DEB_DIR"
[[ $# -eq 2 ]] || { echo "$usage" >&2; exit 2; }
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_ROOT_CACHE bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
command -v piuparts >/dev/null || { echo "piuparts is not installed (scripts/install-deps.sh --package)" >&2; exit 1; }
# shellcheck source=scripts/debian-archive.sh
source scripts/debian-archive.sh

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

logs=$PWD/build-deb/piuparts
rm -rf "$logs"
mkdir -p "$logs"
work=$(mktemp -d /var/tmp/veldora-piuparts.XXXXXX)
# piuparts' roots are plain files once their mount namespace is gone.
trap 'rm -rf --one-file-system "$work"' EXIT
mirror=$(debian_archive)

# Flat apt repositories, bind-mounted into piuparts' roots at the same path.
repo() {   # NAME DEB...: a repository of the DEBs in $work/repo/NAME
    local dir=$work/repo/$1
    shift
    mkdir -p "$dir"
    cp "$@" "$dir/"
    (cd "$dir" && dpkg-scanpackages --multiversion . >Packages 2>/dev/null && apt-ftparchive release . >Release)
}
repo backport "$bpo_deb"
repo trixie "$trixie_deb"
# The newer build: the trixie build with its version raised, nothing else changed.
newer_version=$trixie_version+upgradetest1
mkdir -p "$work/newer"
dpkg-deb -R "$trixie_deb" "$work/newer/tree"
sed -i "s/^Version: .*/Version: $newer_version/" "$work/newer/tree/DEBIAN/control"
newer_deb=$work/newer/veldora_${newer_version}_$(dpkg-deb -f "$trixie_deb" Architecture).deb
dpkg-deb --root-owner-group -Zxz -b "$work/newer/tree" "$newer_deb" >/dev/null

# A root for each release, unpacked once; piuparts copies it for every scenario.
for suite in bookworm trixie; do
    mkdir "$work/root-$suite"
    tar -xf "$(bash scripts/debian-tarball.sh "$suite")" -C "$work/root-$suite"
done

only=${PIUPARTS_SCENARIOS:-trixie bookworm bookworm-to-trixie newer-build}
started=()
side_by_side=$SECONDS
# scenario NAME PIUPARTS-ARGUMENTS...: one piuparts run in mount and process namespaces of
# its own, started in the background; its report goes to $work/NAME.report, its exit
# status to NAME.rc. Its own processes only: piuparts fails a scenario on any process that
# has a file of its root open, and the repositories are bind-mounted into every root.
scenario() {
    local name=$1
    shift
    [[ " $only " == *" $name "* ]] || return 0
    started+=("$name")
    run_scenario "$name" "$@" >"$work/$name.report" 2>&1 &
}
run_scenario() {
    local name=$1 rc=0 t=$SECONDS
    shift
    echo "--- piuparts: $name"
    unshare --mount --pid --fork --mount-proc --propagation private -- \
        piuparts --tmpdir="$work" --log-file="$logs/$name.log" --mirror="$mirror main" \
        --fail-on-broken-symlinks --bindmount="$work/repo" --ignore=/var/cache/debconf/tmp.ci/ \
        "$@" >"$work/$name.out" 2>&1 || rc=$?
    # The log has all piuparts prints; a piuparts that stopped before writing it, its output.
    [[ -s "$logs/$name.log" ]] || cp "$work/$name.out" "$logs/$name.log"
    # Its verdicts, each failure with the files it names (the indented lines after it).
    awk '/INFO: (PASS|FAIL)|ERROR:|piuparts run ends/ { print; more = /ERROR/; next }
         more && /^ / { print; next } { more = 0 }' "$logs/$name.log" | tail -n 30 | grep . ||
        tail -n 8 "$logs/$name.log"
    # apt's and dpkg's own warnings and errors, which piuparts passes when their
    # command still succeeds: every one of apt's but its note that a local package is
    # read as root, and dpkg's that name the package, but its note when piuparts, putting
    # the root's packages back, asks it to remove one that apt has removed already.
    # dpkg's others are about the rest of the root: the dist-upgrade's /usr merge in
    # Debian 13 (the reference upgrade, without the package, prints them too) and the
    # removal of the package's dependencies.
    if grep -E '^\s*(W|E): |dpkg: (warning|error)|Errors were encountered' "$logs/$name.log" |
        grep -Ev 'unsandboxed as root|ignoring request to remove \S+ which isn.t installed' |
        grep -E '^\s*(W|E): |veldora' >"$work/$name.problems"; then
        echo "apt or dpkg reported a problem:"
        cat "$work/$name.problems"
        rc=1
    fi
    echo "--- piuparts: $name: $((SECONDS - t)) s, exit $rc"
    echo "$rc" >"$work/$name.rc"
}

backport_repo="deb [trusted=yes] file://$work/repo/backport ./"
scenario trixie -d trixie -e "$work/root-trixie" --no-upgrade-test "$trixie_deb"
scenario bookworm -d bookworm -e "$work/root-bookworm" --no-upgrade-test "$bpo_deb"
scenario bookworm-to-trixie -d bookworm -d trixie -e "$work/root-bookworm" \
    --extra-repo="$backport_repo" --testdebs-repo="$work/repo/trixie" --distupgrade-to-testdebs "$trixie_deb"
scenario newer-build -d trixie -e "$work/root-trixie" --no-install-purge-test \
    --extra-repo="deb [trusted=yes] file://$work/repo/trixie ./" "$newer_deb"

wait
echo "piuparts: ${#started[@]} scenarios side by side in $((SECONDS - side_by_side)) s"
failed=()
for name in "${started[@]}"; do
    cat "$work/$name.report"
    [[ "$(cat "$work/$name.rc" 2>/dev/null)" == 0 ]] || failed+=("$name")
done
if [[ ${#failed[@]} -ne 0 ]]; then
    echo "piuparts failed: ${failed[*]} (logs in $logs)"
    exit 1
fi
echo "piuparts: every scenario passed (logs in $logs)"
