#!/usr/bin/env bash
# The program on a real Wayland compositor, a headless Sway (lib/wayland.sh), on both
# routes a Wayland desktop may take: Qt's wayland platform, and X through the same
# compositor's XWayland. Input and screenshots go through the compositor. On each:
#  - start-up with no sound server: the error box shows its text and Return closes it;
#  - the main window, titled "Veldora 1.0", at its designed client size, naming its
#    desktop file (the Wayland app_id, on XWayland the X class); a played tone
#    as a live trace; Pause freezes it and the Trigger Y slider moves the frozen trace;
#    Revers and Clear repaint with the shipped pictures; the trigger buttons work;
#  - the File Name dialog and the About box open, take input and close; the export
#    dialog saves a BMP; "Restore window size" restores the size the user changed;
#  - at output scale 1, 1.5 and 2 the screen's grid lines keep one width.
# On Wayland the dialogs open over the main window, wherever the compositor put it.
# Usage: wayland.sh <bin dir>. Exits 77 (a skip) only when Sway cannot run here.
# VELDORA_WL_PLATFORMS picks the routes (default: "wayland xcb").
# VELDORA_SHOTS=<dir> keeps the screenshots.
set -euo pipefail
bin=$(cd "${1:?usage: wayland.sh <bin dir>}" && pwd)
[[ -x "$bin/veldora" ]] || { echo "missing $bin/veldora" >&2; exit 1; }
for tool in pactl pacat sox; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
convert=/usr/bin/convert
here=$(dirname "${BASH_SOURCE[0]}")

E2E_CACHE=${E2E_CACHE:-$bin/../e2e-cache}
source "$here/lib/session.sh"
source "$here/lib/wayland.sh"
source "$here/lib/pixels.sh"
e2e_make_workdir
work=$E2E_WORK
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

# --- start-up with no sound server: the error box, answered with Return.
error_box_scene() {
    start_app
    find_window '^Veldora$' || { e2e_fail "no error box at start-up"; return 0; }
    local box=$work/error-box.png
    e2e_wait_for 10 e2e_wl_shot "$box" "$x" "$y" "$w" "$h" || true
    keep "$box" "$platform-error-box.png"
    local text
    text=$(dark_pixels "$box" "$((w - 60))x30+50+10")
    echo "error box ${w}x$h, $text dark pixels where its text is"
    ((text >= 150)) || e2e_fail "the error box shows no text ($text dark pixels)"
    e2e_wait_for 20 answered || e2e_fail "Return did not close the error box"
    find_window '^Veldora 1.0$' || e2e_fail "no main window after the error box"
    e2e_stop_app
}

# --- the main window with a tone, and what its panel does.
main_scene() {
    start_app
    find_window '^Veldora 1.0$' || { e2e_fail "main window did not appear"; return 0; }
    gone '^Veldora$' || e2e_fail "an error box is shown"
    echo "main window ${w}x$h at $x,$y"
    names_desktop_file
    [[ "${w}x$h" == 500x330 ]] || e2e_fail "main window is ${w}x$h, expected 500x330"
    main_x=$x main_y=$y

    e2e_wait_for 30 shows_sine_at 160 || e2e_fail "no live sine: rows $top..$bottom, expected $((160 - deflection))..$((160 + deflection))"
    echo "live tone: white rows $top..$bottom"

    # Pause, then silence: the trace stays the tone's, and Trigger Y's slider (panel
    # 8,120, 169 wide, 0..200 at 100) dragged up moves it, still a sine.
    click $((291 + 56)) 312
    e2e_play veldora_wl "cat /dev/zero" 200
    e2e_wl_drag $((main_x + 291 + 92)) $((main_y + 132)) $((main_x + 291 + 62)) $((main_y + 132))
    e2e_wl_park
    local moved=0
    e2e_wait_for 20 shifted && moved=1
    echo "paused and dragged: white rows $top..$bottom"
    ((moved)) || e2e_fail "the frozen sine did not move with the slider (rows $top..$bottom)"
    # Its "C" button puts it back at the middle.
    click $((291 + 188)) 136
    e2e_wait_for 20 shows_sine_at 160 || e2e_fail "C did not put the frozen sine back: rows $top..$bottom"

    # Revers: the reversed picture; again: the normal one; each as shipped.
    click $((291 + 180)) 232
    e2e_wait_for 20 shows_picture reversed "$bin/background2.bmp" || e2e_fail "Revers did not show background2.bmp"
    click $((291 + 180)) 232
    e2e_wait_for 20 shows_picture normal "$bin/background.bmp" || e2e_fail "Revers again did not show background.bmp"
    # On again: the silence played meanwhile, a flat line.
    click $((291 + 56)) 312
    e2e_wait_for 30 shows_line_at 160 || e2e_fail "no flat line after Pause again: rows $top..$bottom"
    # Clear, paused: the background alone.
    click $((291 + 56)) 312
    click $((291 + 152)) 288
    e2e_wait_for 20 shows_picture cleared "$bin/background.bmp" || e2e_fail "Clear did not show background.bmp"
    click $((291 + 56)) 312

    # The trigger buttons: each click checks its button, seen in its indicator.
    local radio
    for radio in "202 plus-minus" "222 minus" "240 plus"; do
        set -- $radio
        e2e_wl_shot "$work/radio-before.png" $((main_x + 291 + 128)) $((main_y + $1 - 6)) 13 13
        click $((291 + 136)) "$1"
        radio_changed() {
            e2e_wl_shot "$work/radio-after.png" $((main_x + 291 + 128)) $((main_y + $1 - 6)) 13 13 &&
                ! same_pixels "$work/radio-before.png" "$work/radio-after.png"
        }
        # "+/-" is checked from the start: clicking it changes nothing.
        [[ $2 == plus-minus ]] || e2e_wait_for 20 radio_changed "$1" || e2e_fail "the \"$2\" trigger button did not check"
    done
    click $((291 + 136)) 202

    dialogs_scene
    restore_size_scene
    kill -0 "$app_pid" || e2e_fail "the program ended"
    e2e_stop_app
}

