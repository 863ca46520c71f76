#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# A try, not a test (scripts/try-kwin.sh runs it): the installed program under KDE
# Plasma's KWin, on a virtual output with XWayland, in a session bus and runtime folder
# of its own. Launched through its desktop entry, as a Wayland client and again as an X
# client through XWayland; KWin's own scripting says which desktop entry it matched each
# window to, its screenshots show the decorations and (on X, where xdotool clicks) the
# File Name dialog and the About box, and KWin's close must end the program with status 0.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
desktop_file=/usr/share/applications/org.veldora.Veldora.desktop
source "$here/lib/session.sh"
e2e_installed_begin dbus-run-session kwin_wayland Xwayland xdotool gio convert python3 "$desktop_file"
export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland
# KWin lets only the callers its desktop files allow take screenshots; this does for all.
export KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1
export QT_LOGGING_RULES="kwin_scripting.debug=true;js.debug=true"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
source "$here/lib/session_bus.sh"
e2e_bus_activation_env XDG_CURRENT_DESKTOP XDG_SESSION_TYPE

e2e_start_server pulse
e2e_capture_sink veldora_kwin

kwin_pid=""
# Where XWayland's socket goes (in the root's own /tmp); KWin does not make the folder.
mkdir -p -m 1777 /tmp/.X11-unix
dpkg-query -W kwin-wayland
kwin_wayland --virtual --xwayland --width 1280 --height 800 --socket wayland-kwin --no-lockscreen \
    --no-global-shortcuts >"$work/kwin.log" 2>&1 &
kwin_pid=$!
e2e_on_exit 'e2e_stop_process "$kwin_pid"'
kwin_answers() { gdbus call --session --dest org.kde.KWin --object-path /KWin --method org.kde.KWin.currentDesktop >/dev/null 2>&1; }
e2e_wait_for 60 kwin_answers || { echo "FAIL: KWin did not answer"; cat "$work/kwin.log"; exit 1; }
export WAYLAND_DISPLAY=wayland-kwin
x_socket() { ls /tmp/.X11-unix 2>/dev/null | grep -q '^X'; }
x_display=""
! e2e_wait_for 30 x_socket || x_display=$(ls /tmp/.X11-unix | sed -n 's/^X/:/p' | head -n 1)
[[ -n $x_display ]] || { echo "no XWayland socket; KWin said:"; grep -i -m 20 'xwayland\|x11\|display' "$work/kwin.log" || true; }
echo "KWin answers; XWayland on ${x_display:-none}"
e2e_bus_activation_env WAYLAND_DISPLAY

# Runs the KWin script $1 (JavaScript); what it prints lands in KWin's log.
# (Each under a name of its own: KWin loads a name once. Called in $(...) too, where no
# counter would last.)
kwin_script() {
    local name=veldora-${EPOCHREALTIME/./} id
    printf '%s\n' "$1" >"$work/$name.js"
    id=$(gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.loadScript \
        "$work/$name.js" "$name")
    [[ $id != "(-1,)" ]] || { echo "KWin did not load $name.js" >&2; return 1; }
    gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.start >/dev/null
}
# Prints "caption|desktop file|class|frame x,y,w,h|client x,y,w,h|transient for|no border"
# for every window.
windows() {
    local log=$work/kwin.log lines ends
    lines=$(grep -ac 'veldora-window|' "$log" || true)
    ends=$(grep -ac 'veldora-window-end' "$log" || true)
    kwin_script 'const rect = g => [g.x, g.y, g.width, g.height].join(",");
        for (const w of workspace.windowList())
            print("veldora-window|" + w.caption + "|" + w.desktopFileName + "|" + w.resourceClass + "|" +
                  rect(w.frameGeometry) + "|" + rect(w.clientGeometry) + "|" +
                  (w.transientFor ? w.transientFor.caption : "") + "|" + w.noBorder);
        print("veldora-window-end");'
    e2e_wait_for 10 bash -c "(( \$(grep -ac 'veldora-window-end' '$log') > $ends ))" || true
    grep -a 'veldora-window|' "$log" | tail -n +$((lines + 1)) | sed 's/^.*veldora-window|//; s/"$//'
}
shown() { windows | grep -q "^$1|"; }
close_window() { kwin_script "for (const w of workspace.windowList()) if (w.caption === '$1') w.closeWindow();"; }
# KWin's screenshot interface comes with its OpenGL compositing only: a virtual output
# without a GPU composites with QPainter, and has none.
kwin_shots=0
gdbus introspect --session --dest org.kde.KWin --object-path /org/kde/KWin/ScreenShot2 2>/dev/null |
    grep -q 'org.kde.KWin.ScreenShot2' && kwin_shots=1
