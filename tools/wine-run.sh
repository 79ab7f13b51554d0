#!/usr/bin/env bash
# Runs one Windows program under Wine in the build's private prefix, on a virtual display:
# tools/wine-run.sh PROGRAM.exe [ARGUMENT]...   (the prefix is build/windows/wine)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/wine-env.sh
. "$root/tools/wine-env.sh"
trap wine_environment_end EXIT
wine_environment "$root/build/windows/wine"
wine "$@"
