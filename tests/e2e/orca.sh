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
source "$here/lib/session.sh"
e2e_installed_begin orca speech-dispatcher veldora Xvfb xdotool xdpyinfo dbus-run-session pulseaudio pactl

source "$here/lib/session_bus.sh"
e2e_bus_activation_env

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
# Orca writes its debug log through a buffer, which holds the last lines back until more
# come; written to a terminal, a line at a time. script(1) gives it one (its own), and
# copies what it writes there to the log as it comes.
script --quiet --flush --command "orca --replace --debug-file=/dev/tty" "$orca_log" >"$work/orca.log" 2>&1 &
orca_pid=$!
# Orca first (script's child, or its shell's), which a hang-up would not end; then script.
stop_orca() {
    local child pids
    pids=$(pgrep -x -P "$orca_pid" orca; for child in $(pgrep -P "$orca_pid"); do pgrep -x -P "$child" orca; done)
    for child in $pids; do kill "$child" 2>/dev/null || true; done
    # shellcheck disable=SC2086
    e2e_wait_for 10 _e2e_all_gone $pids || echo "Orca did not stop"
    e2e_stop_process "$orca_pid"
}
e2e_on_exit stop_orca
# Orca's speech, one utterance a line, as its debug log has it (without the voice).
spoken() {
    grep -a "SPEECH OUTPUT: '" "$orca_log" 2>/dev/null | tr -d '\r' |
        sed -e "s/^.*SPEECH OUTPUT: '//" -e "s/' {.*\$//" -e "s/'\$//"
}
e2e_wait_for 60 bash -c "grep -aq 'SPEECH OUTPUT' '$orca_log' 2>/dev/null" ||
    { echo "FAIL: Orca did not speak"; tail -n 30 "$work/orca.log" "$orca_log"; exit 1; }
echo "Orca $(orca --version 2>/dev/null | tail -n 1) speaks: $(spoken | head -n 1)"

veldora >"$work/veldora.log" 2>&1 &
app_pid=$!
e2e_on_exit e2e_stop_app
window=$(e2e_main_window) || { echo "FAIL: no main window"; cat "$work/veldora.log"; exit 1; }
xdotool windowfocus --sync "$window"

