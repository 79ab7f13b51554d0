#!/usr/bin/env bash
# One bridge, N gateways (default 10) of five five-input units at 1 s, a private Mosquitto on
# loopback, for a long run (default one hour): every few minutes (default 3) one gateway's
# velkor-sim is killed and started again on the same port 5 s later, in turn; at half time the
# broker is stopped for 20 s and started again. A subscriber with a session of its own counts the
# readings that arrive. At the end the gateways are stopped first, so that no read is under way,
# the bridge's queue drains, and the balance is taken:
#   reads - failed reads = delivered + dropped + still queued      (the bridge's stats)
#   distinct (topic, seq) received by the subscriber = delivered
# and the bridge's resident memory, sampled every 30 s, at the start, the middle and the end.
#
#   bench/bridge-soak.sh [BUILD_DIR] [SECONDS] [GATEWAYS] [DROP_EVERY_SECONDS]
#       defaults: build-bench, 3600, 10, 180
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${1:-build-bench}
DURATION=${2:-3600}
GATEWAYS=${3:-10}
DROP_EVERY=${4:-180}
BROKER_DOWN_S=20
GATEWAY_DOWN_S=5
SAMPLE_EVERY=30
WORK=$(mktemp -d)
# shellcheck source=bench/bridge-common.sh
. bench/bridge-common.sh

