# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced after session.sh by the scripts that run the program on a Wayland compositor:
# a headless Sway with its XWayland, driven through the compositor itself.
#
#   e2e_start_sway          Sway on one headless 1024x768 output, run as nobody (Sway
#                           refuses root) in a private runtime folder of that user; every
#                           window floats, without borders, so a window's rectangle is its
#                           client area. The seat gets a pointer (lib/wl_pointer.py) and a
#                           keyboard (an idle wtype), held while Sway runs. Exports WAYLAND_DISPLAY
#                           (the socket's full path: this script's own processes keep their
#                           own runtime folder), SWAYSOCK and E2E_XWAYLAND_DISPLAY (open to
#                           this script's user). Returns
#                           2, reason printed, when Sway cannot be had here. Stopped at exit.
#   e2e_stop_sway
#   e2e_sway_scale SCALE    the output's scale (1, 1.5, 2 ...)
#   e2e_wl_window TITLE     prints "x y w h", the client area of the shown window whose
#                           title matches the regex TITLE, in layout (logical) coordinates;
#                           false when there is none
#   e2e_wl_click X Y        the left button pressed and released at layout coordinates
#   e2e_wl_drag X1 Y1 X2 Y2 pressed at the first point, moved in steps, released at the second
#   e2e_wl_park             the pointer to the output's corner, out of the way
#   e2e_wl_key KEY...       keys by their XKB names (Return, Escape, ...)
#   e2e_wl_type TEXT        text typed
#   e2e_wl_shot FILE X Y W H  the output's pixels of that area, at the output's scale (grim)
#   e2e_wl_close TITLE      asks the window to close, as its close button does
#
# The program under test runs as the script's user: a compositor serves any client that
# can open its socket, whatever the uid.

E2E_SWAY_PID=""
E2E_SWAY_RUN=""
E2E_WL_POINTER_PID=""
E2E_WL_KEYBOARD_PID=""
_e2e_wl_uid=65534

e2e_start_sway() {
    local tool missing=""
    for tool in sway swaymsg Xwayland xhost grim wtype setpriv python3 jq; do
        command -v "$tool" >/dev/null || missing+=" $tool"
    done
    [[ -z "$missing" ]] || { echo "Sway cannot run here: not installed:$missing"; return 2; }
    [[ ${_e2e_sway_hooked:-0} -eq 1 ]] || { e2e_on_exit e2e_stop_sway; _e2e_sway_hooked=1; }
    E2E_SWAY_RUN=$(mktemp -d)
    chown "$_e2e_wl_uid:$_e2e_wl_uid" "$E2E_SWAY_RUN"
    chmod 700 "$E2E_SWAY_RUN"
    cat >"$E2E_SWAY_RUN/config" <<CONF
output HEADLESS-1 resolution 1024x768 position 0 0 scale 1
default_border none
default_floating_border none
# A desktop's windows float: the program's window keeps the size it asks for.
for_window [title=".*"] floating enable
focus_follows_mouse no
# Started at once and kept: a lazily started XWayland ends with its last client and
# comes back without the access granted below.
xwayland force
# XWayland admits only the compositor's user; the programs under test run as ours.
exec xhost +si:localuser:$(id -un) && echo "\$DISPLAY" >$E2E_SWAY_RUN/xdisplay
CONF
    chown "$_e2e_wl_uid:$_e2e_wl_uid" "$E2E_SWAY_RUN/config"
    env -i PATH="$PATH" HOME="$E2E_SWAY_RUN" XDG_RUNTIME_DIR="$E2E_SWAY_RUN" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        setpriv --reuid=$_e2e_wl_uid --regid=$_e2e_wl_uid --clear-groups \
        sway -c "$E2E_SWAY_RUN/config" >"$E2E_WORK/sway.log" 2>&1 &
    E2E_SWAY_PID=$!
    if ! e2e_wait_for 20 _e2e_sway_ready; then
        echo "Sway cannot run here: it did not start"
        tail -n 20 "$E2E_WORK/sway.log"
        e2e_stop_sway
        return 2
    fi
    export WAYLAND_DISPLAY SWAYSOCK E2E_XWAYLAND_DISPLAY
    WAYLAND_DISPLAY=$(ls "$E2E_SWAY_RUN"/wayland-* | grep -v '\.lock$' | head -n 1)
    SWAYSOCK=$(ls "$E2E_SWAY_RUN"/sway-ipc.*.sock | head -n 1)
    E2E_XWAYLAND_DISPLAY=$(cat "$E2E_SWAY_RUN/xdisplay")
    # The seat's pointer: a helper that takes commands through a pipe kept open here.
    : >"$E2E_WORK/wl_pointer.log"
    mkfifo "$E2E_WORK/wl_pointer.in"
    python3 "$(dirname "${BASH_SOURCE[0]}")/wl_pointer.py" <"$E2E_WORK/wl_pointer.in" >"$E2E_WORK/wl_pointer.log" 2>&1 &
    E2E_WL_POINTER_PID=$!
    exec {_e2e_wl_pointer_fd}>"$E2E_WORK/wl_pointer.in"
    _e2e_wl_pointer_sent=0
    # And a keyboard for as long: a seat that gains one only for each wtype call loses
    # that call's keys to clients still binding it. This wtype only waits.
    wtype -s 999999999 >>"$E2E_WORK/wtype.log" 2>&1 &
    E2E_WL_KEYBOARD_PID=$!
    e2e_wait_for 10 _e2e_seat_has 3 || { echo "no keyboard on Sway's seat"; cat "$E2E_WORK/wtype.log"; return 1; }
    e2e_wait_for 10 grep -q '^ready' "$E2E_WORK/wl_pointer.log" ||
        { echo "no pointer on Sway's seat"; cat "$E2E_WORK/wl_pointer.log"; return 1; }
}

