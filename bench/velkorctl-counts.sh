#!/usr/bin/env bash
# Wall time of `velkorctl counts` of one five-input unit (node 1 of velkor-sim's default set)
# against velkor-sim on loopback, process start and exit included, beside `velkorctl --version`
# (the process alone) in the same run, the two taking turns. Prints the minimum, median and
# maximum of each in milliseconds.
#
#   bench/velkorctl-counts.sh [BUILD_DIR] [RUNS]     (defaults: build/default, 15; at least 9)
#   CTL=/path/to/velkorctl bench/velkorctl-counts.sh ...   (another build, e.g. one from before)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/default}
runs=${2:-15}
[ "$runs" -ge 9 ] || { echo "at least 9 runs, for a median that one slow run cannot move" >&2; exit 2; }
ctl=${CTL:-$bin/cli/velkorctl}
work=$(mktemp -d)
"$bin/sim/velkor-sim" --listen 127.0.0.1:0 --quiet >"$work/port" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
route="--host 127.0.0.1:$(head -n1 "$work/port")"

# Milliseconds of one run of the command given.
run_ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}

# shellcheck disable=SC2086
"$ctl" counts $route --node 1 >/dev/null  # the simulator's first connection, not timed
: >"$work/counts"
: >"$work/version"
for _ in $(seq 1 "$runs"); do
    # shellcheck disable=SC2086
    run_ms "$ctl" counts $route --node 1 >>"$work/counts"
    run_ms "$ctl" --version >>"$work/version"
done

summary() {
    sort -n "$1" | awk '{ v[NR] = $1 } END {
        printf "min %.1f  median %.1f  max %.1f ms\n", v[1] / 1000, v[int((NR + 1) / 2)] / 1000, v[NR] / 1000 }'
}
echo "velkorctl counts, one five-input unit ($runs runs): $(summary "$work/counts")"
echo "velkorctl --version ($runs runs):                  $(summary "$work/version")"
