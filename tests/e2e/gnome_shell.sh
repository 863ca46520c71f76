#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The installed program under GNOME Shell, headless on a virtual monitor, in a session bus
# and runtime folder of its own with the settings portal running, as a GNOME session has
# it. The program is launched through its installed desktop entry; the shell itself (its
# Eval, in the unsafe mode meant for tests) names the window's application, which must be
# the desktop entry; the File Name dialog and the About box open over the main window, as
# transients of it; the shell's screenshots are taken of each; the shell's close ends the
# program with status 0. Everything it starts is stopped by pid.
# Usage: gnome_shell.sh (the package installed); VELDORA_SHOTS=<dir> keeps the screenshots.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
desktop_file=/usr/share/applications/org.veldora.Veldora.desktop
source "$here/lib/session.sh"
e2e_installed_begin gnome-shell gdbus gio dbus-run-session /usr/libexec/xdg-desktop-portal \
    /usr/libexec/xdg-desktop-portal-gnome pulseaudio pactl python3 "$desktop_file"
export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=gnome
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
source "$here/lib/session_bus.sh"
e2e_bus_activation_env XDG_CURRENT_DESKTOP XDG_SESSION_TYPE XDG_SESSION_DESKTOP

# A system bus of its own, empty: the shell needs one to start (logind, accounts), and
# goes on without the services a real system has there.
cat >"$E2E_WORK/system-bus.conf" <<CONF
<busconfig>
  <type>system</type>
  <listen>unix:path=$XDG_RUNTIME_DIR/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/><allow user="*"/></policy>
</busconfig>
CONF
system_bus_pid=""
dbus-daemon --config-file="$E2E_WORK/system-bus.conf" --nofork --nopidfile >"$E2E_WORK/system-bus.log" 2>&1 &
system_bus_pid=$!
e2e_on_exit 'e2e_stop_process "$system_bus_pid"'
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system_bus_socket
e2e_wait_for 10 test -S "$XDG_RUNTIME_DIR/system_bus_socket" || { echo "FAIL: no system bus"; exit 1; }

# The shell's unsafe mode, in which it answers Eval and lets any caller take screenshots,
# is a switch of Looking Glass in GNOME 48, no longer an option of its command line: a
# test extension in the private home turns it on when the shell enables it. GNOME 43
# (Debian 12) loads extensions written as scripts, not modules: its own copy.
extension=veldora-tests@veldora.org
extension_dir=$here/gnome
(($(gnome-shell --version | tr -dc '0-9.' | cut -d. -f1) < 45)) && extension_dir=$here/gnome43
mkdir -p "$HOME/.local/share/gnome-shell/extensions/$extension"
cp "$extension_dir/metadata.json" "$extension_dir/extension.js" "$HOME/.local/share/gnome-shell/extensions/$extension/"
gsettings set org.gnome.shell enabled-extensions "['$extension']"
gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'

shell_pid=""
gnome-shell --version
# With XWayland, as a session has it, where it is installed.
x11=(--no-x11)
if command -v Xwayland >/dev/null; then
    x11=()
    # XWayland's socket folder, which a system makes at boot.
    [[ -d /tmp/.X11-unix ]] || install -d -m 1777 /tmp/.X11-unix
fi
gnome-shell --headless --wayland "${x11[@]}" --virtual-monitor 1280x800 \
    >"$work/shell.log" 2>&1 &
shell_pid=$!
e2e_on_exit 'e2e_stop_process "$shell_pid"'

