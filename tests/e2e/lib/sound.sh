# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The sound servers the tests start (PulseAudio, headless PipeWire sessions), the routes
# from ALSA's "default" to them, and a player; sourced by session.sh.

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

_e2e_default_source_is() {
    pactl set-default-source "$1" 2>/dev/null && [[ $(pactl get-default-source 2>/dev/null) == "$1" ]]
}

e2e_set_default_source() {
    e2e_wait_for 40 _e2e_default_source_is "${1:?e2e_set_default_source NAME}" ||
        { echo "could not make $1 the default source" >&2; return 1; }
}

e2e_capture_sink() {
    local sink=${1:?e2e_capture_sink SINK}
    pactl load-module module-null-sink sink_name="$sink" rate=48000 channels=1 channel_map=mono >/dev/null
    e2e_wait_for 20 pactl set-default-sink "$sink" &&
        e2e_set_default_source "$sink.monitor" &&
        pactl set-sink-volume "$sink" 100% &&
        pactl set-source-volume "$sink.monitor" 100%
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
