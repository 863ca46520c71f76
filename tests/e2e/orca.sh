#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The installed program read by Orca on X (Xvfb), in a session bus and runtime folder of
# its own: Tab runs once through the main window's panel and Orca must speak, for every
# control, its name, its role and its value or state; an arrow key on a slider must speak
# the slider's new value. Speech-dispatcher plays into a private PulseAudio's null sink
# (with nowhere to play, Orca waits after its first sentence); what Orca speaks is read
# from its debug log. Everything it starts is stopped by pid.
# Usage: orca.sh (the package installed); VELDORA_SHOTS=<dir> keeps Orca's speech there.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
for tool in orca speech-dispatcher veldora Xvfb xdotool xdpyinfo dbus-run-session pulseaudio pactl; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
if [[ -z ${VELDORA_ORCA_BUS:-} ]]; then
    VELDORA_ORCA_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

source "$here/lib/session.sh"
e2e_make_workdir
work=$E2E_WORK
failures=0
keep() { [[ -z "${VELDORA_SHOTS:-}" ]] || { mkdir -p "$VELDORA_SHOTS" && cp "$1" "$VELDORA_SHOTS/$2"; }; }

# What the bus started on its own (the accessibility bus): stopped by pid before the bus.
bus_pid=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID org.freedesktop.DBus | tr -dc '0-9 ' | awk '{print $NF}')
stop_activated() {
    local pid
    for pid in $(ps -o pid= --ppid "$bus_pid"); do
        echo "stopping $(cat "/proc/$pid/comm" 2>/dev/null) ($pid), started by the bus"
        kill "$pid" 2>/dev/null || true
    done
}
e2e_on_exit stop_activated

e2e_start_server pulse
e2e_capture_sink veldora_orca
e2e_start_xvfb 60 90

# Speech-dispatcher in the private runtime folder, where Orca's client looks for it.
speechd_pid=""
speech-dispatcher --run-single --timeout 0 >"$work/speechd.log" 2>&1 &
speechd_pid=$!
e2e_on_exit 'e2e_stop_process "$speechd_pid"'
e2e_wait_for 20 test -S "$XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock" ||
    { echo "FAIL: speech-dispatcher did not start"; cat "$work/speechd.log"; exit 1; }

orca_log=$work/orca-debug.log
orca_pid=""
orca --replace --debug-file="$orca_log" >"$work/orca.log" 2>&1 &
orca_pid=$!
e2e_on_exit 'e2e_stop_process "$orca_pid"'
# Orca's speech, one utterance a line, as its debug log has it.
spoken() { grep -a "SPEECH OUTPUT: '" "$orca_log" 2>/dev/null | sed -e "s/^.*SPEECH OUTPUT: '//" -e "s/'\$//"; }
e2e_wait_for 60 bash -c "grep -aq 'SPEECH OUTPUT' '$orca_log' 2>/dev/null" ||
    { echo "FAIL: Orca did not speak"; tail -n 30 "$work/orca.log" "$orca_log"; exit 1; }
echo "Orca $(orca --version 2>/dev/null | head -n 1) speaks: $(spoken | head -n 1)"

veldora >"$work/veldora.log" 2>&1 &
app_pid=$!
e2e_on_exit e2e_stop_app
window=$(e2e_main_window) || { echo "FAIL: no main window"; cat "$work/veldora.log"; exit 1; }
xdotool windowfocus --sync "$window"

# Presses KEY and waits until Orca has spoken anew; prints what it spoke since the key.
said=0
press() {
    said=$(spoken | wc -l)
    xdotool key --clearmodifiers "$1"
    e2e_wait_for 20 bash -c "(( \$(grep -ac \"SPEECH OUTPUT: '\" '$orca_log') > $said ))" || true
    # Orca speaks a control in one or more utterances at once: let them all land.
    local count
    count=-1
    while ((count != $(spoken | wc -l))); do
        count=$(spoken | wc -l)
        e2e_wait_for 1 bash -c "(( \$(grep -ac \"SPEECH OUTPUT: '\" '$orca_log') > $count ))" || break
    done
    spoken | tail -n +$((said + 1)) | tr '\n' ' '
}

pass=$work/orca-pass.txt
: >"$pass"
for i in $(seq 22); do
    text=$(press Tab)
    echo "Tab $i: $text" | tee -a "$pass"
done
text=$(press Right)
echo "Right: $text" | tee -a "$pass"
keep "$pass" orca-pass.txt
keep "$orca_log" orca-debug.log

if ((failures)); then
    echo "FAILED: $failures"
    exit 1
fi
echo "PASS: Orca"
