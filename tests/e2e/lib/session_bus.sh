# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by the desktop scenes after session.sh, inside the private session bus that
# dbus-run-session gave them (which ends it with the script):
#   e2e_bus_activation_env      what the bus starts from now on (dconf, the portals, the
#                               accessibility bus) runs in this script's private folders
#   e2e_stop_bus_services       stops by pid what the bus started on its own, and unmounts
#                               the document portal's file system; also run at exit

# The bus daemon: dbus-run-session's child, beside this script.
_e2e_bus_pid=$(pgrep -x -P "$PPID" dbus-daemon)
echo "session bus: dbus-daemon ${_e2e_bus_pid:-not found} (dbus-run-session $PPID)"

e2e_bus_activation_env() {
    dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME "$@"
}

# What the bus started: its descendants (a service runs under a babysitter process of the
# bus), and those left to process 1 that still name this bus in their environment.
_e2e_bus_services() {
    local pid ppid
    local -A ours=(["$_e2e_bus_pid"]=1)
    # Parents come before their children in ps's list of pids, mostly: twice over is enough.
    local list
    list=$(ps -e -o pid=,ppid=)
    for _ in 1 2; do
        while read -r pid ppid; do
            [[ -n ${ours[$ppid]:-} ]] && ours[$pid]=1
        done <<<"$list"
    done
    while read -r pid ppid; do
        if [[ -n ${ours[$pid]:-} && $pid != "$_e2e_bus_pid" ]]; then
            echo "$pid"
        elif [[ $ppid == 1 ]] && tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null |
            grep -qxF "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"; then
            echo "$pid"
        fi
    done <<<"$list"
}

_e2e_all_gone() {
    local pid
    for pid; do
        ! kill -0 "$pid" 2>/dev/null || return 1
    done
}

e2e_stop_bus_services() {
    [[ -n $_e2e_bus_pid ]] || return 0
    local pid pids
    pids=$(_e2e_bus_services)
    for pid in $pids; do
        echo "stopping $(cat "/proc/$pid/comm" 2>/dev/null) ($pid), started by the bus"
        kill "$pid" 2>/dev/null || true
    done
    # shellcheck disable=SC2086
    e2e_wait_for 10 _e2e_all_gone $pids || echo "the bus's services did not all stop"
    ! mountpoint -q "$XDG_RUNTIME_DIR/doc" 2>/dev/null || fusermount3 -u "$XDG_RUNTIME_DIR/doc" ||
        umount -l "$XDG_RUNTIME_DIR/doc"
}
e2e_on_exit e2e_stop_bus_services