# The shell's Eval: prints the result's JSON; false when the shell refused or threw.
shell_eval() {
    local reply
    reply=$(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval "$1" 2>/dev/null) || return 1
    [[ $reply == "(true, "* ]] || { echo "Eval: $reply" >&2; return 1; }
    reply=${reply#"(true, '"}
    printf '%s\n' "${reply%"')"}"
}
e2e_wait_for 60 shell_eval 'true' >/dev/null 2>&1 || {
    echo "FAIL: GNOME Shell did not answer"
    cat "$work/shell.log"
    exit 1
}
export WAYLAND_DISPLAY=wayland-0
e2e_bus_activation_env WAYLAND_DISPLAY DBUS_SYSTEM_BUS_ADDRESS
echo "GNOME Shell answers Eval"
# XWayland's display, which the shell gives the programs it starts.
if ((${#x11[@]} == 0)); then
    display=$(shell_eval 'GLib.getenv("DISPLAY") ?? ""')
    xauthority=$(shell_eval 'GLib.getenv("XAUTHORITY") ?? ""')
    display=${display//\"/} xauthority=${xauthority//\"/}
    [[ -n $display ]] || e2e_fail "the shell started no XWayland"
    export DISPLAY=$display
    [[ -z $xauthority ]] || export XAUTHORITY=$xauthority
    e2e_bus_activation_env DISPLAY ${xauthority:+XAUTHORITY}
fi
# The program runs on Wayland, but through XWayland where Qt cannot draw GNOME's title bar
# (before 6.8: Debian 12's 6.4) and XWayland is there.
qt_version=$(dpkg-query -W -f '${Version}\n' 'libqt6core6*' 2>/dev/null | grep -m 1 . || true)
expected_client=wayland
[[ -n ${DISPLAY:-} ]] && dpkg --compare-versions "$qt_version" lt 6.8 && expected_client=x11
echo "XWayland ${DISPLAY:-none}, Qt $qt_version: a $expected_client client expected"

# The desktop as a user finds it after the start: the overview closed, no banner over it
# (the one the unsafe mode raised).
started_up() { [[ $(shell_eval 'Main.layoutManager._startingUp') == false ]]; }
e2e_wait_for 60 started_up 2>/dev/null || e2e_fail "the shell did not finish its start"
shell_eval 'Main.overview.hide(); Main.messageTray.bannerBlocked = true; true' >/dev/null
overview_closed() { [[ $(shell_eval 'Main.overview.visible || Main.overview.animationInProgress') == false ]]; }
e2e_wait_for 20 overview_closed || e2e_fail "the overview did not close"

# The settings portal, as a session runs it: the window's buttons come from the desktop's
# layout, which Qt reads there.
portal_pids=()
/usr/libexec/xdg-desktop-portal-gnome >"$work/portal-gnome.log" 2>&1 &
portal_pids+=($!)
/usr/libexec/xdg-desktop-portal >"$work/portal.log" 2>&1 &
portal_pids+=($!)
stop_portals() {
    local pid
    for pid in "${portal_pids[@]}"; do e2e_stop_process "$pid"; done
    # The portals' back ends, which the bus started, go while the shell still runs.
    e2e_stop_bus_services
}
e2e_on_exit stop_portals
portal_layout() {
    gdbus call --session --dest org.freedesktop.portal.Desktop --object-path /org/freedesktop/portal/desktop \
        --method org.freedesktop.portal.Settings.Read org.gnome.desktop.wm.preferences button-layout 2>/dev/null
}
e2e_wait_for 30 portal_layout >/dev/null || e2e_fail "the settings portal did not answer"
echo "settings portal: button-layout $(portal_layout || true)"

# Launched from its desktop entry. gio exits at once; the program is left to the reaper,
# which writes its exit status.
exits=$work/exits
: >"$exits"
reaper_pid=""
e2e_on_exit 'e2e_stop_process "$reaper_pid"'
e2e_on_exit e2e_stop_app
launch() {
    e2e_stop_process "$reaper_pid"
    python3 "$here/lib/reaper.py" "$exits" gio launch "$desktop_file" >>"$work/veldora.log" 2>&1 &
    reaper_pid=$!
    e2e_wait_for 30 pgrep -x -P "$reaper_pid" veldora >/dev/null ||
        { echo "FAIL: the desktop entry did not start the program"; cat "$work/veldora.log"; exit 1; }
    app_pid=$(pgrep -x -P "$reaper_pid" veldora)
    echo "launched: pid $app_pid"
}
# The shell's close of the main window ends the program, with status 0.
close_main() {
    close_window 'Veldora 1.0'
    ended() { grep -q "^$app_pid " "$exits"; }
    if e2e_wait_for 30 ended; then
        status=$(awk -v pid="$app_pid" '$1 == pid { print $3 }' "$exits")
        echo "the shell's close ended the program: status $status"
        [[ $status == 0 ]] || e2e_fail "the program ended with status $status after the shell's close"
        app_pid=""
    else
        e2e_fail "the shell's close did not end the program"
    fi
}
# JavaScript naming the shown window titled $1 (exactly).
window_js() { printf 'global.get_window_actors().map(a => a.meta_window).find(w => w.get_title() === %s)' "'$1'"; }
# Prints "x y w h" of that window's frame (its title bar included); false when there is
# none, or none shown yet (GNOME 43 lists a window before it has a size).
frame_of() {
    local rect
    rect=$(shell_eval "(() => { const w = $(window_js "$1"); if (!w) return ''; const r = w.get_frame_rect(); return r.width > 0 ? [r.x, r.y, r.width, r.height].join(' ') : ''; })()") || return 1
    rect=${rect//\"/}
    [[ -n $rect ]] && echo "$rect"
}
screenshot() {
    local file=$work/$1 reply
    reply=$(gdbus call --session --dest org.gnome.Shell.Screenshot --object-path /org/gnome/Shell/Screenshot \
        --method org.gnome.Shell.Screenshot.Screenshot false false "$file" 2>&1) ||
        { e2e_fail "the shell's screenshot failed: $reply"; return 0; }
    [[ -s $file ]] || { e2e_fail "the shell wrote no screenshot: $reply"; return 0; }
    keep "$file" "gnome-$1"
    echo "screenshot: $1"
}
close_window() {
    shell_eval "$(window_js "$1").delete(global.get_current_time())" >/dev/null || e2e_fail "the shell could not close $1"
}
shown() { frame_of "$1" >/dev/null; }
gone() { ! frame_of "$1" >/dev/null; }


# --- Without a sound server: the start-up box, alone (no window to be over yet). Its OK
# button shows no icon, as GNOME's own buttons: green (the tick Qt's theme would draw)
# inside the button's corner of the box is a fault.
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$HOME/.asoundrc"
launch
if e2e_wait_for 60 shown 'Veldora'; then
    read -r x y w h < <(frame_of 'Veldora')
    echo "start-up box: ${w}x$h at $x,$y"
    screenshot startup-box.png
    green=$(convert "$work/startup-box.png" -crop "100x40+$((x + w - 105))+$((y + h - 45))" +repage txt:- |
        awk -F'[(),]' 'NR > 1 && $4 > $3 + 8 && $4 > $5 + 20 { n++ } END { print n + 0 }')
    echo "green pixels on the OK button: $green"
    ((green < 10)) || e2e_fail "the start-up box's OK button shows an icon ($green green pixels)"
    close_window 'Veldora'
    e2e_wait_for 60 shown 'Veldora 1.0' || e2e_fail "no main window after the start-up box"
    close_main
else
    e2e_fail "no start-up box without a sound server"
fi

# --- Sound, as a user has it: the program starts without its error box.
e2e_start_server pulse
e2e_capture_sink veldora_gnome
launch
e2e_wait_for 60 frame_of 'Veldora 1.0' >/dev/null ||
    { e2e_fail "the main window did not appear"; tail -n 20 "$work/shell.log" "$work/veldora.log"; exit 1; }
read -r main_x main_y main_w main_h < <(frame_of 'Veldora 1.0')
echo "main window frame ${main_w}x$main_h at $main_x,$main_y"

app_id=$(shell_eval "Shell.WindowTracker.get_default().get_window_app($(window_js 'Veldora 1.0')).get_id()")
wm_class=$(shell_eval "$(window_js 'Veldora 1.0').get_wm_class()")
client=$(shell_eval "$(window_js 'Veldora 1.0').get_client_type() === Meta.WindowClientType.WAYLAND ? 'wayland' : 'x11'")
echo "the shell's application: $app_id; class $wm_class; a $client client"
[[ $app_id == '"org.veldora.Veldora.desktop"' ]] || e2e_fail "the shell matched the window to $app_id"
[[ $client == "\"$expected_client\"" ]] || e2e_fail "the program is a $client client, not a $expected_client one"

# The decoration's size around the 500x330 client area: the title bar above, borders equal.
border=$(((main_w - 500) / 2))
title_bar=$((main_h - 330 - border))
echo "decoration: title bar $title_bar, borders $border"
((title_bar > 0)) || e2e_fail "the main window has no title bar"

# The pointer through the shell's own virtual input device, at stage coordinates. The
# device is made once, before it is used: events sent at once to a new device are lost.
shell_eval "(() => {
    const Clutter = imports.gi.Clutter;
    const seat = Clutter.get_default_backend().get_default_seat();
    global.veldoraPointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
    return true; })()" >/dev/null || e2e_fail "the shell made no virtual pointer"
pointer_at() { [[ $(shell_eval "global.get_pointer().slice(0, 2).join(' ')") == "\"$1 $2\"" ]]; }
move_pointer() {
    shell_eval "global.veldoraPointer.notify_absolute_motion(GLib.get_monotonic_time(), $1, $2); true" >/dev/null
    e2e_wait_for 10 pointer_at "$1" "$2" || e2e_fail "the pointer did not reach $1,$2"
}
button() {
    shell_eval "global.veldoraPointer.notify_button(GLib.get_monotonic_time(), imports.gi.Clutter.BUTTON_PRIMARY, imports.gi.Clutter.ButtonState.$1); true" >/dev/null ||
        e2e_fail "the shell refused the button's $1"
}
click_client() {
    move_pointer $((main_x + border + $1)) $((main_y + title_bar + $2))
    button PRESSED
    button RELEASED
}
# A dialog over the main window. On Wayland a transient of it, which the shell places: a
# transient's centre on its parent's vertical centre line, a third of the way down the
# free space. Through XWayland the program places its dialogs, where they were designed,
# over the main window: their centre inside its frame.
over_main() {
    local x y w h dx dy transient
    read -r x y w h < <(frame_of "$1")
    echo "$1: ${w}x$h at $x,$y"
    if [[ $expected_client == x11 ]]; then
        dx=$((x + w / 2 - main_x)) dy=$((y + h / 2 - main_y))
        ((dx > 0 && dx < main_w && dy > 0 && dy < main_h)) || e2e_fail "$1 at $x,$y (${w}x$h) is not over the main window"
        return 0
    fi
    dx=$((2 * x + w - 2 * main_x - main_w)) dy=$((3 * (y - main_y) - (main_h - h)))
    ((dx >= -4 && dx <= 4 && dy >= -9 && dy <= 9)) || e2e_fail "$1 at $x,$y (${w}x$h) is not where the shell puts a dialog of the main window"
    transient=$(shell_eval "$(window_js "$1").get_transient_for()?.get_title() ?? ''")
    [[ $transient == '"Veldora 1.0"' ]] || e2e_fail "$1 is a transient of $transient, not of the main window"
}
screenshot main.png

# The File Name dialog, from its button (panel 291,0 in the client area).
click_client $((291 + 152)) 312
if e2e_wait_for 20 shown 'File Name'; then
    over_main 'File Name'
    screenshot file-name.png
    close_window 'File Name'
    e2e_wait_for 20 gone 'File Name' || e2e_fail "the shell's close did not close the File Name dialog"
else
    e2e_fail "the File Name dialog did not open; windows: $(shell_eval 'global.get_window_actors().map(a => a.meta_window.get_title()).join(", ")')"
fi

# The About box, from the information icon.
click_client $((291 + 188)) 20
if e2e_wait_for 20 shown 'Form3'; then
    over_main 'Form3'
    screenshot about.png
    close_window 'Form3'
    e2e_wait_for 20 gone 'Form3' || e2e_fail "the shell's close did not close the About box"
else
    e2e_fail "the About box did not open"
fi

close_main

if ((failures)); then
    echo "--- shell log"; tail -n 40 "$work/shell.log"
    echo "--- program log"; cat "$work/veldora.log"
    echo "FAILED: $failures"
    exit 1
fi
echo "PASS: GNOME Shell"
