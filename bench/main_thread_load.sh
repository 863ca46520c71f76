#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The main thread's round trips on a loaded machine, to tell the program's stalls from
# the machine's. The real program runs on a virtual X display capturing a played 1 kHz
# tone, beside the baseline window (bench_baseline_window: a plain Qt window that
# repaints a 291 x 330 picture 20 times a second, no sound), while a busy loop at
# normal priority runs on every core. ping_probe sends both windows a _NET_WM_PING
# every 20 ms for SECONDS; for each the distribution of round trips is printed, and each
# of the program's round trips over 100 ms is set against the baseline's at the same
# moment: a stall both show is the machine's, one only the program shows is its own.
# Usage: main_thread_load.sh <bin dir> [seconds, default 60]; VELDORA_E2E_ROUTES picks the
# sound stacks (each is measured in turn).
set -euo pipefail
seconds=${2:-60}
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/lib/session.sh"
e2e_begin "${1:-}" veldora bench_baseline_window ping_probe -- pactl pacat sox Xvfb xdotool
e2e_start_xvfb 241 290
sink=veldora_bench

pids=()
stop_all() {
    local p
    for p in "${pids[@]}"; do
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    pids=()
}
e2e_on_exit stop_all

# window TITLE: the id of the shown window named TITLE, waited for.
window() { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1; }

# distribution FILE NAME: percentiles and counts of the round trips in FILE ("<ms>
# answered" or "<ms waited> unanswered", one a line).
distribution() {
    sort -n "$1" | awk -v name="$2" '
        { v[NR] = $1; if ($1 > 50) o50++; if ($1 > 100) o100++; if ($1 > 200) o200++; if ($2 == "unanswered") unanswered++ }
        function p(q) { return v[int(q * (NR - 1)) + 1] }
        END {
            if (NR == 0) { printf "%-9s no round trip\n", name; exit }
            printf "%-9s %6d %5d %5d %5d %6d %6d %5d %5d %5d %5d\n", name, NR, p(0.5), p(0.9), p(0.99),
                p(0.999), v[NR], o50 + 0, o100 + 0, o200 + 0, unanswered + 0
        }'
}

measure() {
    e2e_enter_route "$route" >/dev/null || { echo "route $route: server did not start" >&2; return 0; }
    e2e_capture_sink $sink
    e2e_play $sink "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth 3600 sine 1000 vol 0.5 2>/dev/null" 200

    e2e_run_program "$bin/veldora" >"$work/veldora-$route.log" 2>&1 &
    pids+=($!)
    "$bin/bench_baseline_window" >"$work/baseline.log" 2>&1 &
    pids+=($!)
    local program baseline
    program=$(window "Veldora 1.0")
    baseline=$(window "Veldora baseline")
    [[ -n "$program" && -n "$baseline" ]] || { echo "route $route: a window did not appear" >&2; stop_all; return 0; }

    local n probe load_before
    load_before=$(cut -d' ' -f1 /proc/loadavg)
    for n in $(seq "$(nproc)"); do
        bash -c 'while :; do :; done' &
        pids+=($!)
    done
    "$bin/ping_probe" "$program" "$baseline" >"$work/pings" &
    probe=$!
    sleep "$seconds" # the measurement itself
    kill -TERM "$probe"
    wait "$probe" || true
    stop_all
    e2e_stop_player
    e2e_stop_server

    awk -v w="$program" '$4 == w { print $2, $3 }' "$work/pings" >"$work/program"
    awk -v w="$baseline" '$4 == w { print $2, $3 }' "$work/pings" >"$work/baseline"
    echo "===== route $route: ${seconds} s, a busy loop on each of $(nproc) cores (load average before: $load_before)"
    printf "%-9s %6s %5s %5s %5s %6s %6s %5s %5s %5s %5s\n" "ms" pings p50 p90 p99 p99.9 max ">50" ">100" ">200" lost
    distribution "$work/program" veldora
    distribution "$work/baseline" baseline
    awk -v program="$program" -v baseline="$baseline" '
        NR == 1 { first = $1 }
        $4 == baseline { at[++n] = $1; took[n] = $2; next }
        $4 == program && $2 > 100 { slow[++m] = $1; ms[m] = $2 }
        END {
            for (i = 1; i <= m; i++) {
                both = 0
                for (j = 1; j <= n; j++) if (at[j] >= slow[i] - 40 && at[j] <= slow[i] + 40 && took[j] > 100) both = 1
                printf "veldora %d ms at +%d ms: %s\n", ms[i], slow[i] - first, both ? "the baseline stalled too (the machine)" : "the program alone"
            }
        }' <(sort -n "$work/pings") | head -n 40
}

e2e_each_route measure
