# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# shellcheck shell=bash
# What the scripts that make Debian roots share; sourced, needs root.
#
#   need_mmdebstrap          installs mmdebstrap when it is missing (--no-remove)
#   debian_sources SUITE     prints SUITE's apt sources, one line each (main, updates,
#                            security; unstable has main alone), from the archive this
#                            machine's own apt sources name (a local mirror, say), else
#                            Debian's
#   debian_archive           prints that archive's address

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
