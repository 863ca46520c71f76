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
#                               time, through a buffer of LATENCY_MS (default 20); returns
#                               once its stream has reached the server
#   e2e_stop_process PID        TERM and reap a child of this script
#
# Sound stacks ("routes": how ALSA's "default" reaches a server):
#   e2e_routes                  the routes this machine has, one a line (VELDORA_E2E_ROUTES,
#                               space separated, narrows them); a missing one's reason on stderr
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
#   e2e_wait_for TIMEOUT_S COMMAND...   polls COMMAND until it succeeds (false on time-out)
#   e2e_set_default_source NAME makes NAME the default source, retrying while the session
#                               manager is not ready for it yet (false after 40 s)
#   E2E_RT                      "chrt -f 5" where real-time priority is permitted, else empty
#   e2e_run_program COMMAND...  execs COMMAND (the program under test) for the current
#                               route: on pw-alsa with PipeWire's ALSA plugin preloaded,
#                               so that LeakSanitizer can name the plugin's own leaks
#                               (ALSA unloads a plugin when its handle closes). It replaces
#                               the shell: call it with & (then $! is the program) or
#                               inside $(...)
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
    $E2E_RT pulseaudio -D -n --exit-idle-time=-1 --enable-memfd=no --load=module-native-protocol-unix \
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

e2e_play() {
    local sink=${1:?e2e_play SINK COMMAND} command=${2:?e2e_play SINK COMMAND} latency=${3:-20}
    e2e_stop_player
    [[ ${_e2e_player_hooked:-0} -eq 1 ]] || { e2e_on_exit e2e_stop_player; _e2e_player_hooked=1; }
    # A process group of its own (command | pacat), so that stopping ends all of it.
    setsid bash -c "$command | $E2E_RT pacat --raw --rate=48000 --channels=1 --format=s16le --latency-msec=$latency -d $sink" \
        >>"$E2E_WORK/player.log" 2>&1 &
    E2E_PLAYER_PID=$!
    # Returns once the player's stream has reached the server (bounded; a player that
    # failed shows in the checks that follow).
    e2e_wait_for 10 bash -c 'pactl list short sink-inputs 2>/dev/null | grep -q .' || true
}

e2e_stop_player() {
    [[ -n "$E2E_PLAYER_PID" ]] || return 0
    kill -- "-$E2E_PLAYER_PID" 2>/dev/null || kill "$E2E_PLAYER_PID" 2>/dev/null || true
    wait "$E2E_PLAYER_PID" 2>/dev/null || true
    E2E_PLAYER_PID=""
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

e2e_wait_for() {
    local timeout=${1:?e2e_wait_for TIMEOUT_S COMMAND...} end
    shift
    end=$((SECONDS + timeout))
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
}

_e2e_default_source_is() {
    pactl set-default-source "$1" 2>/dev/null && [[ $(pactl get-default-source 2>/dev/null) == "$1" ]]
}

e2e_set_default_source() {
    e2e_wait_for 40 _e2e_default_source_is "${1:?e2e_set_default_source NAME}" ||
        { echo "could not make $1 the default source" >&2; return 1; }
}

e2e_routes() {
    local wanted=${VELDORA_E2E_ROUTES:-pulse pw-pulse pw-alsa} route tool missing
    for route in $wanted; do
        missing=""
        case $route in
        pulse) tools="pulseaudio pactl" ;;
        pw-pulse | pw-alsa) tools="pipewire wireplumber pipewire-pulse dbus-daemon pactl" ;;
        *) echo "unknown route $route" >&2; continue ;;
        esac
        for tool in $tools; do
            command -v "$tool" >/dev/null || missing+=" $tool"
        done
        if [[ -n "$missing" ]]; then
            echo "SKIP route $route: not installed:$missing" >&2
            continue
        fi
        echo "$route"
    done
}

