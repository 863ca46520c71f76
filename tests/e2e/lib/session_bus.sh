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

e2e_bus_activation_env() {
    dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME "$@"
}

e2e_stop_bus_services() {
    local pid
    [[ -n $_e2e_bus_pid ]] || return 0
    for pid in $(ps -o pid= --ppid "$_e2e_bus_pid"); do
        echo "stopping $(cat "/proc/$pid/comm" 2>/dev/null) ($pid), started by the bus"
        kill "$pid" 2>/dev/null || true
    done
    e2e_wait_for 10 bash -c "! ps -o pid= --ppid $_e2e_bus_pid >/dev/null" || echo "the bus's services did not all stop"
    ! mountpoint -q "$XDG_RUNTIME_DIR/doc" 2>/dev/null || fusermount3 -u "$XDG_RUNTIME_DIR/doc" ||
        umount -l "$XDG_RUNTIME_DIR/doc"
}
e2e_on_exit e2e_stop_bus_services
