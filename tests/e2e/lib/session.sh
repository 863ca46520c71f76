# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the end-to-end scripts (not a test itself): a private work directory and
# environment, one exit hook that undoes everything the script started and keeps its exit
# status, and (from the files beside it) the X display and the sound servers.
#
# This file:
#   e2e_begin BIN_DIR PROGRAM... [-- TOOL...]
#                               a script's start: `bin` (BIN_DIR, absolute) holding each
#                               PROGRAM, each TOOL installed (else exit 1), `convert`,
#                               E2E_CACHE beside the build unless given, and
#                               e2e_make_workdir, with `work` set to E2E_WORK
#   e2e_make_workdir            E2E_WORK, with private XDG_RUNTIME_DIR (0700),
#                               XDG_CONFIG_HOME and HOME exported; removed at exit
#   e2e_installed_begin TOOL_OR_FILE...
#                               a desktop scene's start (it tests the installed package):
#                               skips it (exit 77) unless each TOOL is installed or FILE
#                               is there, runs the script again in a session bus of its
#                               own (dbus-run-session ends it with the script), then
#                               e2e_make_workdir, with `work` and `failures` set
#   keep FILE NAME              keeps FILE as VELDORA_SHOTS/NAME when that is set
#   e2e_on_exit COMMAND         run COMMAND at exit; hooks run last registered first
#   e2e_stop_process PID        TERM and reap a child of this script
#   app_pid / e2e_stop_app      the program under test, as the script started it, and its
#                               stop (nothing when none runs); a script registers the stop
#                               with e2e_on_exit where its order among the hooks matters
#   e2e_wait_for TIMEOUT_S COMMAND...   polls COMMAND until it succeeds (false on time-out)
#   e2e_fail MESSAGE            prints "FAIL [route]: MESSAGE" and counts it in `failures`
#
# xdisplay.sh, the virtual X display:
#   e2e_start_xvfb FIRST LAST / e2e_stop_xvfb
#                               Xvfb on a free display in FIRST..LAST, DISPLAY exported
#   e2e_main_window [TIMEOUT_S] waits for the shown main window ("Veldora 1.0"), prints its id
#   e2e_find_main_window        the shown main window's id now, false when there is none
#   e2e_answer_box WINDOW       presses Return in a message box, and always lets go of it
#
# sound.sh, the sound stacks ("routes": how ALSA's "default" reaches a server):
#   e2e_start_pulse / e2e_stop_pulse     a PulseAudio daemon (E2E_PULSE_PID); stop is idempotent
#   e2e_play SINK COMMAND [LATENCY_MS] / e2e_stop_player
#                               raw 48000 Hz 16-bit mono from COMMAND into SINK, in real
#                               time, through a buffer of LATENCY_MS (default 20); returns
#                               once its stream has reached the server
#   e2e_routes                  the routes this machine has, one a line (VELDORA_E2E_ROUTES,
#                               space separated, narrows them); a missing one's reason on stderr
#   e2e_each_route FUNC         runs FUNC once per route, with the global `route` naming it
#   e2e_enter_route ROUTE       prints the route's banner and starts its server, as below
#   e2e_start_server ROUTE      pulse     a PulseAudio daemon, ALSA's pulse plugin
#                               pw-pulse  a headless PipeWire session (session bus, pipewire,
#                                         wireplumber, pipewire-pulse), ALSA's pulse plugin
#                               pw-alsa   the same session, PipeWire's own ALSA plugin (taken
#                                         from the pipewire-alsa package into E2E_CACHE when
#                                         it is not installed; never installed)
#                               pactl answers afterwards; only this script's processes are
#                               routed (a private ~/.asoundrc). Returns 2 when the route
#                               cannot be had here (reason printed).
#   e2e_stop_server / e2e_kill_server (SIGKILL, as a crash) / e2e_freeze_server (SIGSTOP)
#   / e2e_thaw_server (SIGCONT)
#   e2e_set_default_source NAME makes NAME the default source, retrying while the session
#                               manager is not ready for it yet (false after 40 s)
#   e2e_capture_sink SINK       a null sink SINK (48000 Hz mono) whose monitor is the default
#                               source, both at full volume: what is played into SINK is
#                               what the program captures (false when it cannot be had)
#   E2E_RT                      "chrt -f 5" where real-time priority is permitted, else empty
#   e2e_run_program COMMAND...  execs COMMAND (the program under test) for the current
#                               route: on pw-alsa with PipeWire's ALSA plugin preloaded,
#                               so that LeakSanitizer can name the plugin's own leaks
#                               (ALSA unloads a plugin when its handle closes). It replaces
#                               the shell: call it with & (then $! is the program) or
#                               inside $(...)
#
# pixels.sh (screenshot readers) and wayland.sh (a headless Sway session) are sourced by
# the scripts that need them.
#
# Every daemon is started by the script that needs it and stopped by these hooks, also
# when a check fails half-way; nothing is left running.

