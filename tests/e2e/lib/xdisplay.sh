# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The virtual X display and the windows on it; sourced by session.sh.

e2e_start_xvfb() {
    local first=${1:?e2e_start_xvfb FIRST LAST} last=${2:?e2e_start_xvfb FIRST LAST} n display=""
    [[ -n "$E2E_WORK" ]] || { echo "e2e_start_xvfb: call e2e_make_workdir first" >&2; return 1; }
    [[ ${_e2e_xvfb_hooked:-0} -eq 1 ]] || { e2e_on_exit e2e_stop_xvfb; _e2e_xvfb_hooked=1; }
    # A display nobody uses: no lock file and no socket. Another script may take the same
    # one at the same moment: then ours exits, and the next display is tried.
    # -noreset: by default the server resets when its last client leaves, and a program
    # started in that moment (the next scene's) cannot connect.
    for n in $(seq "$first" "$last"); do
        [[ ! -e "/tmp/.X$n-lock" && ! -e "/tmp/.X11-unix/X$n" ]] || continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$E2E_WORK/xvfb.log" 2>&1 &
        E2E_XVFB_PID=$!
        local _
        for _ in $(seq 100); do
            kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
            xdpyinfo -display ":$n" >/dev/null 2>&1 && break
            sleep 0.1
        done
        # The display answering may be another script's server that won the race for
        # this number while ours is still starting: the lock file names the winner.
        if kill -0 "$E2E_XVFB_PID" 2>/dev/null && xdpyinfo -display ":$n" >/dev/null 2>&1 &&
            [[ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" == "$E2E_XVFB_PID" ]]; then
            display=":$n"
            break
        fi
        e2e_stop_xvfb
    done
    [[ -n "$display" ]] || {
        echo "no X display could be started in :$first..:$last" >&2
        cat "$E2E_WORK/xvfb.log" >&2 2>/dev/null
        return 1
    }
    export DISPLAY=$display
    unset QT_QPA_PLATFORM
}

e2e_stop_xvfb() {
    e2e_stop_process "$E2E_XVFB_PID"
    E2E_XVFB_PID=""
}

# e2e_answer_box WINDOW: presses Return in a message box, as a user would. The box
# closes on the press; xdotool, finding its window gone, may end before it sends the
# release, and the X server would then hold Return down for every later window (a box
# shown next closes at once on the key's repeats). The release is therefore sent on
# its own, to no window, whatever became of the press.
e2e_answer_box() {
    xdotool windowfocus --sync "${1:?e2e_answer_box WINDOW}" 2>/dev/null || true
    xdotool key --window "$1" Return 2>/dev/null || true
    xdotool keyup Return 2>/dev/null || true
}

# e2e_main_window [TIMEOUT_S]: waits (default 60 s) until the main window is shown and
# prints its id; false when it never came.
e2e_main_window() {
    local window
    window=$(timeout "${1:-60}" xdotool search --sync --onlyvisible --name '^Veldora 1.0$' 2>/dev/null | head -n 1) ||
        true
    [[ -n "$window" ]] && echo "$window"
}

# e2e_find_main_window: the shown main window's id now, without waiting; false when none.
e2e_find_main_window() {
    local window
    window=$(xdotool search --onlyvisible --name '^Veldora 1.0$' 2>/dev/null | head -n 1) || true
    [[ -n "$window" ]] && echo "$window"
}
