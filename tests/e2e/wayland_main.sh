#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The program on a headless Sway (lib/wl_scenes.sh), Qt's wayland platform and XWayland:
# the main window, titled "Veldora 1.0", at its designed client size, naming its desktop
# file (the Wayland app_id, on XWayland the X class); a played tone as a live trace;
# Pause freezes it and the Trigger Y slider moves the frozen trace; Revers and Clear
# repaint with the shipped pictures; the trigger buttons work; the File Name dialog and
# the About box open, take input and close; the export dialog saves a BMP; "Restore
# window size" restores the size the user changed. On Wayland the dialogs open over the
# main window, wherever the compositor put it.
# Usage: wayland_main.sh <bin dir>; VELDORA_WL_PLATFORMS picks the routes, VELDORA_SHOTS=<dir>
# keeps the screenshots. By hand:
#     VELDORA_SHOTS=/tmp/wayland-shots bash tests/e2e/wayland_main.sh build/bin
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/wl_scenes.sh" "$@"

# --- the main window with a tone, and what its panel does.
main_scene() {
    start_app
    find_window '^Veldora 1.0$' || { e2e_fail "main window did not appear"; return 0; }
    gone '^Veldora$' || e2e_fail "an error box is shown"
    echo "main window ${w}x$h at $x,$y"
    names_desktop_file
    # XWayland goes on reading keys with the keymap of the keyboard that typed last (the
    # wayland route's virtual one): a key through its own X server first, as the start-up
    # error box's Return did when one script ran every scene, sets it back.
    [[ $platform != xcb ]] || key shift
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

wl_each_platform main_scene sound
wl_report "main window"
