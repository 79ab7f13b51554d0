#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user's system will meet it: lintian, the
# desktop entry and AppStream validators, the files and dependencies it must hold, and the
# programs run from a scratch unpack (nothing is installed on this machine).
#
#   tools/check-package.sh [BUILD_DIR]
#
# BUILD_DIR is an already configured build folder to reuse (CI passes build/ci); without it the
# ci preset under CI, else the default preset. Every failed check is reported, then the exit
# status is 1.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh lintian desktop-file-utils appstream dpkg-dev file

dir=${1:-}
if [ -z "$dir" ]; then
    preset=default
    [ -n "${CI:-}" ] && preset=ci
    cmake --preset "$preset" >/dev/null
    dir=build/$preset
fi

# A stale package of another version must not be the one checked.
rm -f "$dir"/velkor_*.deb
cmake --build "$dir" --target package
debs=("$dir"/velkor_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "expected exactly one velkor_*.deb in $dir, found: ${debs[*]}" >&2
    exit 1
fi
deb=${debs[0]}

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...: runs the command, its output shown, a failure counted
    local what=$1
    shift
    echo "--- $what"
    "$@" || fail "$what"
}

scratch=$(mktemp -d)
sim=""
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
root=$scratch/root
dpkg -x "$deb" "$root"

echo "=== $deb"
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb"

check "lintian (errors fail)" lintian --fail-on error --display-info "$deb"
check "desktop-file-validate" desktop-file-validate "$root"/usr/share/applications/*.desktop
check "appstreamcli validate" appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
# The desktop entry, the metadata and the icon as one application, as software centres read them.
check "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$root"

echo "--- files the package must hold"
icon_sizes=$(find "$dir/icons" -name 'velkor-*.png' -printf '%f\n' | sed 's/velkor-\(.*\)\.png/\1/' | sort -n)
[ -n "$icon_sizes" ] || fail "no rendered icons in $dir/icons"
expected=(usr/bin/velkor usr/bin/velkor-sim
          usr/share/applications/io.github.velkor.Velkor.desktop
          usr/share/metainfo/io.github.velkor.Velkor.metainfo.xml
          usr/share/man/man1/velkor.1.gz usr/share/man/man1/velkor-sim.1.gz
          usr/share/doc/velkor/copyright usr/share/doc/velkor/changelog.Debian.gz)
for size in $icon_sizes; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/velkor.png")
done
# The command-line front end, once it is built, must not be left out of the package.
if [ -x "$dir/cli/velkorctl" ]; then
    expected+=(usr/bin/velkorctl usr/share/man/man1/velkorctl.1.gz)
fi
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "missing from the package: /$file"
done

echo "--- dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in fonts-ipafont-gothic qt6-qpa-plugins libqt6widgets6 libqt6serialport6 libudev1 libc6; do
    grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed"
done

echo "--- one version everywhere"
version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(dpkg-parsechangelog -l dist/debian/changelog -S Version)
metainfo_version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
    "$root"/usr/share/metainfo/io.github.velkor.Velkor.metainfo.xml | head -n 1)
echo "package $version, changelog $changelog_version, metainfo $metainfo_version"
[ "$version" = "$changelog_version" ] || fail "dist/debian/changelog's last entry is not $version"
[ "${version%-*}" = "$metainfo_version" ] || fail "the metainfo's newest release is not ${version%-*}"
[ "$(basename "$deb")" = "velkor_${version}_$(dpkg-deb -f "$deb" Architecture).deb" ] ||
    fail "file name $(basename "$deb") is not the Debian name of the package"

echo "--- the programs, run from the unpacked package"
for program in "$root"/usr/bin/*; do
    if ldd "$program" | grep 'not found'; then
        fail "$(basename "$program") has unresolved libraries"
    fi
    file "$program" | grep -q ', stripped' || fail "$(basename "$program") is not stripped"
done
for program in velkor-sim velkorctl; do
    [ -x "$root/usr/bin/$program" ] || continue
    echo "$program --help"
    if ! help=$("$root/usr/bin/$program" --help); then
        fail "$program --help"
        continue
    fi
    # Every option the program documents has its place in the manual page.
    page="$root/usr/share/man/man1/$program.1.gz"
    [ -f "$page" ] || continue
    page_text=$(zcat "$page" | sed 's/\\-/-/g')
    for option in $(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
        grep -qe "$option" <<<"$page_text" || fail "$program.1 does not mention $option"
    done
done
# The packaged simulator serves: it prints its port once it listens and ends cleanly on SIGTERM.
"$root/usr/bin/velkor-sim" --listen 127.0.0.1:0 --quiet >"$scratch/sim.out" &
sim=$!
for _ in $(seq 50); do
    [ -s "$scratch/sim.out" ] && break
    sleep 0.1
done
port=$(head -n 1 "$scratch/sim.out")
[[ "$port" =~ ^[1-9][0-9]*$ ]] || fail "packaged velkor-sim did not report a port (got '$port')"
kill -TERM "$sim"
if wait "$sim"; then echo "velkor-sim served on 127.0.0.1:$port and ended on SIGTERM"; else
    fail "packaged velkor-sim did not end cleanly on SIGTERM"
fi
sim=""

if [ "$failures" -ne 0 ]; then
    echo "package checks: $failures failed" >&2
    exit 1
fi
echo "package checks: all passed ($deb)"
