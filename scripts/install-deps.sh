#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Does nothing when they are all present already.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev libasound2-dev
          libgtest-dev libbenchmark-dev xvfb xauth x11-utils xdotool x11-apps imagemagick
          fonts-dejavu-core pulseaudio pulseaudio-utils libasound2-plugins alsa-utils sox)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
