#!/usr/bin/env bash
# Builds the receive-path fuzz target with the "fuzz" preset and runs it for a bounded time
# (seconds, default 60) on a copy of the seed corpus, so that the repository stays unchanged.
# Exits non-zero when the fuzzer finds a fault; the input that caused it is kept in
# build/fuzz/receive-run/artifacts/.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

cmake --preset fuzz
cmake --build --preset fuzz --target receive_fuzz -j 2

run="$root/build/fuzz/receive-run"
rm -rf "$run"
mkdir -p "$run/corpus" "$run/artifacts"
cp fuzz/corpus/* "$run/corpus/"

"$root/build/fuzz/fuzz/receive_fuzz" \
    -max_total_time="$seconds" \
    -timeout=10 \
    -max_len=512 \
    -dict="$root/fuzz/receive.dict" \
    -artifact_prefix="$run/artifacts/" \
    -print_final_stats=1 \
    "$run/corpus"
