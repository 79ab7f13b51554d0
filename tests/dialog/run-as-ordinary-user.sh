#!/bin/sh
# run-as-ordinary-user.sh PROGRAM ARGUMENT: runs a test program as an ordinary user (nobody) when
# started as root, whose permission checks do not hold. That user may not be able to read the
# tree (a clone inside a folder only root can read), so the program, and the sanitizer
# suppressions named in TSAN_OPTIONS, are copied into a scratch folder it can read.
set -eu
program=$1
argument=$2
if [ "$(id -u)" != 0 ]; then
    exec "$program" "$argument"
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
cp "$program" "$scratch/"
suppressions=$(printf '%s\n' "${TSAN_OPTIONS:-}" | sed -n 's/.*suppressions=\([^:]*\).*/\1/p')
if [ -n "$suppressions" ]; then
    cp "$suppressions" "$scratch/tsan.supp"
    chmod 644 "$scratch/tsan.supp"
    TSAN_OPTIONS=$(printf '%s\n' "$TSAN_OPTIONS" | sed "s|suppressions=[^:]*|suppressions=$scratch/tsan.supp|")
    export TSAN_OPTIONS
fi
cd "$scratch"
setpriv --reuid=65534 --regid=65534 --clear-groups "$scratch/$(basename "$program")" "$argument"
