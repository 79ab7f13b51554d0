#!/usr/bin/env bash
# Windows: cross-builds the link, the catalogue, velkorctl.exe, velkor.exe and their tests with
# MinGW-w64 (preset "windows"), runs the tests under Wine in a private prefix (build/windows/wine,
# see tools/wine-env.sh) on a virtual display against the Linux velkor-sim, and checks that
# velkorctl.exe sends byte for byte what the Linux velkorctl sends, over TCP and over COM12 (the
# simulator's pseudo-terminal), then builds the ZIP and the installer and checks them under Wine
# (tools/windows-installer.sh).
# Usage: tools/windows.sh [LINUX_BUILD_DIR]   (default build/ci; built here when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux=${1:-build/ci}

# All at once, before the build: NSIS and unzip for the packages' check at the end.
tools/install-deps.sh g++-mingw-w64-x86-64-posix nlohmann-json3-dev wine wine64 googletest xvfb \
    fonts-ipafont-gothic nsis unzip

if [ ! -x "$linux/sim/velkor-sim" ] || [ ! -x "$linux/cli/velkorctl" ]; then
    cmake --preset ci >/dev/null
    cmake --build --preset ci --target velkor-sim velkorctl
    linux=build/ci
fi
sim=$root/$linux/sim/velkor-sim
ctl=$root/$linux/cli/velkorctl

cmake --preset windows >/dev/null
cmake --build --preset windows
exe=$root/build/windows/cli/velkorctl.exe

# shellcheck source=tools/wine-env.sh
. tools/wine-env.sh
work=$(mktemp -d)
pids=()
finish() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wine_environment_end
    rm -rf "$work"
}
trap finish EXIT
wine_environment "$root/build/windows/wine"

# start_sim NAME ARGS...: a velkor-sim logging to $work/NAME.log; its TCP port in $work/NAME.port.
start_sim() {
    local name=$1
    shift
    "$sim" --log "$work/$name.log" "$@" >"$work/$name.port" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/$name.port" ] && return 0
        sleep 0.05
    done
    echo "velkor-sim $name did not start" >&2
    return 1
}

# What a client sent, frame by frame, as the simulator logged it.
received() { sed -n 's/^.* RX //p' "$work/$1.log"; }

# await_client_gone LOG: velkor-sim serves one TCP client at a time, and Wine closes the socket of
# a program that has ended a moment later than Linux would; the next command waits (up to 10 s)
# until the simulator has logged the end of every connection it accepted.
await_client_gone() {
    local accepted ended
    for _ in $(seq 200); do
        accepted=$(grep -cE 'tcp#[0-9]+ -- client .* connected$' "$1" 2>/dev/null || true)
        ended=$(grep -cE 'tcp#[0-9]+ -- (connection closed|write failed|dropped:|closed after)' "$1" 2>/dev/null || true)
        [ "${accepted:-0}" -le "${ended:-0}" ] && return 0
        sleep 0.05
    done
}

commands=("identify --node 1-5" "settings --node 1-3" "counts --node 1-3" "scan --node 0-6 --timeout 300")

# compare ROUTE LINUX_ROUTE_ARGS WINDOWS_ROUTE_ARGS: both programs run every command against a
# simulator of their own; what the simulators received and what the programs printed must agree.
compare() {
    local route=$1 linux_args=$2 windows_args=$3 failed=0
    for program in linux windows; do
        : >"$work/$route-$program.out"
        for command in "${commands[@]}"; do
            await_client_gone "$work/$route-$program.log"
            # shellcheck disable=SC2086
            if [ "$program" = linux ]; then
                "$ctl" $command $linux_args >>"$work/$route-$program.out" 2>&1 || true
            else
                wine "$exe" $command $windows_args >"$work/one.out" 2>&1 || true
                tr -d '\r' <"$work/one.out" >>"$work/$route-$program.out"
            fi
        done
    done
    if ! diff <(received "$route-linux") <(received "$route-windows") >"$work/diff"; then
        echo "velkorctl.exe over $route sent other bytes than velkorctl:" >&2
        cat "$work/diff" >&2
        failed=1
    fi
    if ! diff "$work/$route-linux.out" "$work/$route-windows.out" >"$work/diff"; then
        echo "velkorctl.exe over $route printed other texts than velkorctl:" >&2
        cat "$work/diff" >&2
        failed=1
    fi
    [ "$(received "$route-linux" | wc -l)" -gt 0 ] || { echo "nothing reached the simulator over $route" >&2; failed=1; }
    [ $failed -eq 0 ] && echo "velkorctl.exe over $route: $(received "$route-windows" | wc -l) frames, as velkorctl sends them"
    return $failed
}

