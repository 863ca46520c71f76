#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what is missing, checks every source's layout against .clang-format, builds
# Veldora with AddressSanitizer and UndefinedBehaviorSanitizer, runs clang-tidy over the
# program's sources (.clang-tidy, no finding allowed) and every test (unit, widget, end
# to end); then builds the capture and window tests with ThreadSanitizer and runs every
# capture test and the live-display tests under it; last builds the Debian source package
# and, from it, the trixie and bookworm-backports packages in clean roots (sbuild), and
# checks them: lintian (Debian 13's and unstable's), a second build of each that must
# give the same bytes, autopkgtest on each release, and piuparts (install, upgrade,
# purge); and the desktop scenes, the trixie package under GNOME Shell and read by Orca
# (scripts/desktop-scenes.sh). Package checks that do not need each other's results run
# side by side; beside them all, the s390x cross build with its unit tests.
# CI runs this on two releases and what needs only one on
# one: VELDORA_TSAN=0 leaves ThreadSanitizer out, VELDORA_PACKAGE=0 the packages (they
# are built in roots of their own, whatever this machine runs), and VELDORA_TIDY=0
# clang-tidy (the same checks over the same sources; the newer release's clang-tidy runs
# them).
set -euo pipefail
cd "$(dirname "$0")/.."
release="Debian $(cat /etc/debian_version)"
# Each stage says which release it runs on (CI runs this on Debian 12 and 13 in turn)
# and how long the one before it took.
stage() {
    [[ -z "${_stage:-}" ]] || echo "=== [$release] $_stage: $((SECONDS - _stage_start)) s"
    _stage=$* _stage_start=$SECONDS
    echo
    echo "=== [$release] $*"
}

# Runs the functions named at once, each with its output in build-deb/logs/NAME.log, and
# prints each log whole, in the order given, once all have ended; fails if any failed.
side_by_side() {
    local logs=build-deb/logs name pids=() failed=()
    mkdir -p "$logs"
    for name; do
        (
            t=$SECONDS
            rc=0
            "$name" || rc=$?
            echo "=== $name: $((SECONDS - t)) s, exit $rc"
            exit "$rc"
        ) >"$logs/$name.log" 2>&1 &
        pids+=("$!")
    done
    local i=0
    for name; do
        wait "${pids[i]}" || failed+=("$name")
        i=$((i + 1))
    done
    for name; do
        echo "--- $name ($logs/$name.log)"
        cat "$logs/$name.log"
    done
    [[ ${#failed[@]} -eq 0 ]] || { echo "failed: ${failed[*]}"; return 1; }
}

stage "installing what is missing"
bash scripts/install-deps.sh --test
[[ "${VELDORA_PACKAGE:-1}" == 0 ]] || bash scripts/install-deps.sh --package
# ccache keeps a second run (and CI's next one, from a clone in another folder) from
# compiling everything again: paths are hashed relative to the source folder.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

jobs=$(nproc)
# Dynamic TLS is not scanned for leaks: GCC 12's LeakSanitizer can crash on the slot of
# a library that ALSA has already unloaded (its configuration hooks and what they load).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The layout and the licences first: they fail in seconds where the build takes minutes.
stage "layout"
bash scripts/check-format.sh
stage "licences (REUSE, and debian/copyright agreeing with it)"
bash scripts/check-licences.sh

stage "AddressSanitizer and UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DVELDORA_SANITIZE=address;undefined" "${launcher[@]}"
cmake --build build-asan -j "$jobs"
if [[ "${VELDORA_TIDY:-1}" != 0 ]]; then
    stage "clang-tidy"
    bash scripts/tidy.sh build-asan
fi
stage "every test under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build-asan && ctest --output-on-failure -j "$jobs" --timeout 300)

if [[ "${VELDORA_TSAN:-1}" != 0 ]]; then
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp
    stage "capture and live-display tests under ThreadSanitizer"
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDORA_SANITIZE=thread -DVELDORA_BENCH=OFF \
        "${launcher[@]}"
    # Every capture test (the real-audio ones skip themselves here; the end-to-end scripts
    # run them) and the program's live-display tests, which drive capture from the window.
    cmake --build build-tsan -j "$jobs" --target test_capture test_app veldorasound
    (cd build-tsan && ctest --output-on-failure -L '^test_capture$' --timeout 600)
    (cd build-tsan && ctest --output-on-failure -L '^test_app$' -R '^Live' --timeout 600)
fi
if [[ "${VELDORA_PACKAGE:-1}" != 0 ]]; then
    # The big-endian cross build (bookworm s390x) with its unit tests under qemu-user,
    # beside the package checks, none of which times the program (the end-to-end tests
    # above do: beside them, a frozen-server scene once saw the window's main thread
    # stall past its limit), in a process group of its own at the lowest priority;
    # waited for at the end. Its output is in build-deb-cross/ci.log. VELDORA_CROSS=0
    # leaves it out.
    cross_pid=""
    if [[ "${VELDORA_CROSS:-1}" != 0 ]]; then
        mkdir -p build-deb-cross
        setsid nice -n 19 bash scripts/cross-builds.sh bookworm:s390x >build-deb-cross/ci.log 2>&1 &
        cross_pid=$!
        trap 'kill -TERM -- -$cross_pid 2>/dev/null || true' EXIT
    fi
    stage "the source package; trixie and bookworm-backports builds (sbuild)"
    bash scripts/package.sh
    # Checks that need the packages but not each other run side by side: each spends
    # much of its time in apt and dpkg, or pinned to one CPU (the second builds).
    lintian_both() { bash scripts/lintian.sh build-deb; }
    second_trixie() { VELDORA_REPRO_CPU=0 bash scripts/reproducible.sh trixie build-deb; }
    second_bookworm() { VELDORA_REPRO_CPU=1 bash scripts/reproducible.sh bookworm build-deb; }
    stage "side by side: lintian (Debian 13's and unstable's); reproducible: a second build on each release"
    side_by_side lintian_both second_trixie second_bookworm
    autopkgtest_trixie() { bash scripts/autopkgtest.sh trixie build-deb/trixie; }
    autopkgtest_bookworm() { bash scripts/autopkgtest.sh bookworm build-deb/bookworm; }
    desktop_scenes() { bash scripts/desktop-scenes.sh; }
    stage "side by side: autopkgtest on each release; the desktop scenes (the trixie package under GNOME Shell, and read by Orca)"
    side_by_side autopkgtest_trixie autopkgtest_bookworm desktop_scenes
    stage "piuparts: install and purge on each release, the upgrade from Debian 12, the upgrade to a newer build"
    bash scripts/piuparts.sh build-deb/bookworm build-deb/trixie
    if [[ -n "$cross_pid" ]]; then
        stage "the s390x cross build and its unit tests (begun with the packages)"
        rc=0
        wait "$cross_pid" || rc=$?
        trap - EXIT
        grep '^=== ' build-deb-cross/ci.log
        [[ $rc -eq 0 ]] || { tail -n 100 build-deb-cross/ci.log; echo "the cross build failed"; exit 1; }
    fi
fi
stage "passed"
