#!/bin/sh
# Runs two builds of link_bench side by side, taking turns, so that both meet the same load of
# the machine: compare-link.sh BEFORE AFTER [rounds] [link_bench arguments...]
# BEFORE is link_bench built from the code before a change (its own checkout), AFTER the current.
set -eu
before=$1
after=$2
rounds=${3:-3}
shift 2
[ $# -gt 0 ] && shift
for round in $(seq "$rounds"); do
    for build in before after; do
        eval binary=\$$build
        "$binary" "$@" | sed "s/^/[$build $round] /"
    done
done