((kwin_shots)) || echo "no screenshots: KWin offers no screenshot interface here ($(grep -m 1 -o 'Configured compositor.*' "$work/kwin.log" || echo 'no OpenGL'))"
screenshot() {
    ((kwin_shots)) || return 0
    local raw=$work/$1.raw size
    size=$(python3 "$here/kwin/screenshot.py" "$raw") || { e2e_fail "KWin's screenshot failed"; return 0; }
    read -r width height _ _ <<<"$size"
    convert -size "${width}x$height" -depth 8 "bgra:$raw" "$work/$1.png"
    keep "$work/$1.png" "kwin-$1.png"
    echo "screenshot: kwin-$1.png ($size)"
}

exits=$work/exits
: >"$exits"
launch() {
    python3 "$here/lib/reaper.py" "$exits" gio launch "$desktop_file" >>"$work/veldora.log" 2>&1 &
    reaper_pid=$!
    e2e_wait_for 30 pgrep -x -P "$reaper_pid" veldora >/dev/null || { e2e_fail "the desktop entry did not start the program"; return 1; }
    app_pid=$(pgrep -x -P "$reaper_pid" veldora)
}
reaper_pid=""
e2e_on_exit 'e2e_stop_process "$reaper_pid"'
e2e_on_exit e2e_stop_app
close_main() {
    close_window 'Veldora 1.0'
    if e2e_wait_for 30 grep -q "^$app_pid " "$exits"; then
        echo "KWin's close ended the program: status $(awk -v pid="$app_pid" '$1 == pid { print $3 }' "$exits")"
        grep -q "^$app_pid veldora 0\$" "$exits" || e2e_fail "the program did not end with status 0"
        app_pid=""
    else
        e2e_fail "KWin's close did not end the program"
    fi
}

# --- as a Wayland client.
launch
e2e_wait_for 60 shown 'Veldora 1.0' || e2e_fail "no main window on Wayland"
echo "Wayland: $(windows | grep '^Veldora 1.0|')"
screenshot wayland-main
close_main

# --- as an X client through XWayland, where xdotool clicks.
if [[ -n $x_display ]]; then
    export DISPLAY=$x_display QT_QPA_PLATFORM=xcb
    launch
    e2e_wait_for 60 shown 'Veldora 1.0' || e2e_fail "no main window on XWayland"
    echo "XWayland: $(windows | grep '^Veldora 1.0|')"
    window=$(xdotool search --onlyvisible --name '^Veldora 1.0$' | head -n 1)
    xdotool mousemove --window "$window" $((291 + 152)) 312 click 1
    e2e_wait_for 20 shown 'File Name' || e2e_fail "the File Name dialog did not open"
    echo "XWayland: $(windows | grep '^File Name|')"
    screenshot xwayland-file-name
    close_window 'File Name'
    e2e_wait_for 20 bash -c "! xdotool search --onlyvisible --name '^File Name\$' >/dev/null" || true
    xdotool mousemove --window "$window" $((291 + 188)) 20 click 1
    e2e_wait_for 20 shown 'Form3' || e2e_fail "the About box did not open"
    echo "XWayland: $(windows | grep '^Form3|')"
    screenshot xwayland-about
    close_window 'Form3'
    close_main
fi

keep "$work/kwin.log" kwin.log
if ((failures)); then
    echo "--- KWin log"; grep -v 'veldora-window' "$work/kwin.log" | head -n 60
    echo "--- program log"; cat "$work/veldora.log"
    echo "FAILED: $failures"
    exit 1
fi
echo "DONE: KWin"