start_sim tcp-linux --listen 127.0.0.1:0
start_sim tcp-windows --listen 127.0.0.1:0
compare tcp "--host 127.0.0.1:$(head -1 "$work/tcp-linux.port")" \
    "--host 127.0.0.1:$(head -1 "$work/tcp-windows.port")"

# Standard output a console: under script (a terminal) and a UTF-8 locale, Wine's console shows
# what velkorctl.exe writes to it as wide text; the Japanese must read as the Linux program prints
# it (UTF-8 bytes written to a console of another code page would not). The redirected path is
# the comparison above, byte for byte.
start_sim console --listen 127.0.0.1:0
console_route="--host 127.0.0.1:$(head -1 "$work/console.port")"
for command in "identify --node 4" "settings --node 2"; do
    # shellcheck disable=SC2086
    "$ctl" $command $console_route >"$work/console-linux.out"
    LANG=C.UTF-8 script -qec "wine $exe $command $console_route" /dev/null |
        tr -d '\r' | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' >"$work/console-windows.out"
    while IFS= read -r line; do
        grep -qF -- "$line" "$work/console-windows.out" || {
            echo "velkorctl.exe $command in a console did not show: $line" >&2
            cat "$work/console-windows.out" >&2
            exit 1
        }
    done <"$work/console-linux.out"
    echo "velkorctl.exe $command in a console: $(wc -l <"$work/console-linux.out") lines as velkorctl prints them"
done

start_sim com-linux --listen off --pty "$work/pty-linux"
start_sim com-windows --listen off --pty "$work/pty-windows"
wine_com_link "$work/pty-windows"
compare com "--serial $work/pty-linux" "--serial COM$wine_com"

# What the window program says of itself where a shell reads it, before any window exists.
window=build/windows/winui/velkor.exe
help=$(wine "$window" --help | head -1 | tr -d '\r')
version=$(wine "$window" --version | tr -d '\r')
# The same project version as the Linux programs print.
ctl_version=$("$ctl" --version)
expected="velkor ${ctl_version#velkorctl }"
if [ "$help" != "Usage: velkor [options]" ] || [ "$version" != "$expected" ]; then
    echo "velkor.exe --help or --version: '$help' '$version'" >&2
    exit 1
fi
# A trace file that cannot be written ends the program with the reason, before any window.
if wine "$window" --trace "Z:$work/missing/velkor.trace" 2>"$work/trace.err" ||
    ! grep -q "cannot open the trace file" "$work/trace.err"; then
    echo "velkor.exe did not refuse a trace file it cannot write" >&2
    exit 1
fi

# The tests that build for Windows, under Wine: the catalogue, reply decoding, the link and the
# window, the last two against one simulator on loopback TCP and behind COM12. The count of DI5
# at node 1 is the widest number a count display shows; node 3 counts two-phase x4. The window's
# message boxes also come from two simulators that fail on purpose: one never answers "MD", the
# other loses every 8th reply of a connection.
start_sim tests --listen 127.0.0.1:0 --pty "$work/pty-tests" --count 1:4:0x80000000 \
    --settings 3:mode=3
start_sim silent-md --listen 127.0.0.1:0 --silent MD
start_sim drop --listen 127.0.0.1:0 --drop-every 8
wine_com_link "$work/pty-tests"
export VELKOR_SIM_PORT VELKOR_SIM_LOG=Z:$work/tests.log VELKOR_SIM_COM=$wine_com
export VELKOR_SIM_SILENT_MD_PORT VELKOR_SIM_DROP_PORT
VELKOR_SIM_PORT=$(head -1 "$work/tests.port")
VELKOR_SIM_SILENT_MD_PORT=$(head -1 "$work/silent-md.port")
VELKOR_SIM_DROP_PORT=$(head -1 "$work/drop.port")
for suite in device reply link dialog winui; do
    echo "== ${suite}_tests.exe under Wine"
    wine "build/windows/tests/$suite/${suite}_tests.exe" >"$work/$suite.out" 2>&1 ||
        { tr -d '\r' <"$work/$suite.out"; exit 1; }
    tr -d '\r' <"$work/$suite.out" | grep -E '^\[  (PASSED|SKIPPED) |^ports found'
done

tools/windows-installer.sh
