#!/usr/bin/env bash
# Connect time of the main dialog: from the gateway's accept to the last frame of the connect
# sequence ("MD", "PY", one "PH" per input, "PP", one "PG" per counted input), as velkor-sim logs
# them, against a unit that answers at once. The dialog is driven by the headless tour.
#
#   bench/connect-time.sh [BUILD_DIR] [RUNS]     (defaults: build/default, 10)
#   TOUR=/path/to/velkor-tour bench/connect-time.sh ...
#
# Node 1 of the simulator's default set has five inputs, all counted: 13 frames. Prints each run
# and the minimum, median and maximum in milliseconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/default}
runs=${2:-10}
frames=13
sim="$bin/sim/velkor-sim"
# TOUR names another build of the tour, e.g. one kept from before a change, to compare.
tour=${TOUR:-$bin/tools/velkor-tour}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Milliseconds since midnight of a log line's local time stamp.
stamp_ms() {
    local t=${1#*T}
    IFS=: read -r h m s <<<"$t"
    awk -v h="$h" -v m="$m" -v s="$s" 'BEGIN { printf "%.3f", (h * 3600 + m * 60 + s) * 1000 }'
}

results=()
for run in $(seq 1 "$runs"); do
    log="$work/sim-$run.log"
    "$sim" --listen 127.0.0.1:0 --log "$log" >"$work/port" &
    sim_pid=$!
    for _ in $(seq 1 50); do [ -s "$work/port" ] && break; sleep 0.05; done
    port=$(head -n1 "$work/port")
    QT_QPA_PLATFORM=offscreen "$tour" 127.0.0.1 "$port" 1 "$work/tour.png" >/dev/null 2>&1
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    accepted=$(grep -m1 -E '^[^ ]+ tcp#1 -- ' "$log" | cut -d' ' -f1)
    last=$(grep -E '^[^ ]+ tcp#1 RX ' "$log" | sed -n "${frames}p" | cut -d' ' -f1)
    ms=$(awk -v a="$(stamp_ms "$accepted")" -v b="$(stamp_ms "$last")" 'BEGIN { printf "%.1f", b - a }')
    echo "run $run: $ms ms"
    results+=("$ms")
    : >"$work/port"
done
printf '%s\n' "${results[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    printf "connect time over %d runs: min %.1f ms, median %.1f ms, max %.1f ms\n",
           NR, v[1], (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[NR] }'