# A dialog over the main window: on Wayland the compositor centres it there.
centred_on_main() {
    [[ $platform == wayland ]] || return 0
    local dx=$((2 * x + w - 2 * main_x - 500)) dy=$((2 * y + h - 2 * main_y - 330))
    ((dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2)) ||
        e2e_fail "$1 at $x,$y (${w}x$h) is not over the main window at $main_x,$main_y"
}

dialogs_scene() {
    # File Name: a new name typed and taken with Ok is the file that Save writes.
    click $((291 + 152)) 312
    find_window '^File Name$' || { e2e_fail "the File Name dialog did not open"; return 0; }
    echo "File Name dialog ${w}x$h at $x,$y"
    centred_on_main "the File Name dialog"
    local trace=$work/trace-$platform.bin
    e2e_wl_click $((x + 88)) $((y + 18))
    select_all
    type_text "$trace"
    e2e_wl_click $((x + 156)) $((y + 48))
    e2e_wait_for 20 gone '^File Name$' || e2e_fail "Ok did not close the File Name dialog"
    click $((291 + 56)) 288
    e2e_wait_for 20 test -s "$trace" || e2e_fail "Save did not write the typed name $trace"

    # The About box: opened by the information icon, closed as its close button does.
    click $((291 + 188)) 20
    find_window '^Form3$' || { e2e_fail "the About box did not open"; return 0; }
    echo "About box ${w}x$h at $x,$y"
    [[ "${w}x$h" == 224x86 ]] || e2e_fail "the About box is ${w}x$h, expected 224x86"
    centred_on_main "the About box"
    local about=$work/about.png
    e2e_wl_shot "$about" "$x" "$y" "$w" "$h"
    keep "$about" "$platform-about.png"
    local text
    text=$(dark_pixels "$about" 150x24+72+8)
    ((text >= 15)) || e2e_fail "the About box shows no title text ($text dark pixels)"
    e2e_wl_close '^Form3$'
    e2e_wait_for 20 gone '^Form3$' || e2e_fail "the About box did not close"

    # The export dialog: a name typed, Return, a BMP of the screen picture.
    click $((291 + 188)) 52
    find_window '^Save' || { e2e_fail "the export dialog did not open"; return 0; }
    echo "export dialog ${w}x$h at $x,$y"
    local export=$work/export-$platform.bmp
    select_all
    type_text "$export"
    key Return
    e2e_wait_for 20 gone '^Save' || e2e_fail "the export dialog did not close"
    e2e_wait_for 20 test -s "$export" || { e2e_fail "no picture saved at $export"; return 0; }
    local kind
    kind=$("$convert" "$export" -format '%m %wx%h' info: 2>/dev/null || true)
    [[ $kind == "BMP 291x330" || $kind == "BMP3 291x330" ]] || e2e_fail "the export is '$kind', expected a 291x330 BMP"
}

