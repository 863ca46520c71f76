#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs the Debian packages that Veldora needs, and nothing it does not.
#
#   install-deps.sh            what building and running need (scripts/run.sh)
#   install-deps.sh --demo     that, plus a sound server, player and tone maker for the
#                              private test signal (scripts/demo.sh)
#   install-deps.sh --package  what building and checking the Debian packages needs (the
#                              builds themselves install theirs in roots of their own)
#   install-deps.sh --test     what building needs, plus the test tools and sound servers
#                              the tests start
#
# Every apt-get call passes --no-remove: a step that would remove or replace one of the
# user's packages (a sound server above all) stops with apt's message instead. Nothing
# is installed when everything is present already.
set -euo pipefail

build_packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev
                libasound2-dev fonts-dejavu-core fonts-dejavu-extra)

# The source package and its clean-room builds and checks (scripts/package.sh,
# scripts/lintian.sh, scripts/reproducible.sh, scripts/autopkgtest.sh, scripts/piuparts.sh).
package_packages=(dpkg-dev devscripts debhelper git xz-utils sbuild mmdebstrap uidmap
                  autopkgtest piuparts apt-utils diffoscope-minimal curl)

demo_packages=(pulseaudio-utils sox libasound2-plugins)

test_packages=(libgtest-dev libbenchmark-dev xvfb xauth x11-utils xdotool x11-apps
               imagemagick sox alsa-utils pulseaudio-utils libasound2-plugins
               pipewire pipewire-bin pipewire-pulse wireplumber dbus
               desktop-file-utils appstream man-db
               libx11-dev clang-format clang-tidy ccache git
               sway xwayland x11-xserver-utils grim wtype jq python3 qt6-wayland)
# clang-format and clang-tidy are the release's own LLVM (14 on Debian 12, 19 on 13):
# .clang-format and .clang-tidy are written so that both give the same verdict.

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

wanted=("${build_packages[@]}")
if [[ "${1:-}" == "--package" ]]; then
    wanted=("${package_packages[@]}")
fi
if [[ "${1:-}" == "--test" ]]; then
    wanted+=("${test_packages[@]}")
    # The licence check (scripts/check-licences.sh) needs reuse 4 or later, which reads
    # REUSE.toml, and licenserecon: both come with Debian 13.
    case "$(cat /etc/debian_version)" in
    1[0-2].* | bookworm/* | bullseye/*) ;;
    *) wanted+=(reuse licenserecon) ;;
    esac
fi
if [[ "${1:-}" == "--demo" || "${1:-}" == "--test" ]]; then
    wanted+=("${demo_packages[@]}")
    # The PulseAudio daemon only where the desktop's own server does not conflict with
    # it: Debian's PipeWire desktops (pipewire-audio, pipewire-alsa) keep theirs, and
    # the tests and the demo then run on PipeWire alone.
    if ! installed pipewire-alsa && ! installed pipewire-audio; then
        wanted+=(pulseaudio)
    else
        wanted+=(pipewire pipewire-bin pipewire-pulse wireplumber dbus)
    fi
fi

missing=()
for p in "${wanted[@]}"; do
    installed "$p" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ "$(id -u)" -ne 0 ]] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-remove \
    --no-install-recommends "${missing[@]}"
