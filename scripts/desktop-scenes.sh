#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The desktop scenes: the installed Debian 13 package under a headless GNOME Shell
# (tests/e2e/gnome_shell.sh) and read by Orca (tests/e2e/orca.sh), inside a Debian 13 root
# of their own made with mmdebstrap, entered as scripts/test-debian13.sh enters its root.
# VELDORA_DESKTOP_SUITE=bookworm does the same in a Debian 12 root with the backport
# (scripts/try-gnome43.sh).
# Usage (as root or with sudo):
#     bash scripts/desktop-scenes.sh [PACKAGE.deb] [SCENE...]
# PACKAGE.deb defaults to build-deb/SUITE/veldora_*_ARCH.deb, this machine's architecture
# (scripts/package.sh SUITE makes it); SCENE is gnome_shell or orca (default both), or another script of tests/e2e.
# VELDORA_SHOTS=<dir> keeps the screenshots and Orca's log there; VELDORA_DESKTOP_EXTRA
# names more packages to install in the root first (scripts/try-kwin.sh).
#
# The root is kept in $VELDORA_DESKTOP_ROOT_CACHE (default /var/cache/veldora-desktop) and
# made again when missing or more than a week old; the desktop packages live only there.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "$(id -u)" -ne 0 ]]; then
    exec sudo --preserve-env=VELDORA_DESKTOP_SUITE,VELDORA_DESKTOP_ROOT_CACHE,VELDORA_SHOTS,VELDORA_DESKTOP_EXTRA bash "$0" "$@"
fi

suite=${VELDORA_DESKTOP_SUITE:-trixie}
case $suite in
trixie) release='Debian 13' ;;
bookworm) release='Debian 12' ;;
*) echo "no desktop root for $suite" >&2; exit 2 ;;
esac
cache=${VELDORA_DESKTOP_ROOT_CACHE:-/var/cache/veldora-desktop}
root=$cache/$suite
# The shell, the portals a GNOME session runs, the screen reader with its speech, a
# private sound server to play into, and the tools the scenes drive them with.
packages=(tini ca-certificates procps dbus dbus-user-session libglib2.0-bin
    gnome-shell xwayland gnome-settings-daemon xdg-desktop-portal xdg-desktop-portal-gnome
    xdg-desktop-portal-gtk gsettings-desktop-schemas adwaita-icon-theme fonts-cantarell
    orca speech-dispatcher speech-dispatcher-espeak-ng at-spi2-core
    pulseaudio pulseaudio-utils libasound2-plugins xvfb xdotool x11-utils imagemagick python3)

deb=""
if [[ ${1:-} == *.deb ]]; then
    deb=$(realpath "$1")
    shift
else
    deb=$(ls "build-deb/$suite"/veldora_*_"$(dpkg --print-architecture)".deb 2>/dev/null | head -n 1 || true)
fi
[[ -f "$deb" ]] || { echo "no package: build it with 'bash scripts/package.sh $suite' or name it" >&2; exit 2; }
scenes=("$@")
((${#scenes[@]})) || scenes=(gnome_shell orca)

# shellcheck source=scripts/debian-archive.sh
source scripts/debian-archive.sh
keep_root "$root" "$suite" "$release desktop root" "${packages[@]}"

# The scenes and the package; the package is installed afresh each run.
work=$root/veldora
rm -rf "$work"
mkdir -p "$work/shots"
git ls-files -z --cached --others --exclude-standard tests/e2e | tar --null -T - -cf - | tar -xf - -C "$work"
cp "$deb" "$work/"
cat /etc/resolv.conf >"$root/etc/resolv.conf"

inside='
set -euo pipefail
cd /veldora
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-remove --reinstall ./veldora_*.deb >/dev/null
if [[ -n $VELDORA_DESKTOP_EXTRA ]]; then
    started=$SECONDS
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-remove $VELDORA_DESKTOP_EXTRA >/dev/null
    echo "installed $VELDORA_DESKTOP_EXTRA in $((SECONDS - started)) s"
fi
dpkg-query -W veldora
status=0
for scene in "$@"; do
    started=$SECONDS
    VELDORA_SHOTS=/veldora/shots bash "tests/e2e/$scene.sh" || status=1
    echo "$scene: $((SECONDS - started)) s"
done
# What is still running in this namespace but the runner itself: nothing should be.
ps -e -o pid=,ppid=,comm= | grep -v -w -e tini -e bash -e ps -e grep -e sed | sed "s/^/left running: /" || true
exit $status
'
status=0
enter_root "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    TERM="${TERM:-dumb}" VELDORA_DESKTOP_EXTRA="${VELDORA_DESKTOP_EXTRA:-}" bash -c "$inside" inside "${scenes[@]}" ||
    status=$?
if [[ -n "${VELDORA_SHOTS:-}" ]]; then
    mkdir -p "$VELDORA_SHOTS"
    cp -r "$work/shots/." "$VELDORA_SHOTS/"
fi
exit $status
