# shellcheck shell=bash
# Pieces shared by bridge-scale.sh and bridge-soak.sh, sourced by them: a private Mosquitto on
# loopback, gateways of five five-input units (one velkor-sim each, since one serves one client at
# a time), a bridge configuration for them, and what /proc says about a process.
#
# The caller sets BIN (the build directory) and WORK (a scratch directory) before sourcing.

# The broker, its clients (mosquitto_sub reads the bridge's stats and the readings; mosquitto_pub is
# the pipelines' publisher) and jq, which reads the stats.
"$(dirname "${BASH_SOURCE[0]}")/../tools/install-deps.sh" mosquitto mosquitto-clients jq

SIM=$BIN/sim/velkor-sim
BRIDGE=${BRIDGE:-$BIN/bridge/velkor-bridge}
# shellcheck disable=SC2034  # used by the scripts that source this
CTL=$BIN/cli/velkorctl
# shellcheck disable=SC2034
TICKS=$(getconf CLK_TCK)
declare -a SIM_PIDS=() SIM_PORTS=()

# A loopback port nobody listens on right now.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits until something accepts on 127.0.0.1:$1 (at most 10 s).
await_port() {
    local _
    for _ in $(seq 1 200); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.05
    done
    echo "nothing listens on 127.0.0.1:$1" >&2
    return 1
}

# The broker, kept across restarts: its sessions and queued messages survive a stop, so that a
# subscriber with a session of its own misses nothing while the broker is away.
BROKER_PID=
start_broker() {
    BROKER_PORT=${BROKER_PORT:-$(free_port)}
    mkdir -p "$WORK/broker"
    cat >"$WORK/broker/mosquitto.conf" <<EOF
listener $BROKER_PORT 127.0.0.1
user $(id -un)
allow_anonymous true
persistence true
persistence_location $WORK/broker/
max_queued_messages 1000000
max_inflight_messages 0
log_dest file $WORK/broker/mosquitto.log
EOF
    mosquitto -c "$WORK/broker/mosquitto.conf" &
    BROKER_PID=$!
    await_port "$BROKER_PORT"
}

stop_broker() {
    [ -n "$BROKER_PID" ] || return 0
    kill "$BROKER_PID" 2>/dev/null
    wait "$BROKER_PID" 2>/dev/null || true
    BROKER_PID=
}

# Gateway $1 (from 1): a velkor-sim with five five-input units at nodes 1 to 5, counting, on the
# port it had before (a restart) or on a free one.
start_gateway() {
    local i=$1 port=${SIM_PORTS[$1]:-0} out
    out="$WORK/sim$i.port"
    : >"$out"
    "$SIM" --listen "127.0.0.1:$port" --quiet \
        --unit 1:2 --unit 2:2 --unit 3:2 --unit 4:2 --unit 5:2 \
        --settings 1:counting=1 --settings 2:counting=1 --settings 3:counting=1 \
        --settings 4:counting=1 --settings 5:counting=1 >"$out" &
    SIM_PIDS[i]=$!
    local _
    for _ in $(seq 1 200); do
        [ -s "$out" ] && break
        sleep 0.05
    done
    SIM_PORTS[i]=$(head -n1 "$out")
}

stop_gateway() {
    [ -n "${SIM_PIDS[$1]:-}" ] || return 0
    kill "${SIM_PIDS[$1]}" 2>/dev/null
    wait "${SIM_PIDS[$1]}" 2>/dev/null || true
    SIM_PIDS[$1]=
}

stop_gateways() {
    local i
    for i in "${!SIM_PIDS[@]}"; do stop_gateway "$i"; done
}

# A bridge configuration named $1 for gateways 1 to $2, polled every second, written to $3.
write_config() {
    local name=$1 count=$2 file=$3 i
    {
        echo "name = \"$name\""
        echo
        echo "[broker]"
        echo "host = \"127.0.0.1\""
        echo "port = $BROKER_PORT"
        echo "client_id = \"velkor-bridge-$name\""
        for i in $(seq 1 "$count"); do
            echo
            echo "[[gateway]]"
            echo "name = \"gw$i\""
            echo "host = \"127.0.0.1:${SIM_PORTS[$i]}\""
            echo "nodes = \"1-5\""
            echo "interval = 1"
        done
    } >"$file"
}

# CPU time of process $1 so far (user and system, all threads), in clock ticks.
cpu_ticks() {
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null || echo 0
}

# CPU time of process $1 so far (every thread, from the scheduler's statistics), in nanoseconds:
# the clock ticks of /proc/PID/stat are 10 ms, a tenth of what a quiet bridge uses in a minute.
cpu_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'
}

# Resident memory of process $1, in kB.
rss_kb() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0
}

# The retained stats of bridge $1 as the broker holds them now: one JSON object.
bridge_stats() {
    mosquitto_sub -h 127.0.0.1 -p "$BROKER_PORT" -t "velkor/$1/stats" -C 1 -W 5 2>/dev/null
}
