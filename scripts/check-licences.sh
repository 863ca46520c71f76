#!/usr/bin/env bash
# Every file of the tree says its copyright and licence, as the REUSE convention has it
# (SPDX tags in the file itself, or REUSE.toml for the files that cannot carry them),
# and debian/copyright gives every file that same licence. reuse 4 or later reads
# REUSE.toml (Debian 13 has it); with an older one the check says so and is left to
# the newer release, as CI runs it there.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(reuse --version | awk '{ print $2 }')
if [[ "${version%%.*}" -lt 4 ]]; then
    echo "licences: reuse $version reads no REUSE.toml; checked where reuse 4 or later is (Debian 13)"
    exit 0
fi
reuse lint
reuse spdx | python3 scripts/copyright-agrees.py debian/copyright
