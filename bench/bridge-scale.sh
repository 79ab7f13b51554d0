#!/usr/bin/env bash
# What one velkor-bridge costs for N gateways of five five-input units read every second into a
# private Mosquitto on loopback, beside what a user would otherwise write for the same readings:
# one pipeline per gateway,
#     velkorctl counts --host ... --node 1-5 --watch 1 --json | mosquitto_pub -l -q 1 -t ...
# For each N the bridge runs first, then the N pipelines, on the same gateways (velkor-sim serves
# one client at a time, so the two cannot share them at once). Each runs a warm-up, then a window:
#  - CPU: the scheduler's run time of every thread of the processes (/proc/PID/task/*/schedstat,
#    the user and system time of /proc/PID/stat in nanoseconds rather than 10 ms ticks), over
#    the window; the broker's beside it;
#  - memory: VmRSS at the window's end, the pipelines' summed;
#  - readings per second: the bridge's own count of acknowledged readings (its stats topic, every
#    5 s here) and, for both, the readings a subscriber received in the window;
#  - latency: the bridge's own, from the start of a read to the broker's acknowledgement of it,
#    over every reading since it started (the first round, with its connections, included); and
#    for both, from the time in a reading's payload (milliseconds) to its arrival at the
#    subscriber, over the window.
#
#   bench/bridge-scale.sh [BUILD_DIR] [WINDOW_SECONDS] [N ...]
#       defaults: build-bench, 60, 1 10 100
#   BRIDGE=/path/to/velkor-bridge ...   another build of the bridge, e.g. one from before a change
#   PIPELINES=0 ...                      the bridge alone
#   ROUNDS=3 ...                         turns of the bridge and the pipelines for each N
#   PROFILE=FILE ...                     also a perf profile of the bridge at the largest N
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${1:-build-bench}
WINDOW=${2:-60}
shift $(($# > 2 ? 2 : $#))
COUNTS=("$@")
[ ${#COUNTS[@]} -gt 0 ] || COUNTS=(1 10 100)
WARMUP=15
# The bridge and the pipelines take turns this many times for each N, so that both meet the same
# load of the machine.
ROUNDS=${ROUNDS:-3}
STATS_MS=5000
WORK=$(mktemp -d)
# shellcheck source=bench/bridge-common.sh
. bench/bridge-common.sh

declare -a RUNNING=()
SUB_PID=
cleanup() {
    local pid
    for pid in "${RUNNING[@]}" $SUB_PID; do kill "$pid" 2>/dev/null || true; done
    stop_gateways
    stop_broker
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

largest=0
for n in "${COUNTS[@]}"; do [ "$n" -gt "$largest" ] && largest=$n; done
start_broker
for i in $(seq 1 "$largest"); do start_gateway "$i"; done
# One subscriber for both: a line per reading, with the time it arrived.
mosquitto_sub -h 127.0.0.1 -p "$BROKER_PORT" -q 1 -t 'velkor/scale/+/+/counts' \
    -t 'velkor/pipe/+/counts' -F '%U %t %p' >"$WORK/received" 2>/dev/null &
SUB_PID=$!
sleep 1

now_s() { date +%s.%N; }
# CPU time (ns) and resident memory (kB) of the processes given, summed, each read in one pass.
cpu_ns_of() {
    local pid files=()
    for pid in "$@"; do files+=(/proc/"$pid"/task/*/schedstat); done
    cat "${files[@]}" 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'
}
rss_of() {
    local pid files=()
    for pid in "$@"; do files+=(/proc/"$pid"/status); done
    awk '/^VmRSS:/ { s += $2 } END { print s + 0 }' "${files[@]}" 2>/dev/null
}
# Readings of topics under $1 that arrived between $2 and $3 (seconds since the epoch): how many,
# and the p50 and p99 of the time from the reading (the "time" in its payload, which has
# milliseconds, taken as the middle of its millisecond) to its arrival here, in ms.
received_between() {
    TZ=UTC awk -v p="$1" -v a="$2" -v b="$3" '
        function epoch(t,   s, z, off) {  # 2026-12-09T05:28:23.556Z, or with +01:00
            s = mktime(substr(t, 1, 4) " " substr(t, 6, 2) " " substr(t, 9, 2) " " \
                       substr(t, 12, 2) " " substr(t, 15, 2) " " substr(t, 18, 2))
            z = substr(t, 24)
            off = z == "Z" ? 0 : (substr(z, 2, 2) * 3600 + substr(z, 5, 2) * 60) * (substr(z, 1, 1) == "-" ? -1 : 1)
            return s - off + substr(t, 21, 3) / 1000 + 0.0005
        }
        index($2, p) == 1 && $3 ~ /"counts"/ && $1 >= a && $1 < b && match($0, /"time":"[^"]+"/) {
            printf "%.3f\n", 1000 * ($1 - epoch(substr($0, RSTART + 8, RLENGTH - 9)))
        }' "$WORK/received" | sort -n >"$WORK/latencies"
    awk '{ v[NR] = $1 } END {
        if (NR == 0) { print 0, "-", "-"; exit }
        printf "%d %.1f %.1f\n", NR, v[int(0.50 * (NR - 1)) + 1], v[int(0.99 * (NR - 1)) + 1] }' \
        "$WORK/latencies"
}
stats_time() { date -d "$(jq -r .time <<<"$1")" +%s.%N; }
percent() { awk -v t="$1" -v s="$2" 'BEGIN { printf "%.3f", 100 * t / 1e9 / s }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", n / s }'; }

# The window over the processes in RUNNING; sets T0 T1 CPU RSS BROKER_CPU.
measure() {
    local c0 c1 k0 k1
    T0=$(now_s)
    c0=$(cpu_ns_of "${RUNNING[@]}")
    k0=$(cpu_ns "$BROKER_PID")
    sleep "$WINDOW"
    c1=$(cpu_ns_of "${RUNNING[@]}")
    k1=$(cpu_ns "$BROKER_PID")
    T1=$(now_s)
    CPU=$((c1 - c0))
    BROKER_CPU=$((k1 - k0))
    RSS=$(rss_of "${RUNNING[@]}")
}

stop_running() {
    local pid
    for pid in "${RUNNING[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${RUNNING[@]}"; do wait "$pid" 2>/dev/null || true; done
    RUNNING=()
}

# The bridge for gateways 1 to $1 through the warm-up and the window; sets the B_ figures.
run_bridge() {
    local s1 seconds got
    write_config scale "$1" "$WORK/bridge$1.toml"
    VELKOR_BRIDGE_STATS_PERIOD_MS=$STATS_MS "$BRIDGE" --config "$WORK/bridge$1.toml" \
        2>"$WORK/bridge$1.log" &
    B_PID=$!
    RUNNING=("$B_PID")
    sleep "$WARMUP"
    # The baseline of the window: the stats published as it opens.
    S_FIRST=$(bridge_stats scale)
    measure
    sleep $((STATS_MS / 1000 + 1))
    s1=$(bridge_stats scale)
    seconds=$(awk -v a="$T0" -v b="$T1" 'BEGIN { print b - a }')
    B_CPU=$(percent "$CPU" "$seconds")
    B_BROKER=$(percent "$BROKER_CPU" "$seconds")
    B_RSS=$(awk -v k="$RSS" 'BEGIN { printf "%.1f", k / 1024 }')
    read -r got B_SUB50 B_SUB99 < <(received_between velkor/scale/ "$T0" "$T1")
    B_RECEIVED=$(rate "$got" "$seconds")
    B_P50=$(jq -r '.latencyMs.p50 * 100 | round / 100' <<<"$s1")
    B_P99=$(jq -r '.latencyMs.p99 * 100 | round / 100' <<<"$s1")
    B_OPEN=$(jq -r '.reads - .failedReads - .published - .dropped' <<<"$s1")
    B_FAILED=$(jq -r .failedReads <<<"$s1")
    B_DROPPED=$(jq -r .dropped <<<"$s1")
    B_ACKED=$(awk -v p0="$(jq .published <<<"$S_FIRST")" -v p1="$(jq .published <<<"$s1")" \
        -v t0="$(stats_time "$S_FIRST")" -v t1="$(stats_time "$s1")" \
        'BEGIN { printf "%.1f", (p1 - p0) / (t1 - t0) }')
    if [ -n "${PROFILE:-}" ] && [ "$1" -eq "$largest" ]; then
        perf record -F 999 -g -o "$WORK/perf.data" -p "$B_PID" -- sleep 30 >/dev/null 2>&1 || true
        perf report -i "$WORK/perf.data" --no-children --stdio 2>/dev/null | head -150 >"$PROFILE" || true
    fi
    stop_running
}

run_pipelines() {
    local n=$1 i fifo seconds got c0
    CTL_PIDS=()
    for i in $(seq 1 "$n"); do
        fifo="$WORK/pipe$i"
        rm -f "$fifo"
        mkfifo "$fifo"
        "$CTL" counts --host "127.0.0.1:${SIM_PORTS[$i]}" --node 1-5 --watch 1 --json >"$fifo" \
            2>/dev/null &
        RUNNING+=($!)
        CTL_PIDS+=($!)
        mosquitto_pub -h 127.0.0.1 -p "$BROKER_PORT" -l -q 1 -t "velkor/pipe/gw$i/counts" \
            <"$fifo" &
        RUNNING+=($!)
    done
    sleep "$WARMUP"
    c0=$(cpu_ns_of "${CTL_PIDS[@]}")
    measure
    CTL_CPU=$(($(cpu_ns_of "${CTL_PIDS[@]}") - c0))
    seconds=$(awk -v a="$T0" -v b="$T1" 'BEGIN { print b - a }')
    P_CPU=$(percent "$CPU" "$seconds")
    P_CTL=$(percent "$CTL_CPU" "$seconds")
    P_BROKER=$(percent "$BROKER_CPU" "$seconds")
    P_RSS=$(awk -v k="$RSS" 'BEGIN { printf "%.1f", k / 1024 }')
    read -r got P_SUB50 P_SUB99 < <(received_between velkor/pipe/ "$T0" "$T1")
    P_RECEIVED=$(rate "$got" "$seconds")
    stop_running
}

echo "bridge-scale: ${WINDOW} s windows after ${WARMUP} s of warm-up, gateways of 5 units at 1 s;" \
    "$(nproc) cores; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
rows=()
for n in "${COUNTS[@]}"; do
    for round in $(seq 1 "$ROUNDS"); do
        load0=$(cut -d' ' -f1 /proc/loadavg)
        run_bridge "$n"
        load1=$(cut -d' ' -f1 /proc/loadavg)

        P_CPU=0 P_CTL=- P_RSS=- P_RECEIVED=0 P_BROKER=- P_SUB50=- P_SUB99=-
        [ "${PIPELINES:-1}" = 0 ] || run_pipelines "$n"
        load2=$(cut -d' ' -f1 /proc/loadavg)
        share=$(awk -v b="$B_CPU" -v p="$P_CPU" -v rb="$B_RECEIVED" -v rp="$P_RECEIVED" \
            'BEGIN { if (p > 0 && rb > 0 && rp > 0) printf "%.0f %%", 100 * (b / rb) / (p / rp); else print "-" }')
        rows+=("| $n | $round | $((n * 5)) | $B_ACKED ($B_RECEIVED) | $B_FAILED / $B_DROPPED / $B_OPEN | $B_CPU | $B_RSS | $B_P50 / $B_P99 | $B_SUB50 / $B_SUB99 | $P_RECEIVED | $P_CPU ($P_CTL) | $P_RSS | $P_SUB50 / $P_SUB99 | $share | $B_BROKER / $P_BROKER | $load0 / $load1 / $load2 |")
        echo "N=$n round $round done" >&2
    done
done

echo
echo "| Gateways | Round | Readings/s due | Bridge: acknowledged/s (received/s) | Bridge: failed / dropped / open | Bridge CPU, % of a core | Bridge RSS, MB | Bridge: read to acknowledgement p50 / p99, ms (since its start) | Bridge: reading to subscriber p50 / p99, ms (window) | Pipelines: received/s | Pipelines CPU, % of a core (of it velkorctl) | Pipelines RSS, MB (all) | Pipelines: reading to subscriber p50 / p99, ms | Bridge CPU per reading, % of the pipelines' | Broker CPU, % of a core, bridge / pipelines | Load (1 min) before / after bridge / after pipelines |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