BRIDGE_PID=""
SUB_PID=""
cleanup() {
    [ -n "$BRIDGE_PID" ] && kill "$BRIDGE_PID" 2>/dev/null
    [ -n "$SUB_PID" ] && kill "$SUB_PID" 2>/dev/null
    stop_gateways
    stop_broker
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

log() { echo "$(date -u +%H:%M:%S) $*"; }

start_broker
for i in $(seq 1 "$GATEWAYS"); do start_gateway "$i"; done
write_config soak "$GATEWAYS" "$WORK/bridge.toml"

# The subscriber's session outlives its connection (clean session off), so what the broker
# receives while the subscriber reconnects after a broker restart is kept for it.
mosquitto_sub -h 127.0.0.1 -p "$BROKER_PORT" -i velkor-soak-counter -c -q 1 \
    -t 'velkor/soak/+/+/counts' -F '%t %p' >"$WORK/received" 2>"$WORK/sub.log" &
SUB_PID=$!
sleep 1

VELKOR_BRIDGE_STATS_PERIOD_MS=10000 "$BRIDGE" --config "$WORK/bridge.toml" 2>"$WORK/bridge.log" &
BRIDGE_PID=$!
log "bridge $BRIDGE_PID: $GATEWAYS gateways x 5 units at 1 s, broker on 127.0.0.1:$BROKER_PORT, ${DURATION} s"

start=$(date +%s)
next_drop=$((start + DROP_EVERY))
broker_at=$((start + DURATION / 2))
next_sample=$start
drops=0
victim=0
broker_restarted=no
echo "seconds rss_kb cpu_ticks" >"$WORK/rss"
while :; do
    now=$(date +%s)
    elapsed=$((now - start))
    [ "$elapsed" -ge "$DURATION" ] && break
    kill -0 "$BRIDGE_PID" 2>/dev/null || { log "the bridge ended early"; tail -20 "$WORK/bridge.log"; exit 1; }
    if [ "$now" -ge "$next_sample" ]; then
        echo "$elapsed $(rss_kb "$BRIDGE_PID") $(cpu_ticks "$BRIDGE_PID")" >>"$WORK/rss"
        next_sample=$((next_sample + SAMPLE_EVERY))
    fi
    if [ "$now" -ge "$next_drop" ]; then
        victim=$((victim % GATEWAYS + 1))
        log "gateway gw$victim dropped for ${GATEWAY_DOWN_S} s"
        stop_gateway "$victim"
        sleep "$GATEWAY_DOWN_S"
        start_gateway "$victim"
        drops=$((drops + 1))
        next_drop=$((next_drop + DROP_EVERY))
    fi
    if [ "$broker_restarted" = no ] && [ "$now" -ge "$broker_at" ]; then
        log "broker stopped for ${BROKER_DOWN_S} s"
        stop_broker
        sleep "$BROKER_DOWN_S"
        start_broker
        broker_restarted=yes
        log "broker started again"
    fi
    sleep 1
done

log "stopping the gateways, letting the queue drain"
echo "$(($(date +%s) - start)) $(rss_kb "$BRIDGE_PID") $(cpu_ticks "$BRIDGE_PID")" >>"$WORK/rss"
stop_gateways
sleep 25  # two stats periods: the last one is taken with nothing left to read or deliver
stats=$(bridge_stats soak)
kill "$BRIDGE_PID"
wait "$BRIDGE_PID" || true
BRIDGE_PID=
sleep 2
kill "$SUB_PID"
wait "$SUB_PID" 2>/dev/null || true
SUB_PID=

get() { jq -r "$1" <<<"$stats"; }
reads=$(get .reads) failed=$(get .failedReads) published=$(get .published)
queued=$(get .queued) dropped=$(get .dropped)
received=$(awk '{ if (match($0, /"seq":[0-9]+/)) print $1, substr($0, RSTART + 6, RLENGTH - 6) }' \
    "$WORK/received" | sort -u | wc -l)
taken=$((reads - failed))
unaccounted=$((taken - published - dropped - queued))

rss_at() {  # the sample nearest to second $1
    awk -v t="$1" 'NR > 1 { d = $1 - t; if (d < 0) d = -d; if (best == "" || d < best) { best = d; v = $2 } }
        END { print v }' "$WORK/rss"
}
rss_start=$(rss_at 60)
rss_mid=$(rss_at $((DURATION / 2 - 30)))
rss_end=$(rss_at "$DURATION")
rss_max=$(awk 'NR > 1 && $2 > m { m = $2 } END { print m }' "$WORK/rss")
cpu_pct=$(awk -v hz="$TICKS" 'NR == 2 { t0 = $1; c0 = $3 } NR > 2 { t = $1; c = $3 }
    END { printf "%.2f", 100 * (c - c0) / hz / (t - t0) }' "$WORK/rss")

echo
echo "Soak: $GATEWAYS gateways x 5 units at 1 s for ${DURATION} s; $drops gateway drops" \
    "(${GATEWAY_DOWN_S} s each), broker restarted once (${BROKER_DOWN_S} s away): $broker_restarted"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "| Figure | Value |"
echo "|---|---|"
echo "| reads | $reads |"
echo "| failed reads (gateway away) | $failed |"
echo "| readings taken | $taken |"
echo "| delivered (acknowledged by the broker) | $published |"
echo "| dropped (counted) | $dropped |"
echo "| still queued | $queued |"
echo "| unaccounted (taken - delivered - dropped - queued) | $unaccounted |"
echo "| distinct readings received by the subscriber | $received |"
echo "| broker reconnects / gateway reconnects | $(get .brokerReconnects) / $(get .gatewayReconnects) |"
echo "| latency p50 / p99, ms (last 100000 readings) | $(get .latencyMs.p50) / $(get .latencyMs.p99) |"
echo "| bridge CPU, whole run | $cpu_pct % of a core |"
echo "| bridge RSS at 1 min / half time / end / highest, kB | $rss_start / $rss_mid / $rss_end / $rss_max |"
echo
echo "RSS samples (seconds, kB):"
awk 'NR > 1 { printf "%s:%s ", $1, $2 } END { print "" }' "$WORK/rss"
echo "bridge log: $(grep -c . "$WORK/bridge.log") lines, of them warnings: $(grep -c warning "$WORK/bridge.log" || true)"
grep -v -e 'node [0-9]: ' "$WORK/bridge.log" | tail -40
