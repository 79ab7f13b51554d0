#!/usr/bin/env bash
# Installs what is missing, builds what it runs (preset "demo": the window, the simulator and the
# headless tour, optimised, without debug information or tests), starts the simulated gateway on
# 127.0.0.1:10003 and opens the Velkor window; the simulator stops when the window closes.
# Without a display it runs a scripted tour offscreen instead and saves a picture of the
# connected dialog.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh nlohmann-json3-dev
cmake --preset demo >/dev/null
cmake --build --preset demo
bin=build/demo

# Unit 1 counts from the start, so every read shows numbers moving.
"$bin/sim/velkor-sim" --listen 127.0.0.1:10003 --quiet --settings 1:counting=1 >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
sleep 0.3
if ! kill -0 "$sim" 2>/dev/null; then
    echo "velkor-sim could not start on 127.0.0.1:10003 (is the port in use?)" >&2
    exit 1
fi
echo "velkor-sim: simulated gateway on 127.0.0.1:10003 (nodes 1-5)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Type 127.0.0.1 as the address, 1 as the node, and press 接続."
    "$bin/app/velkor"
else
    echo "No display here: running a scripted tour offscreen instead."
    "$bin/tools/velkor-tour" 127.0.0.1 10003 1 "$PWD/$bin/velkor-tour.png"
fi
