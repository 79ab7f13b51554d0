#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
# With CI set, warnings are errors (the "ci" preset).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh libgtest-dev nlohmann-json3-dev libmosquitto-dev libtomlplusplus-dev mosquitto \
    libsystemd-dev systemd openssl
preset=default
[ -n "${CI:-}" ] && preset=ci
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
