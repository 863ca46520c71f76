#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Cross builds one after another, each with its unit tests under qemu-user
# (scripts/cross.sh): by default 64-bit little-endian, 32-bit and big-endian. The test
# command (scripts/test.sh) makes the big-endian one.
#
#   cross-builds.sh [SUITE:ARCH...]     default: trixie:arm64 trixie:armhf bookworm:s390x
#
# s390x is Debian 12's: the archive this project's machines reach lists Debian 13.8's
# s390x packages but does not serve some 750 of their files, libc6's among them, so no
# Debian 13 build for s390x can install its build dependencies there.
#
# Prints each build's time and its tests' summary, and fails when any build or test run
# failed (after trying the others).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
builds=("$@")
[[ ${#builds[@]} -gt 0 ]] || builds=(trixie:arm64 trixie:armhf bookworm:s390x)
failed=()
summary=()
for build in "${builds[@]}"; do
    suite=${build%%:*} arch=${build#*:}
    start=$SECONDS
    echo "=== cross build: $suite $arch"
    if bash scripts/cross.sh "$suite" "$arch"; then
        result=passed
    else
        result=FAILED
        failed+=("$suite $arch")
    fi
    tests=$(grep -E 'tests passed, [0-9]+ tests failed out of' "build-deb-cross/$suite-$arch/$suite/sbuild.out" 2>/dev/null |
        tail -n 1)
    summary+=("$suite $arch: $result in $((SECONDS - start)) s; ${tests:-no test summary}")
done
printf '=== %s\n' "${summary[@]}"
[[ ${#failed[@]} -eq 0 ]] || { echo "cross builds failed: ${failed[*]}"; exit 1; }