# e2e_each_route FUNC: runs FUNC once per sound stack this machine has, with the
# global `route` naming it; ends the script with an error when there is none.
e2e_each_route() {
    local routes
    routes=$(e2e_routes)
    [[ -n "$routes" ]] || { echo "no sound server is installed" >&2; exit 1; }
    for route in $routes; do
        "${1:?e2e_each_route FUNC}"
    done
}

# The directory of PipeWire's ALSA plugins: the installed package's, else the package
# unpacked (not installed: it conflicts with pulseaudio) into E2E_CACHE, fetched once.
_e2e_pipewire_alsa_dir() {
    local multiarch dir
    multiarch=$(gcc -print-multiarch 2>/dev/null || dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
    dir=/usr/lib/$multiarch/alsa-lib
    if [[ -e $dir/libasound_module_pcm_pipewire.so ]]; then
        echo "$dir"
        return 0
    fi
    dir=$E2E_CACHE/pipewire-alsa/root/usr/lib/$multiarch/alsa-lib
    if [[ ! -e $dir/libasound_module_pcm_pipewire.so ]]; then
        mkdir -p "$E2E_CACHE/pipewire-alsa"
        (cd "$E2E_CACHE/pipewire-alsa" && rm -rf root ./*.deb &&
            apt-get download pipewire-alsa >download.log 2>&1 && dpkg -x pipewire-alsa_*.deb root) || {
            echo "pipewire-alsa could not be downloaded: $(tail -n 1 "$E2E_CACHE/pipewire-alsa/download.log" 2>/dev/null)" >&2
            return 1
        }
    fi
    echo "$dir"
}

# Only this script's processes see it (HOME is private).
_e2e_write_asoundrc() {
    local route=$1 dir
    case $route in
    pulse | pw-pulse)
        cat >"$HOME/.asoundrc" <<'CONF'
pcm.!default { type pulse hint { show on description "PulseAudio protocol" } }
ctl.!default { type pulse }
CONF
        ;;
    pw-alsa)
        dir=$(_e2e_pipewire_alsa_dir) || return 1
        E2E_PRELOAD=$dir/libasound_module_pcm_pipewire.so
        # The hook of 99-pulse.conf runs after this file and would point "default" back
        # at the pulse plugin whenever a pulse server answers, which pipewire-pulse does.
        # Hooks merge by position: this one takes its place and loads an empty file (not
        # /dev/null: ALSA rereads its configuration whenever a file it read has changed).
        : >"$HOME/.asoundrc.empty"
        cat >"$HOME/.asoundrc" <<CONF
hook_func.!pulse_load_if_running { func "snd_config_hook_load" }
@hooks.0.files.!0 "$HOME/.asoundrc.empty"
pcm_type.pipewire { lib "$dir/libasound_module_pcm_pipewire.so" }
ctl_type.pipewire { lib "$dir/libasound_module_ctl_pipewire.so" }
pcm.!default { type pipewire playback_node "-1" capture_node "-1" hint { show on description "PipeWire" } }
ctl.!default { type pipewire }
CONF
        ;;
    esac
}

_e2e_start_pipewire() {
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    if [[ -z "$E2E_DBUS_PID" ]]; then
        dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile \
            >>"$E2E_WORK/dbus.log" 2>&1 &
        E2E_DBUS_PID=$!
        e2e_wait_for 10 test -S "$XDG_RUNTIME_DIR/bus" || { echo "dbus-daemon did not start" >&2; return 1; }
    fi
    local p
    $E2E_RT pipewire >>"$E2E_WORK/pipewire.log" 2>&1 &
    E2E_PW_PIDS=($!)
    e2e_wait_for 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || { echo "pipewire did not start" >&2; cat "$E2E_WORK/pipewire.log" >&2; return 1; }
    for p in wireplumber pipewire-pulse; do
        $E2E_RT "$p" >>"$E2E_WORK/$p.log" 2>&1 &
        E2E_PW_PIDS+=($!)
    done
    # The session is ready when the pulse protocol answers and WirePlumber has named a
    # default sink (its dummy one at least).
    e2e_wait_for 30 _e2e_pw_ready || {
        echo "PipeWire session did not answer" >&2
        tail -n 20 "$E2E_WORK/pipewire.log" "$E2E_WORK/wireplumber.log" "$E2E_WORK/pipewire-pulse.log" >&2
        return 1
    }
}

_e2e_pw_ready() {
    pactl info 2>/dev/null | grep -q '^Default Sink: .'
}

e2e_run_program() {
    if [[ -n "$E2E_PRELOAD" ]]; then
        # The sanitizers' runtime need not come first then.
        LD_PRELOAD="$E2E_PRELOAD${LD_PRELOAD:+:$LD_PRELOAD}" \
            ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" exec "$@"
    else
        exec "$@"
    fi
}

# e2e_enter_route ROUTE: the route's banner and its server started; answers as
# e2e_start_server does, and says so when the route is not available here (2).
e2e_enter_route() {
    local rc=0
    echo "===== route $1"
    e2e_start_server "$1" || rc=$?
    ((rc != 2)) || echo "SKIP route $1: not available here"
    return $rc
}

e2e_start_server() {
    local route=${1:?e2e_start_server ROUTE}
    E2E_PRELOAD=""
    [[ -n "$E2E_WORK" ]] || { echo "e2e_start_server: call e2e_make_workdir first" >&2; return 1; }
    [[ ${_e2e_server_hooked:-0} -eq 1 ]] || { e2e_on_exit e2e_stop_server; _e2e_server_hooked=1; }
    _e2e_write_asoundrc "$route" || return 2
    E2E_ROUTE=$route
    case $route in
    pulse) e2e_start_pulse ;;
    pw-pulse | pw-alsa) _e2e_start_pipewire ;;
    *) echo "unknown route $route" >&2; return 1 ;;
    esac
}

_e2e_signal_pw() {
    local signal=$1 p
    for p in "${E2E_PW_PIDS[@]}"; do
        kill "-$signal" "$p" 2>/dev/null || true
    done
}

e2e_stop_server() {
    case $E2E_ROUTE in
    pulse) e2e_stop_pulse ;;
    pw-pulse | pw-alsa)
        local p
        _e2e_signal_pw CONT
        for ((p = ${#E2E_PW_PIDS[@]} - 1; p >= 0; p--)); do
            e2e_stop_process "${E2E_PW_PIDS[p]}"
        done
        E2E_PW_PIDS=()
        ;;
    esac
    if [[ -n "$E2E_DBUS_PID" ]]; then
        e2e_stop_process "$E2E_DBUS_PID"
        E2E_DBUS_PID=""
    fi
}

# The server dies at once, as in a crash; its clients find out by themselves.
e2e_kill_server() {
    case $E2E_ROUTE in
    pulse)
        kill -KILL "$E2E_PULSE_PID" 2>/dev/null || true
        e2e_wait_for 10 bash -c "! kill -0 $E2E_PULSE_PID 2>/dev/null"
        E2E_PULSE_PID=""
        rm -f "$_e2e_pulse_pidfile"
        ;;
    pw-pulse | pw-alsa)
        local p
        _e2e_signal_pw KILL
        for p in "${E2E_PW_PIDS[@]}"; do
            wait "$p" 2>/dev/null || true
        done
        E2E_PW_PIDS=()
        ;;
    esac
}

# The server (every process of it) stops answering, sockets open.
e2e_freeze_server() {
    case $E2E_ROUTE in
    pulse) kill -STOP "$E2E_PULSE_PID" ;;
    pw-pulse | pw-alsa) _e2e_signal_pw STOP ;;
    esac
}

e2e_thaw_server() {
    case $E2E_ROUTE in
    pulse) kill -CONT "$E2E_PULSE_PID" 2>/dev/null || true ;;
    pw-pulse | pw-alsa) _e2e_signal_pw CONT ;;
    esac
}
