# Sourced by the end-to-end scripts (not a test itself): a private work directory and
# environment, a headless PulseAudio daemon, a virtual X display, a player, and one
# exit hook that undoes all of it and keeps the script's exit status.
#
#   e2e_make_workdir            E2E_WORK, with private XDG_RUNTIME_DIR (0700),
#                               XDG_CONFIG_HOME and HOME exported; removed at exit
#   e2e_on_exit COMMAND         run COMMAND at exit; hooks run last registered first
#   e2e_start_pulse / e2e_stop_pulse     the daemon (E2E_PULSE_PID); stop is idempotent
#   e2e_start_xvfb FIRST LAST / e2e_stop_xvfb
#                               Xvfb on a free display in FIRST..LAST, DISPLAY exported
#   e2e_play SINK COMMAND [LATENCY_MS] / e2e_stop_player
#                               raw 48000 Hz 16-bit mono from COMMAND into SINK, in real
#                               time, through a buffer of LATENCY_MS (default 20)
#   e2e_stop_process PID        TERM and reap a child of this script
#
# Every daemon is started by the script that needs it and stopped by these hooks, also
# when a check fails half-way; nothing is left running.

_e2e_hooks=()
E2E_WORK=""
E2E_PULSE_PID=""
E2E_XVFB_PID=""
E2E_PLAYER_PID=""

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

e2e_stop_process() {
    [[ -n "${1:-}" ]] || return 0
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# A daemon that an earlier run of the same script started and never stopped (the run
# was killed before its exit hook): its pid is kept in this file while it runs.
_e2e_pulse_pidfile="${TMPDIR:-/tmp}/veldora-e2e-$(basename "$0" .sh).pulse.pid"

e2e_start_pulse() {
    [[ -n "$E2E_WORK" ]] || { echo "e2e_start_pulse: call e2e_make_workdir first" >&2; return 1; }
    if [[ -f "$_e2e_pulse_pidfile" ]]; then
        local old
        old=$(cat "$_e2e_pulse_pidfile")
        if [[ -n "$old" ]] && grep -qa pulseaudio "/proc/$old/cmdline" 2>/dev/null; then
            echo "stopping stale daemon $old"
            kill "$old" 2>/dev/null || true
        fi
        rm -f "$_e2e_pulse_pidfile"
    fi
    e2e_on_exit e2e_stop_pulse
    pulseaudio -D -n --exit-idle-time=-1 --enable-memfd=no --load=module-native-protocol-unix \
        --log-target="file:$E2E_WORK/pulse.log"
    local _
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl info >/dev/null 2>&1 || {
        # Still stopped at exit, if it got as far as writing its pid.
        E2E_PULSE_PID=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null || true)
        echo "PulseAudio did not answer" >&2
        cat "$E2E_WORK/pulse.log" >&2
        return 1
    }
    E2E_PULSE_PID=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
    echo "$E2E_PULSE_PID" >"$_e2e_pulse_pidfile"
}

e2e_stop_pulse() {
    [[ -n "$E2E_PULSE_PID" ]] || return 0
    # The daemon is not our child (it forked away): ask it, wait, then insist.
    pulseaudio --kill 2>/dev/null || true
    local _
    for _ in $(seq 50); do
        kill -0 "$E2E_PULSE_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$E2E_PULSE_PID" 2>/dev/null || true
    E2E_PULSE_PID=""
    rm -f "$_e2e_pulse_pidfile"
}

e2e_start_xvfb() {
    local first=${1:?e2e_start_xvfb FIRST LAST} last=${2:?e2e_start_xvfb FIRST LAST} n display=""
    [[ -n "$E2E_WORK" ]] || { echo "e2e_start_xvfb: call e2e_make_workdir first" >&2; return 1; }
    # A display nobody uses: no lock file and no socket.
    for n in $(seq "$first" "$last"); do
        if [[ ! -e "/tmp/.X$n-lock" && ! -e "/tmp/.X11-unix/X$n" ]]; then
            display=":$n"
            break
        fi
    done
    [[ -n "$display" ]] || { echo "no free X display in :$first..:$last" >&2; return 1; }
    e2e_on_exit e2e_stop_xvfb
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$E2E_WORK/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        xdpyinfo -display "$display" >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdpyinfo -display "$display" >/dev/null 2>&1 || {
        echo "Xvfb did not start" >&2
        cat "$E2E_WORK/xvfb.log" >&2
        return 1
    }
    export DISPLAY=$display
    unset QT_QPA_PLATFORM
}

e2e_stop_xvfb() {
    e2e_stop_process "$E2E_XVFB_PID"
    E2E_XVFB_PID=""
}

e2e_play() {
    local sink=${1:?e2e_play SINK COMMAND} command=${2:?e2e_play SINK COMMAND} latency=${3:-20}
    e2e_stop_player
    [[ ${_e2e_player_hooked:-0} -eq 1 ]] || { e2e_on_exit e2e_stop_player; _e2e_player_hooked=1; }
    # A process group of its own (command | pacat), so that stopping ends all of it.
    setsid bash -c "$command | pacat --raw --rate=48000 --channels=1 --format=s16le --latency-msec=$latency -d $sink" \
        >>"$E2E_WORK/player.log" 2>&1 &
    E2E_PLAYER_PID=$!
}

e2e_stop_player() {
    [[ -n "$E2E_PLAYER_PID" ]] || return 0
    kill -- "-$E2E_PLAYER_PID" 2>/dev/null || kill "$E2E_PLAYER_PID" 2>/dev/null || true
    wait "$E2E_PLAYER_PID" 2>/dev/null || true
    E2E_PLAYER_PID=""
}