_e2e_hooks=()
E2E_WORK=""
E2E_PULSE_PID=""
E2E_XVFB_PID=""
E2E_PLAYER_PID=""
E2E_ROUTE=""
E2E_PRELOAD=""
E2E_PW_PIDS=()
E2E_DBUS_PID=""
_e2e_cache_given=${E2E_CACHE:-}
E2E_CACHE=${E2E_CACHE:-${TMPDIR:-/tmp}/veldora-e2e-cache}
# Servers and players at real-time priority where permitted, so that a starved source on a
# loaded machine is not mistaken for a fault of the program.
E2E_RT=""
chrt -f 5 true 2>/dev/null && E2E_RT="chrt -f 5"

_e2e_exit() {
    local status=$?
    set +e
    local i
    for ((i = ${#_e2e_hooks[@]} - 1; i >= 0; i--)); do
        eval "${_e2e_hooks[i]}"
    done
    exit "$status"
}
trap _e2e_exit EXIT
# A script stopped by a signal (a test time-out) still runs its exit hooks.
trap 'exit 143' TERM
trap 'exit 130' INT

e2e_on_exit() {
    _e2e_hooks+=("$1")
}

e2e_make_workdir() {
    E2E_WORK=$(mktemp -d)
    e2e_on_exit 'rm -rf "$E2E_WORK"'
    export XDG_RUNTIME_DIR="$E2E_WORK/run" XDG_CONFIG_HOME="$E2E_WORK/config" HOME="$E2E_WORK/home"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
    # Qt and PulseAudio both refuse a runtime directory that others may enter.
    chmod 700 "$XDG_RUNTIME_DIR"
}

e2e_installed_begin() {
    local tool
    for tool; do
        [[ -e $tool ]] || command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
    done
    if [[ -z ${VELDORA_SCENE_BUS:-} ]]; then
        VELDORA_SCENE_BUS=1 exec dbus-run-session -- bash "$0"
    fi
    e2e_make_workdir
    work=$E2E_WORK
    failures=0
}
keep() { [[ -z "${VELDORA_SHOTS:-}" ]] || { mkdir -p "$VELDORA_SHOTS" && cp "$1" "$VELDORA_SHOTS/$2"; }; }

e2e_begin() {
    bin=$(cd "${1:?usage: $(basename "$0") <bin dir>}" && pwd) || exit 1
    shift
    local name tools=0
    for name; do
        if [[ $name == -- ]]; then
            tools=1
        elif ((tools)); then
            command -v "$name" >/dev/null || { echo "$name is not installed" >&2; exit 1; }
        else
            [[ -x "$bin/$name" ]] || { echo "missing $bin/$name" >&2; exit 1; }
        fi
    done
    convert=/usr/bin/convert
    E2E_CACHE=${_e2e_cache_given:-$bin/../e2e-cache}
    e2e_make_workdir
    work=$E2E_WORK
}

e2e_stop_process() {
    [[ -n "${1:-}" ]] || return 0
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

app_pid=""
e2e_stop_app() {
    e2e_stop_process "$app_pid"
    app_pid=""
}

e2e_wait_for() {
    local timeout=${1:?e2e_wait_for TIMEOUT_S COMMAND...} end
    shift
    end=$((SECONDS + timeout))
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
}

# e2e_fail MESSAGE: prints a failure (naming the sound route or the Qt platform when the
# script sets `route` or `platform`) and counts
# it in `failures`; the script reports and exits at its end.
e2e_fail() {
    echo "FAIL${route:+ [$route]}${platform:+ [$platform]}: $*"
    failures=$((${failures:-0} + 1))
}

_e2e_lib=$(dirname "${BASH_SOURCE[0]}")
source "$_e2e_lib/xdisplay.sh"
source "$_e2e_lib/sound.sh"
