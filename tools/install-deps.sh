#!/usr/bin/env bash
# Installs the Debian 12 packages Velkor needs to build and run the window and the simulator,
# where they are missing, and any further packages named on the command line (the test suite adds
# GoogleTest, the package checks and the Windows build their tools). Recommended packages are left
# out: the Qt platform plugins, which the window needs, are named.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
          libudev-dev libfontconfig-dev fonts-ipafont-gothic "$@")

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    run=()
elif command -v sudo >/dev/null 2>&1; then
    run=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi
"${run[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${run[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