# What Orca said of a control since utterance $seen: from the utterance that begins with
# its name to its description, which Orca speaks last; printed as "LAST<TAB>TEXT" (LAST
# the description's utterance), nothing until both have been spoken.
seen=0
speech_of() {
    spoken | awk -v from="$seen" -v name="$1" -v description="$2." '
        NR > from && !start && index($0, name) == 1 { start = NR; text = $0; next }
        start && $0 == description { print NR "\t" text; exit }
        start { text = text " " $0 }'
}
has_speech_of() { [[ -n $(speech_of "$@") ]]; }
pass=$work/orca-pass.txt
: >"$pass"
# hear KEY NAME PATTERN DESCRIPTION: KEY pressed, Orca must speak the control NAME, its
# speech (description left out) matching the extended regex PATTERN, which holds the
# role and the value or state.
hear() {
    local key=$1 name=$2 pattern=$3 description=$4 result text
    xdotool key --clearmodifiers "$key"
    if ! e2e_wait_for 20 has_speech_of "$name" "$description"; then
        e2e_fail "$key: Orca did not speak \"$name\" and its description; it said: $(spoken | tail -n +$((seen + 1)) | tr '\n' '|')"
        seen=$(spoken | wc -l)
        return 0
    fi
    result=$(speech_of "$name" "$description")
    seen=${result%%$'\t'*} text=${result#*$'\t'}
    echo "$key: $text $description." | tee -a "$pass"
    [[ $text =~ ^$pattern$ ]] || e2e_fail "Orca's speech for \"$name\" is \"$text\", expected /$pattern/"
}
percent=' [0-9]+ percent\.'
# The panel in its tab order, from the slider that has the focus at the start (as the
# unit tests have it); sliders say their value, edits their text, radio buttons their state.
hear Tab 'Trigger Y: vertical position and trigger level' "Trigger Y: vertical position and trigger level slider 100$percent" \
    'Moves the trace up or down; the trigger level moves with it'
hear Tab 'Vertical: volts per division' "Vertical: volts per division slider 1$percent" 'Vertical scale, shown in the Volts box'
hear Tab 'Centre Trigger Y' 'Centre Trigger Y button\.' 'Puts the trace and the trigger level back on the centre line'
hear Tab 'Trigger X: horizontal position' "Trigger X: horizontal position slider 100$percent" 'Moves the trace left or right'
hear Tab 'Centre Trigger X' 'Centre Trigger X button\.' 'Puts the trace back in the middle'
hear Tab 'Refresh delay, milliseconds' 'Refresh delay, milliseconds text\. 0 selected\.' 'Type a whole number of milliseconds'
hear Tab 'Volts per division' 'Volts per division text\. 0\.5 selected\.' 'Set by the Vertical slider'
hear Tab 'Load' 'Load button\.' 'Loads the trace file and freezes the display'
hear Tab 'Save' 'Save button\.' 'Saves the current trace to the trace file'
hear Tab 'Pause' 'Pause button\.' 'Stops and restarts the display'
hear Tab 'Delay: refresh delay in milliseconds' "Delay: refresh delay in milliseconds slider 0$percent" \
    'Least time between two redraws of the screen'
hear Tab 'Trigger +/-: automatic' 'Trigger \+/-: automatic selected radio button\.' 'Draws every refresh'
hear Tab 'Merge' 'Merge button\.' "Draws the trace file's trace into the background in blue"
hear Tab 'Clear' 'Clear button\.' 'Clears the screen back to the background picture'
hear Tab 'File Name' 'File Name button\.' "Changes the trace file's name"
hear Tab 'Revers: reverse colours' 'Revers: reverse colours button\.' 'Switches between the normal and the reversed colour scheme'
hear Tab 'About' 'About button\.' "Shows the program's name and version"
hear Tab 'Export picture' 'Export picture button\.' 'Saves the screen as a BMP picture'
hear Tab 'Restore window size' 'Restore window size button\.' 'Puts the window back to its designed size'
hear Tab 'Horizontal: time base' "Horizontal: time base slider 2$percent" 'Milliseconds per division, shown beside the slider'

# An arrow key on the slider: Orca speaks its new value.
xdotool key --clearmodifiers Right
said_value() { spoken | tail -n +$((seen + 1)) | grep -qx '3'; }
if e2e_wait_for 20 said_value; then
    echo "Right: 3" | tee -a "$pass"
else
    e2e_fail "Right on the time base slider: Orca did not speak its new value 3; it said: $(spoken | tail -n +$((seen + 1)) | tr '\n' '|')"
fi
# The trigger group, back from the slider: Down moves to the next button and checks it.
for _ in $(seq 7); do xdotool key --clearmodifiers shift+Tab; done
hear shift+Tab 'Trigger +/-: automatic' 'Trigger \+/-: automatic selected radio button\.' 'Draws every refresh'
hear Down 'Trigger -: minus' 'Trigger -: minus selected radio button\.' \
    'Draws when the wave starts at or below the trigger level'
hear Down 'Trigger +: plus' 'Trigger \+: plus selected radio button\.' \
    'Draws when the wave starts at or above the trigger level'
# Where the speech went: speech-dispatcher's stream into the private null sink.
echo "speech streams: $(pactl list sink-inputs | grep -E 'application.name|Sink:' | tr -s ' \t' ' ' | tr '\n' ';')"
keep "$pass" orca-pass.txt
keep "$orca_log" orca-debug.log

if ((failures)); then
    echo "FAILED: $failures"
    exit 1
fi
echo "PASS: Orca"
