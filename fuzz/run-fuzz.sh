#!/usr/bin/env bash
# Builds the three fuzz targets with the "fuzz" preset and runs each for the same bounded time
# (seconds, default 60) on a copy of its seed corpus, so that the repository stays unchanged:
#   receive_fuzz          the program's receive path (bytes from a unit or gateway)
#   frame_assembler_fuzz  velkor-sim's frame assembler and command parser (bytes from a client)
#   settings_file_fuzz    velkorctl's settings-file parser (set --from FILE)
# Exits non-zero when a fuzzer finds a fault; the input that caused it is kept in
# build/fuzz/<target>-run/artifacts/.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

tools/install-deps.sh clang libclang-rt-14-dev nlohmann-json3-dev
cmake --preset fuzz
cmake --build --preset fuzz --target receive_fuzz frame_assembler_fuzz settings_file_fuzz -j 2

# run TARGET CORPUS DICTIONARY
run() {
    local target="$1" corpus="$2" dictionary="$3"
    local run="$root/build/fuzz/$target-run"
    rm -rf "$run"
    mkdir -p "$run/corpus" "$run/artifacts"
    cp "fuzz/$corpus"/* "$run/corpus/"
    "$root/build/fuzz/fuzz/$target" \
        -max_total_time="$seconds" \
        -timeout=10 \
        -max_len=512 \
        -dict="$root/fuzz/$dictionary" \
        -artifact_prefix="$run/artifacts/" \
        -print_final_stats=1 \
        "$run/corpus"
}

run receive_fuzz receive-corpus receive.dict
run frame_assembler_fuzz command-corpus commands.dict
run settings_file_fuzz settings-corpus settings.dict
