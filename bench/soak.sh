#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Soak: the real program on a virtual X display captures a played 1 kHz tone for a
# long time (10 minutes unless told otherwise). Every 30 s it prints the program's
# resident memory, its thread count and the fresh blocks drawn since the last line
# (from the counters that VELDORA_FRAME_STATS names); at the end, the growth of
# resident memory after the first minute.
# Usage: soak.sh <bin dir> [seconds, default 600] [interval, default 30]
set -euo pipefail
bin=$(cd "${1:?usage: soak.sh <bin dir> [seconds] [interval]}" && pwd)
seconds=${2:-600}
interval=${3:-30}
[[ -x "$bin/veldora" ]] || { echo "missing $bin/veldora" >&2; exit 1; }

source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/lib/session.sh"
e2e_make_workdir
e2e_start_pulse
e2e_capture_sink veldora_soak
e2e_play veldora_soak "sox -n -t raw -r 48000 -e signed -b 16 -c 1 - synth $((seconds + 120)) sine 1000 vol 0.5 2>/dev/null"
e2e_start_xvfb 241 290

stats="$E2E_WORK/soak.stats"
VELDORA_FRAME_STATS=$stats "$bin/veldora" >"$E2E_WORK/veldora.log" 2>&1 &
pid=$!
e2e_on_exit "e2e_stop_process $pid"
e2e_main_window 30 >/dev/null
for _ in $(seq 300); do [[ -s "$stats" ]] && break; sleep 0.1; done
[[ -s "$stats" ]] || { echo "no frame counters from the program" >&2; exit 1; }

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }
threads() { awk '/^Threads:/ { print $2 }' "/proc/$pid/status"; }
blocks() { awk '{ print $2 }' "$stats"; }

printf '%8s %10s %8s %12s\n' "time s" "RSS kB" threads "blocks/s"
start=$(date +%s)
last_blocks=$(blocks)
first_minute_rss=""
max_rss=0
elapsed=0
while ((elapsed < seconds)); do
    # The sampling period itself, not a synchronisation: nothing waits on this.
    sleep "$interval"
    kill -0 "$pid" 2>/dev/null || { echo "the program ended during the soak" >&2; exit 1; }
    elapsed=$(($(date +%s) - start))
    rss=$(rss_kb)
    b=$(blocks)
    printf '%8d %10d %8d %12.1f\n' "$elapsed" "$rss" "$(threads)" "$(awk -v a="$last_blocks" -v b="$b" -v t="$interval" 'BEGIN { print (b - a) / t }')"
    last_blocks=$b
    ((elapsed >= 60)) && [[ -z "$first_minute_rss" ]] && first_minute_rss=$rss
    ((rss > max_rss)) && max_rss=$rss
done
echo "resident memory growth after the first minute: $((max_rss - first_minute_rss)) kB"