_e2e_sway_ready() {
    kill -0 "$E2E_SWAY_PID" 2>/dev/null || return 1
    [[ -s "$E2E_SWAY_RUN/xdisplay" ]] || return 1
    SWAYSOCK=$(ls "$E2E_SWAY_RUN"/sway-ipc.*.sock 2>/dev/null | head -n 1)
    [[ -n "$SWAYSOCK" ]] && SWAYSOCK=$SWAYSOCK swaymsg -t get_version >/dev/null 2>&1
}

# Seat capabilities: 1 pointer, 2 keyboard.
_e2e_seat_has() {
    [[ $(swaymsg -t get_seats | jq '.[0].capabilities') == "$1" ]]
}

e2e_stop_sway() {
    e2e_stop_process "$E2E_WL_KEYBOARD_PID"
    E2E_WL_KEYBOARD_PID=""
    [[ -z "${_e2e_wl_pointer_fd:-}" ]] || exec {_e2e_wl_pointer_fd}>&-
    _e2e_wl_pointer_fd=""
    e2e_stop_process "$E2E_WL_POINTER_PID"
    E2E_WL_POINTER_PID=""
    # Sway ends its XWayland with it.
    e2e_stop_process "$E2E_SWAY_PID"
    E2E_SWAY_PID=""
    [[ -z "$E2E_SWAY_RUN" ]] || rm -rf "$E2E_SWAY_RUN"
    E2E_SWAY_RUN=""
}

e2e_sway_scale() {
    swaymsg -q output HEADLESS-1 scale "${1:?e2e_sway_scale SCALE}"
}

e2e_wl_window() {
    swaymsg -t get_tree 2>/dev/null | jq -r --arg title "${1:?e2e_wl_window TITLE}" \
        'first(.. | objects | select(.pid? != null and .visible == true and ((.name // "") | test($title)))
               | .rect | "\(.x) \(.y) \(.width) \(.height)") // empty' | grep .
}

# One command to the pointer helper, returning once the compositor has taken it.
_e2e_wl_pointer() {
    echo "$*" >&"$_e2e_wl_pointer_fd"
    _e2e_wl_pointer_sent=$((_e2e_wl_pointer_sent + 1))
    e2e_wait_for 10 grep -qx "done $_e2e_wl_pointer_sent" "$E2E_WORK/wl_pointer.log" ||
        { echo "the pointer did not answer: $(tail -n 1 "$E2E_WORK/wl_pointer.log")" >&2; return 1; }
}

_e2e_wl_move() {
    local layout
    layout=$(swaymsg -t get_outputs | jq -r '.[0].rect | "\(.width) \(.height)"')
    _e2e_wl_pointer move "$1" "$2" $layout
}

# XWayland places its pointer on a motion within a surface, not on entering it.
_e2e_wl_move_within() {
    _e2e_wl_move $(($1 + 1)) "$2"
    _e2e_wl_move "$1" "$2"
}

e2e_wl_click() {
    _e2e_wl_move_within "${1:?e2e_wl_click X Y}" "${2:?e2e_wl_click X Y}"
    _e2e_wl_pointer press
    _e2e_wl_pointer release
}

e2e_wl_drag() {
    local x1=${1:?e2e_wl_drag X1 Y1 X2 Y2} y1=${2:?} x2=${3:?} y2=${4:?} step
    _e2e_wl_move_within "$x1" "$y1"
    _e2e_wl_pointer press
    for step in 1 2 3 4; do
        _e2e_wl_move $((x1 + (x2 - x1) * step / 4)) $((y1 + (y2 - y1) * step / 4))
    done
    _e2e_wl_pointer release
}

# The pointer to the output's bottom right corner, off the windows, out of the shots
# (the headless output draws the cursor into its pixels).
e2e_wl_park() {
    local width height
    read -r width height < <(swaymsg -t get_outputs | jq -r '.[0].rect | "\(.width) \(.height)"')
    _e2e_wl_pointer move $((width - 1)) $((height - 1)) "$width" "$height"
}

e2e_wl_key() {
    local key args=()
    for key in "$@"; do
        args+=(-k "$key")
    done
    wtype "${args[@]}"
}

e2e_wl_type() {
    wtype -- "${1:?e2e_wl_type TEXT}"
}

e2e_wl_shot() {
    grim -g "${2:?e2e_wl_shot FILE X Y W H},${3:?} ${4:?}x${5:?}" "${1:?}"
}

e2e_wl_close() {
    swaymsg -q "[title=\"${1:?e2e_wl_close TITLE}\"] kill"
}