# The user makes the window larger through the compositor; the icon restores it.
restore_size_scene() {
    swaymsg -q '[title="^Veldora 1.0$"] resize set 640 420'
    e2e_wait_for 20 main_is "640 420" ||
        { e2e_fail "the compositor could not resize the window: $(e2e_wl_window '^Veldora 1.0$')"; return 0; }
    # The compositor may move the window as it resizes it.
    find_window '^Veldora 1.0$'
    e2e_wl_click $((x + 640 - 209 + 188)) $((y + 196))
    e2e_wl_park
    e2e_wait_for 20 main_is "500 330" ||
        e2e_fail "Restore window size left $(e2e_wl_window '^Veldora 1.0$')"
}

# A shot of the window x y w h into $1 whose screen field is black at $2 ("X,Y").
painted() { e2e_wl_shot "$1" "$x" "$y" "$w" "$h" && [[ $(pixel "$1" "$2") == 'srgb(0,0,0)' ]]; }

# --- the grid at each output scale: one width for every line, 2 pixels at scale 2.
scale_scene() {
    local scale=$1
    e2e_sway_scale "$scale"
    start_app
    find_window '^Veldora 1.0$' || { e2e_fail "scale $scale: main window did not appear"; return 0; }
    local shot=$work/scale-$scale.png row screen field
    row=$(awk -v s="$scale" 'BEGIN { printf "%d", 30 * s }')
    screen=$(awk -v s="$scale" 'BEGIN { printf "%d", 291 * s }')
    field=$(awk -v s="$scale" 'BEGIN { printf "%d,%d", 20 * s, 20 * s }')
    e2e_wait_for 30 painted "$shot" "$field" || e2e_fail "scale $scale: the screen was never painted"
    keep "$shot" "$platform-scale-$scale.png"
    local runs count distinct
    runs=$(grid_runs "$shot" "$row" "$screen")
    echo "scale $scale: ${w}x$h, grid line widths along row $row: $runs"
    count=$(wc -w <<<"$runs")
    distinct=$(tr ' ' '\n' <<<"$runs" | sed '/^$/d' | sort -u | tr '\n' ' ')
    if [[ $scale == 1.5 && $platform == xcb ]]; then
        echo "KNOWN LIMIT: XWayland windows are drawn at 1 and scaled by the compositor: at 1.5 the grid blurs"
        e2e_stop_app
        e2e_sway_scale 1
        return 0
    fi
    if [[ $scale == 1.5 ]] && ! fractional_scales; then
        # Such a compositor has the client draw at 2 and scales that down itself.
        echo "KNOWN LIMIT: Sway $sway_version gives clients no fractional scale (1.8 does): at 1.5 the compositor blurs the grid"
        e2e_stop_app
        e2e_sway_scale 1
        return 0
    fi
    ((count == 11)) || e2e_fail "scale $scale: $count grid lines, expected 11"
    [[ $(wc -w <<<"$distinct") -eq 1 ]] || e2e_fail "scale $scale: grid lines of different widths ($runs)"
    [[ $scale != 2 || $distinct == "2 " ]] || e2e_fail "scale 2: lines not 2 pixels wide ($runs)"
    e2e_stop_app
    e2e_sway_scale 1
}

# The first stack this machine has: the others add nothing to what is drawn.
routes=$(e2e_routes)
route=${routes%%$'\n'*}
[[ -n "$route" ]] || { echo "no sound server is installed" >&2; exit 1; }
for platform in ${VELDORA_WL_PLATFORMS:-wayland xcb}; do
    echo "===== platform $platform"
    error_box_scene
    e2e_enter_route "$route" || { e2e_fail "the sound server did not start"; continue; }
    e2e_capture_sink veldora_wl || e2e_fail "the monitor did not become the default source"
    e2e_play veldora_wl "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 120 sine 1000 vol $amplitude 2>/dev/null" 200
    main_scene
    for scale in 1 1.5 2; do
        scale_scene "$scale"
    done
    e2e_stop_player
    e2e_stop_server
done

if ((failures != 0)); then
    cat "$work"/veldora-*.log
    echo "$failures Wayland check(s) failed"
    exit 1
fi
echo "Wayland checks passed"
