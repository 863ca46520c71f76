# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the Wayland scenes (tests/e2e/wayland_*.sh), not a test itself: the program
# on a real Wayland compositor, a headless Sway (lib/wayland.sh), on both routes a Wayland
# desktop may take: Qt's wayland platform, and X through the same compositor's XWayland.
# Input and screenshots go through the compositor. Source it as
# `source lib/wl_scenes.sh "$@"` (the bin dir the first argument); it starts Sway, and
# exits 77 (a skip) only when Sway cannot run here. It gives the program's start
# (start_app), the windows (find_window, gone, main_is), input (key, select_all,
# type_text, click), screenshot readers, and:
#   wl_each_platform SCENE [sound]   SCENE once per platform (VELDORA_WL_PLATFORMS,
#                                    default "wayland xcb"); with "sound", the first sound
#                                    stack's server and a 1 kHz tone into a sink whose
#                                    monitor is the default source, around it
#   wl_report NAME                   the exit: the program's logs on failure
# VELDORA_SHOTS=<dir> keeps the screenshots.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$here/lib/session.sh"
source "$here/lib/wayland.sh"
source "$here/lib/pixels.sh"
e2e_begin "${1:-}" veldora -- pactl pacat sox
rc=0
e2e_start_sway || rc=$?
if ((rc == 2)); then
    echo "SKIP: no Wayland compositor here"
    exit 77
fi
((rc == 0)) || exit 1
sway_version=$(swaymsg -t get_version | jq -r '"\(.major).\(.minor)"')
echo "Sway $sway_version, XWayland on $E2E_XWAYLAND_DISPLAY"
# Sway offers clients fractional scales (wp_fractional_scale_v1) from 1.8 on.
fractional_scales() { [[ $(printf '%s\n' 1.8 "$sway_version" | sort -V | head -n 1) == 1.8 ]]; }

failures=0
keep() { [[ -z "${VELDORA_SHOTS:-}" ]] || { mkdir -p "$VELDORA_SHOTS" && cp "$1" "$VELDORA_SHOTS/$2"; }; }

e2e_on_exit e2e_stop_app

# Starts the program on $platform; its log is $work/veldora-$platform.log.
start_app() {
    e2e_wl_park
    (
        export QT_QPA_PLATFORM=$platform
        if [[ $platform == xcb ]]; then
            export DISPLAY=$E2E_XWAYLAND_DISPLAY
        else
            unset DISPLAY
        fi
        e2e_run_program "$bin/veldora"
    ) >>"$work/veldora-$platform.log" 2>&1 &
    app_pid=$!
}

# Sets x y w h to the shown window titled $1 (a regex), waiting up to 60 s for it.
find_window() {
    e2e_wait_for 60 e2e_wl_window "$1" >/dev/null || return 1
    read -r x y w h < <(e2e_wl_window "$1")
}
gone() { ! e2e_wl_window "$1" >/dev/null; }
# The main window's rectangle ends with $1 ("W H", or "X Y W H").
main_is() { [[ " $(e2e_wl_window '^Veldora 1.0$')" == *" $1" ]]; }

# Keys and text go through the compositor's seat on the wayland route. XWayland
# translates a virtual keyboard's keys with the keymap it had before (wtype types nothing
# into its windows), so there they go through its own X server's XTEST, which XWayland
# hands to its clients like a keyboard's keys.
key() {
    if [[ $platform == xcb ]]; then
        DISPLAY=$E2E_XWAYLAND_DISPLAY xdotool key --clearmodifiers "$@"
    else
        e2e_wl_key "$@"
    fi
}
select_all() {
    if [[ $platform == xcb ]]; then
        key ctrl+a
    else
        wtype -M ctrl a -m ctrl
    fi
}
type_text() {
    if [[ $platform == xcb ]]; then
        DISPLAY=$E2E_XWAYLAND_DISPLAY xdotool type --delay 10 -- "$1"
    else
        e2e_wl_type "$1"
    fi
}

# Clicks at ($1,$2) of the main window.
click() {
    e2e_wl_click $((main_x + $1)) $((main_y + $2))
    e2e_wl_park
}

