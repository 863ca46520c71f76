#!/usr/bin/env bash
# The Debian package end to end: checks its metadata (desktop entry, metainfo, lintian),
# installs it, and runs the installed program through its bin/ symlink on a virtual X
# display with a 1 kHz tone from a private PulseAudio daemon. Screenshots show a live
# trace; Clear the shipped normal background, pixel for pixel, and no error box; Revers
# the reversed background (white field, grey grid, black labels) and then a green trace;
# a second Revers the normal scheme with a white trace again.
#
# Usage: installed_package.sh <package build folder> (scripts/package.sh: build-deb).
# With CI=true the package is installed with apt; elsewhere it is only unpacked into
# the build folder (dpkg -x), so a developer's desktop is left alone.
# Set VELDORA_SHOTS=<dir> to keep the screenshots.
set -euo pipefail
build=$(cd "${1:?usage: installed_package.sh <package build folder>}" && pwd)
debs=("$build"/veldora_*.deb)
[[ -f "${debs[0]}" && ${#debs[@]} -eq 1 ]] || { echo "expected one veldora_*.deb in $build" >&2; exit 1; }
deb=${debs[0]}
for tool in dpkg-deb lintian desktop-file-validate appstreamcli man pulseaudio pactl pacat sox Xvfb xdotool import compare; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
convert=/usr/bin/convert

source "$(dirname "${BASH_SOURCE[0]}")/lib/session.sh"
failures=0

echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends Recommends

# --- metadata, from the package's own files
meta=$(mktemp -d)
e2e_on_exit 'rm -rf "$meta"'
dpkg-deb -x "$deb" "$meta"
desktop-file-validate "$meta"/usr/share/applications/*.desktop || e2e_fail "desktop entry is not valid"
appstreamcli validate --no-net "$meta"/usr/share/metainfo/*.metainfo.xml || e2e_fail "metainfo is not valid"
echo "lintian:"
lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges' || e2e_fail "lintian reports errors"
rm -rf "$meta"

# --- install
if [[ "${CI:-}" == "true" ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-remove "$deb"
    root=""
else
    root=$build/installed
    rm -rf "$root"
    dpkg-deb -x "$deb" "$root"
    echo "unpacked into $root"
fi
program=$root/usr/bin/veldora
private=$root/usr/lib/veldora

[[ "$(readlink "$program")" == "../lib/veldora/veldora" ]] || e2e_fail "bin/veldora is not the relative link: $(readlink "$program")"
for f in veldora libveldorasound.so background.bmp background2.bmp; do
    [[ -f "$private/$f" ]] || e2e_fail "missing $private/$f"
done
for f in background.bmp background2.bmp; do
    [[ ! -f "$build/bin/$f" ]] || cmp -s "$private/$f" "$build/bin/$f" || e2e_fail "installed $f differs from the build's"
done
for size in 16 22 24 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/veldora.png
    [[ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" == "${size}x${size}" ]] || e2e_fail "icon $icon missing or of the wrong size"
done
[[ -f $root/usr/share/icons/hicolor/scalable/apps/veldora.svg ]] || e2e_fail "scalable icon missing"
man -l "$root/usr/share/man/man1/veldora.1.gz" 2>/dev/null | grep -q "veldora - oscilloscope for the sound card" ||
    e2e_fail "man page does not render"

# --- the installed program, live
e2e_make_workdir
work=$E2E_WORK
e2e_start_pulse
e2e_capture_sink veldora_installed
e2e_play veldora_installed "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 120 sine 1000 vol 0.5 2>/dev/null"
e2e_start_xvfb 191 240

"$program" >"$work/veldora.log" 2>&1 &
app_pid=$!
e2e_on_exit 'e2e_stop_process "$app_pid"'
window=$(e2e_main_window 30) || true
[[ -n "$window" ]] || { echo "main window did not appear"; cat "$work/veldora.log"; exit 1; }

error_box() { xdotool search --onlyvisible --name '^Veldora$' >/dev/null 2>&1; }
# Client pixels of the panel's buttons (the panel starts at x = 291).
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
pause() { click 347 312; }
clear_screen() { click 443 288; }
revers() { click 471 232; }

shot=""
take() {   # name: a screenshot, and its screen picture (291 x 330) as screen.png
    shot=$work/$1.png
    import -window "$window" "$shot"
    "$convert" "$shot" -crop 291x330+0+0 +repage "$work/screen.png"
}
keep() { [[ -z "${VELDORA_SHOTS:-}" ]] || { mkdir -p "$VELDORA_SHOTS" && cp "$shot" "$VELDORA_SHOTS/installed-$1.png"; }; }
# Pixels of the given colour in the trace's columns (10..281).
count() { "$convert" "$work/screen.png" -crop 272x330+10+0 +repage txt:- | grep -c "#$1" || true; }
# Pixels of the screen (or of rows FROM..TO) that differ from a picture.
differing() {   # picture [from to]
    local geometry="291x330+0+0"
    [[ -z "${2:-}" ]] || geometry="291x$(($3 - $2 + 1))+0+$2"
    "$convert" "$work/screen.png" -crop "$geometry" +repage "$work/a.png"
    "$convert" "$1" -crop "$geometry" +repage "$work/b.png"
    compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 || true
}
# Polls CONDITION (a command) for up to 15 seconds, taking a shot named NAME each time.
wait_for() {   # name condition...
    local name=$1 i
    shift
    for i in $(seq 60); do
        take "$name"
        "$@" && { keep "$name"; return 0; }
        sleep 0.25
    done
    keep "$name"
    return 1
}

live_white() { (($(count FFFFFF) >= 200)); }
wait_for tone live_white || e2e_fail "no live white trace"
echo "live trace: $(count FFFFFF) white pixels"

# Frozen, Clear shows the bare normal background: the shipped picture, pixel for pixel.
pause
clear_screen
bare_normal() { [[ "$(differing "$private/background.bmp")" == 0 ]]; }
wait_for clear bare_normal || e2e_fail "after Clear the screen differs from background.bmp in $(differing "$private/background.bmp") pixels"
error_box && e2e_fail "an error box is shown after Clear"

# Revers, still frozen: the bare reversed background.
revers
bare_reversed() { [[ "$(differing "$private/background2.bmp")" == 0 ]]; }
wait_for revers-bare bare_reversed || e2e_fail "after Revers the screen differs from background2.bmp in $(differing "$private/background2.bmp") pixels"
error_box && e2e_fail "an error box is shown after Revers"
# Running again: a green trace over it; above and below the tone's rows the reversed
# picture is untouched (white field, grey grid, black labels).
pause
green_trace() { (($(count 008000) >= 200)); }
wait_for revers green_trace || e2e_fail "no green trace after Revers"
echo "reversed: $(count 008000) green pixels, $(differing "$private/background2.bmp" 0 100) differing in rows 0..100"
[[ "$(differing "$private/background2.bmp" 0 100)" == 0 ]] || e2e_fail "rows 0..100 are not the reversed background"
[[ "$(differing "$private/background2.bmp" 230 329)" == 0 ]] || e2e_fail "rows 230..329 are not the reversed background"

# A second Revers: the normal scheme, white trace.
revers
normal_again() { (($(count FFFFFF) >= 200 && $(count 008000) == 0)) && [[ "$(differing "$private/background.bmp" 0 100)" == 0 ]]; }
wait_for revers-back normal_again || e2e_fail "a second Revers did not go back to the normal scheme"
error_box && e2e_fail "an error box is shown"

kill -0 "$app_pid" || e2e_fail "the program ended"
[[ "$failures" -eq 0 ]] || { cat "$work/veldora.log"; exit 1; }
echo "installed package checks passed"
