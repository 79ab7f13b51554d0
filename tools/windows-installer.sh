#!/usr/bin/env bash
# Checks the Windows packages the way a Windows user meets them, under Wine: the ZIP holds the
# programs, README and licence; every program is stripped and carries a version resource; the
# installer installs silently with Start-menu entries (the window's, when this
# build makes velkor.exe, and the uninstaller's), velkorctl.exe runs from the installed place, and
# the uninstaller removes it all again.
# Usage: tools/windows-installer.sh   (after tools/windows.sh has built build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build/windows

# CPack's installer generator runs NSIS's makensis; the ZIP is listed with unzip.
tools/install-deps.sh nsis unzip

cmake --build --preset windows --target package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=\([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$build/CMakeCache.txt")
installer=$build/velkor-$version-win64.exe
zip=$build/velkor-$version-win64.zip
echo "installer $(basename "$installer"): $(stat -c %s "$installer") bytes, ZIP $(stat -c %s "$zip") bytes (neither signed)"

# The prefix of tools/windows.sh; Wine's menu builder stays off, so the Start-menu entries do not
# become desktop files in the home folder.
export WINEPREFIX=$root/$build/wine WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
mkdir -p "$WINEPREFIX"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

listing=$(unzip -Z1 "$zip")
for file in bin/velkorctl.exe README.txt LICENSE.txt; do
    grep -qx "velkor-$version-win64/$file" <<<"$listing" || fail "the ZIP lacks $file"
done

# Installed into a folder without blanks: Wine quotes an argument that holds one, and the
# uninstaller reads its _?= only unquoted.
folder="$WINEPREFIX/drive_c/Velkor"
rm -rf "$folder"
echo "--- silent install"
wine "$installer" /S '/D=C:\Velkor' || fail "the installer ended with status $?"
programs=()
for exe in "$folder"/bin/*.exe; do
    [ -e "$exe" ] && programs+=("$exe")
done
[ -f "$folder/bin/velkorctl.exe" ] || fail "velkorctl.exe not installed"
for file in README.txt LICENSE.txt Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "$file not installed"
done
for exe in "${programs[@]}"; do
    name=$(basename "$exe")
    x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug' && fail "$name is not stripped"
    strings -el "$exe" | grep -qx "$version.0" || fail "$name has no version resource of $version"
done
menu=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Velkor/*.lnk' -printf '%f\n' | sort)
echo "Start menu: $(tr '\n' ' ' <<<"$menu")"
grep -qx Uninstall.lnk <<<"$menu" || fail "no Start-menu entry for the uninstaller"
if [ -f "$folder/bin/velkor.exe" ]; then
    grep -qx Velkor.lnk <<<"$menu" || fail "no Start-menu entry for the window"
fi

echo "--- velkorctl.exe from the installed place"
ctl='C:\Velkor\bin\velkorctl.exe'
help=$(wine "$ctl" --help | tr -d '\r') || fail "velkorctl.exe --help"
grep -q velkorctl <<<"$help" || fail "velkorctl.exe --help printed no help"
if grep -q -- --version <<<"$help"; then
    wine "$ctl" --version | tr -d '\r' | grep -F "$version" || fail "velkorctl.exe --version"
fi

echo "--- silent uninstall"
# The uninstaller copies itself elsewhere and returns at once, unless _?= names its folder: then
# it runs in place and Wine waits for it. It leaves itself and the folder; those go by hand.
wine "$folder/Uninstall.exe" /S '_?=C:\Velkor' || fail "the uninstaller ended with status $?"
left=$(find "$folder" -type f ! -name Uninstall.exe 2>/dev/null)
[ -z "$left" ] || fail "left after uninstalling: $left"
find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Velkor*' | grep -q . &&
    fail "Start-menu entries left after uninstalling"
rm -rf "$folder"

if [ "$failures" -ne 0 ]; then
    echo "Windows packages: $failures checks failed" >&2
    exit 1
fi
echo "Windows packages: installed, run and uninstalled under Wine"