# The screen picture (291 x 330 at the top left of the main window) at scale 1.
screen_shot() {
    e2e_wl_shot "$work/$1.png" "$main_x" "$main_y" 291 330
    keep "$work/$1.png" "$platform-$1.png"
}
# Sets top, bottom, count of the trace's white pixels in the trace columns, and first:
# "top bottom" of them in the trace's first 4 columns.
trace_rows() {
    screen_shot "$1"
    read -r top bottom count < <(white_rows "$work/$1.png" 272x330+10+0)
    first=$(leading_rows "$work/$1.png" 272x330+10+0 4)
}
near() { (($1 >= 0 && $1 - $2 <= 2 && $2 - $1 <= 2)); }
amplitude=0.5
deflection=$(awk -v a="$amplitude" 'BEGIN { printf "%d", int(a * 32767 * 65536 / 28180480) }')
shows_sine_at() { trace_rows "sine$1" && near "$top" $(($1 - deflection)) && near "$bottom" $(($1 + deflection)); }
shows_line_at() { trace_rows "line$1" && ((top == $1 && bottom == $1 && count >= 260)); }
# The frozen sine moved up, its extent kept.
shifted() { trace_rows paused-moved && ((top < 160 - deflection - 5)) && near $((bottom - top)) $((2 * deflection)); }
shows_picture() { screen_shot "$1" && same_pixels "$work/$1.png" "$2"; }
# The trace's start in 5 shots in a row: above the level line (160) for "+", below it
# for "-", leaving it by more than 2 rows.
starts_on_side() {
    local i lo hi
    for i in 1 2 3 4 5; do
        trace_rows "start$1"
        read -r lo hi <<<"$first"
        [[ -n "$lo" ]] || return 1
        case $1 in
        plus) ((hi <= 160 && lo < 158)) || return 1 ;;
        minus) ((lo >= 160 && hi > 162)) || return 1 ;;
        esac
    done
}
# Return pressed until the box titled "Veldora" is gone: the first press may come before
# the box has the keyboard.
answered() { key Return && e2e_wait_for 1 gone '^Veldora$'; }

# The main window names its desktop file, as a shell matches windows to launchers: by
# the Wayland app_id, and on XWayland by the X class (the desktop entry's StartupWMClass).
desktop_id=$(basename "$(ls "$here"/../../packaging/*.desktop)" .desktop)
startup_class=$(sed -n 's/^StartupWMClass=//p' "$here/../../packaging/$desktop_id.desktop")
names_desktop_file() {
    local app_id class
    read -r app_id class < <(swaymsg -t get_tree | jq -r 'first(.. | objects | select(.pid? != null and .name == "Veldora 1.0"))
        | "\(.app_id // "-") \(.window_properties.class // "-")"')
    echo "app_id $app_id, X class $class"
    if [[ $platform == wayland ]]; then
        [[ $app_id == "$desktop_id" ]] || e2e_fail "the window's app_id is '$app_id', not the desktop file's name $desktop_id"
    else
        [[ $class == "${startup_class:-$desktop_id}" ]] ||
            e2e_fail "the window's X class is '$class', not the desktop file's ${startup_class:+StartupWMClass }'${startup_class:-$desktop_id}'"
    fi
}


# The first stack this machine has: the others add nothing to what is drawn.
routes=$(e2e_routes)
route=${routes%%$'\n'*}
[[ -n "$route" ]] || { echo "no sound server is installed" >&2; exit 1; }

wl_each_platform() {
    local scene=$1 sound=${2:-}
    for platform in ${VELDORA_WL_PLATFORMS:-wayland xcb}; do
        echo "===== platform $platform"
        if [[ -n "$sound" ]]; then
            e2e_enter_route "$route" || { e2e_fail "the sound server did not start"; continue; }
            e2e_capture_sink veldora_wl || e2e_fail "the monitor did not become the default source"
            e2e_play veldora_wl "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 120 sine 1000 vol $amplitude 2>/dev/null" 200
        fi
        "$scene"
        if [[ -n "$sound" ]]; then
            e2e_stop_player
            e2e_stop_server
        fi
    done
}

wl_report() {
    if ((failures != 0)); then
        cat "$work"/veldora-*.log
        echo "$failures Wayland check(s) failed ($1)"
        exit 1
    fi
    echo "Wayland checks passed ($1)"
}
