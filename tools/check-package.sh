#!/usr/bin/env bash
# Builds the Debian packages (preset "package": Debian 12's hardening flags) and checks them the
# way a packager and a user's system meet them:
#  - built twice with SOURCE_DATE_EPOCH from the last commit, the second time without the compiler
#    cache, and compared byte for byte;
#  - lintian -I -E --pedantic: any tag not listed in dist/debian/lintian-kept fails;
#  - the desktop entry and AppStream validators, the files and dependencies each package must
#    hold, the programs run from a scratch unpack, with and without a display;
#  - the bridge's service unit: systemd-analyze verify, and its exposure by systemd-analyze
#    security at most 2.0;
#  - velkor-tools installed alone into a clean Debian 12 root made by debootstrap (cached in
#    build/debian12-root), its dependencies resolved by apt there from the host's Debian mirror,
#    and its programs run from there; then velkor-bridge: its service user, its conffile, the
#    service not enabled, one round run as that user against a Mosquitto on loopback;
#  - the bridge run under systemd-run with the unit's settings, in the clean root: where systemd
#    is the service manager, by it; elsewhere by a systemd booted in that root by systemd-nspawn,
#    where the machine lets it.
#
#   tools/check-package.sh
#
# Every failed check is reported, then the exit status is 1.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

tools/install-deps.sh nlohmann-json3-dev lintian desktop-file-utils appstream dpkg-dev file debootstrap \
    libmosquitto-dev libtomlplusplus-dev libsystemd-dev systemd systemd-container mosquitto

dir=build/package
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH

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
broker=""
container=""
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null
    [ -n "$broker" ] && kill "$broker" 2>/dev/null
    # The container's mounts are inside the scratch folder: it ends first.
    [ -n "$container" ] && kill "$container" 2>/dev/null && wait "$container"
    rm -rf "$scratch"
}
trap cleanup EXIT

# build_packages COPY_DIR: the packages built from clean and copied into COPY_DIR.
build_packages() {
    rm -f "$dir"/*.deb "$dir"/*.ddeb
    cmake --build "$dir" --target clean >/dev/null
    cmake --build "$dir" --target package
    mkdir -p "$1"
    cp "$dir"/*.deb "$dir"/*.ddeb "$1"/
}

echo "=== packages, first build (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
cmake --preset package >/dev/null
# A compiler cache with a base folder hands the compiler relative paths, which the
# -ffile-prefix-map of the package preset does not match: the debug information, and with it each
# program's build ID, would then hold this folder's absolute path.
unset CCACHE_BASEDIR
build_packages "$scratch/first"
echo "=== packages, second build, compiled without the cache"
CCACHE_DISABLE=1 build_packages "$scratch/second"
echo "--- two builds, one result"
(cd "$scratch/first" && sha256sum -- *) | tee "$scratch/first.sums"
if ! (cd "$scratch/second" && sha256sum -c --quiet "$scratch/first.sums"); then
    fail "the second build gave other packages"
    for file in "$scratch"/first/*; do
        cmp -s "$file" "$scratch/second/${file##*/}" ||
            diff <(dpkg-deb -c "$file") <(dpkg-deb -c "$scratch/second/${file##*/}") | head -n 20
    done
fi

version=$(dpkg-parsechangelog -l dist/debian/changelog -S Version)
arch=$(dpkg --print-architecture)
gui=$dir/velkor_${version}_$arch.deb
tools=$dir/velkor-tools_${version}_$arch.deb
bridge=$dir/velkor-bridge_${version}_$arch.deb
for file in "$gui" "$tools" "$bridge" "$dir/velkor-dbgsym_${version}_$arch.ddeb" \
    "$dir/velkor-tools-dbgsym_${version}_$arch.ddeb" "$dir/velkor-bridge-dbgsym_${version}_$arch.ddeb"; do
    [ -f "$file" ] || fail "missing package $(basename "$file") (is the changelog's version the project's?)"
done
[ "$failures" -eq 0 ] || exit 1

for deb in "$gui" "$tools" "$bridge"; do
    echo "=== $deb"
    dpkg-deb --field "$deb"
    dpkg-deb --contents "$deb"
done

echo "--- lintian -I -E --pedantic"
lintian -I -E --pedantic --no-tag-display-limit "$dir"/*.deb "$dir"/*.ddeb | tee "$scratch/lintian" || true
kept=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' dist/debian/lintian-kept | awk '{print $1}')
while read -r severity package tag _; do
    [ -n "$tag" ] || continue
    grep -qxF "$tag" <<<"$kept" || fail "lintian: $severity $package $tag (fix it, or keep it in dist/debian/lintian-kept with the reason)"
done < <(sed -n 's/^\([EWIPX]\): \([^:]*\): \([^ ]*\).*/\1 \2 \3/p' "$scratch/lintian")

root=$scratch/root
dpkg -x "$gui" "$root"
dpkg -x "$tools" "$root"
dpkg -x "$bridge" "$root"
check "desktop-file-validate" desktop-file-validate "$root"/usr/share/applications/*.desktop
check "appstreamcli validate" appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
# The desktop entry, the metadata and the icon as one application, as software centres read them.
check "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$root"

echo "--- files each package must hold"
icon_sizes=$(find "$dir/icons" -name 'velkor-*.png' -printf '%f\n' | sed 's/velkor-\(.*\)\.png/\1/' | sort -n)
for size in 64 128; do
    grep -qx "$size" <<<"$icon_sizes" || fail "no $size px icon rendered"
done
gui_files=(usr/bin/velkor usr/share/applications/io.github.velkor.Velkor.desktop
           usr/share/metainfo/io.github.velkor.Velkor.metainfo.xml usr/share/man/man1/velkor.1.gz
           usr/share/doc/velkor/copyright usr/share/doc/velkor/changelog.Debian.gz)
for size in $icon_sizes; do
    gui_files+=("usr/share/icons/hicolor/${size}x${size}/apps/velkor.png")
done
tools_files=(usr/bin/velkorctl usr/bin/velkor-sim usr/share/man/man1/velkorctl.1.gz
             usr/share/man/man1/velkor-sim.1.gz usr/share/doc/velkor-tools/copyright
             usr/share/doc/velkor-tools/changelog.Debian.gz)
# holds DEB FILE...: each file is in that package, and only there.
holds() {
    local deb=$1 listing
    shift
    listing=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./||')
    for file in "$@"; do
        grep -qxF "$file" <<<"$listing" || fail "$(basename "$deb") lacks /$file"
    done
}
bridge_files=(usr/bin/velkor-bridge lib/systemd/system/velkor-bridge.service etc/velkor/bridge.toml
              usr/share/man/man1/velkor-bridge.1.gz usr/share/man/man5/velkor-bridge.toml.5.gz
              usr/share/doc/velkor-bridge/copyright usr/share/doc/velkor-bridge/changelog.Debian.gz)
holds "$gui" "${gui_files[@]}"
holds "$tools" "${tools_files[@]}"
holds "$bridge" "${bridge_files[@]}"
[ "$(dpkg-deb --info "$bridge" conffiles)" = /etc/velkor/bridge.toml ] ||
    fail "velkor-bridge's conffiles are not just /etc/velkor/bridge.toml"
overlap=$(for deb in "$gui" "$tools" "$bridge"; do
    dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}'
done | sort | uniq -d)
[ -z "$overlap" ] || fail "files in two packages: $overlap"

echo "--- dependencies"
# has_relation DEB FIELD RELATION: the control field lists the relation, as written.
has_relation() {
    grep -Eq "(^|, )$3(,|$)" <<<"$(dpkg-deb -f "$1" "$2")" || fail "$(basename "$1") $2 lacks $3"
}
for needed in "velkor-tools \\(= $version\\)" fonts-ipafont-gothic qt6-qpa-plugins \
    "libqt6widgets6 [^,]*" "libudev1 [^,]*"; do
    has_relation "$gui" Depends "$needed"
done
has_relation "$tools" Breaks "velkor \\(<< ${version%-*}\\)"
has_relation "$tools" Replaces "velkor \\(<< ${version%-*}\\)"
tools_depends=$(dpkg-deb -f "$tools" Depends | sed 's/ ([^)]*)//g; s/, /\n/g' | sort)
[ "$tools_depends" = "$(printf 'libc6\nlibgcc-s1\nlibstdc++6')" ] ||
    fail "velkor-tools should need the C and C++ runtimes only, needs: $(tr '\n' ' ' <<<"$tools_depends")"
bridge_depends=$(dpkg-deb -f "$bridge" Depends | sed 's/ ([^)]*)//g; s/, /\n/g' | sort)
bridge_expected=$(printf 'adduser\nlibc6\nlibgcc-s1\nlibmosquitto1\nlibstdc++6\nlibsystemd0\nlibtomlplusplus3')
[ "$bridge_depends" = "$bridge_expected" ] ||
    fail "velkor-bridge should need adduser and the libraries it links only, needs: $(tr '\n' ' ' <<<"$bridge_depends")"

echo "--- one version everywhere"
metainfo_version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
    "$root"/usr/share/metainfo/io.github.velkor.Velkor.metainfo.xml | head -n 1)
echo "changelog $version, metainfo $metainfo_version"
[ "${version%-*}" = "$metainfo_version" ] || fail "the metainfo's newest release is not ${version%-*}"
for deb in "$gui" "$tools" "$bridge"; do
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$(basename "$deb") is not version $version"
done

echo "--- the programs, run from the unpacked packages"
for program in "$root"/usr/bin/*; do
    if ldd "$program" | grep 'not found'; then
        fail "$(basename "$program") has unresolved libraries"
    fi
    file "$program" | grep -q ', stripped' || fail "$(basename "$program") is not stripped"
done
for program in velkor velkor-sim velkorctl velkor-bridge; do
    # No display: --help must not need one.
    if ! help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --help); then
        fail "$program --help without a display"
        continue
    fi
    if grep -q -- --version <<<"$help"; then
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version ||
            fail "$program --version without a display"
    fi
    # Every option the program documents has its place in the manual page, and the page names
    # the other programs.
    page_text=$(zcat "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
    for option in $(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
        grep -qe "$option" <<<"$page_text" || fail "$program.1 does not mention $option"
    done
    for other in velkor velkor-sim velkorctl; do
        [ "$other" = "$program" ] && continue
        sed -n '/^\.SH SEE ALSO/,$p' <<<"$page_text" | grep -q "^\.BR $other (1)" ||
            fail "$program.1 does not refer to $other(1)"
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

echo "--- the service unit"
# verify finds the program the unit starts: here the packaged one.
mkdir "$scratch/unit"
sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$root/lib/systemd/system/velkor-bridge.service" \
    >"$scratch/unit/velkor-bridge.service"
verified=$(systemd-analyze verify --man=no "$scratch/unit/velkor-bridge.service" 2>&1) &&
    [ -z "$verified" ] || fail "systemd-analyze verify of velkor-bridge.service: $verified"
systemd-analyze security --offline=true --threshold=20 "$root/lib/systemd/system/velkor-bridge.service" |
    tail -n 1 || fail "velkor-bridge.service is exposed more than 2.0 by systemd-analyze security"

echo "=== velkor-tools alone on a clean Debian 12"
# The host's Debian mirror, as its apt sources name it (one-line or deb822 form).
mirror=$( (grep -rhoE '^(deb|URIs:)[[:space:]]+(\[[^]]*\][[:space:]]+)?https?://[^[:space:]]+/debian/?([[:space:]]|$)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null || true) | grep -oE 'https?://[^[:space:]]+' | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian}
cache=$top/build/debian12-root
if [ ! -e "$cache/.complete" ]; then
    echo "debootstrap of Debian 12 (minbase) from $mirror into $cache, once"
    rm -rf "$cache"
    debootstrap --variant=minbase bookworm "$cache" "$mirror" >"$scratch/debootstrap.log" 2>&1 ||
        { tail -n 20 "$scratch/debootstrap.log" >&2; exit 1; }
    chroot "$cache" apt-get update -qq
    touch "$cache/.complete"
fi
clean=$scratch/debian12
cp -a "$cache" "$clean"
cp "$tools" "$gui" "$bridge" "$clean/tmp/"
tools_name=$(basename "$tools")
echo "--- what velkor would add (apt, simulated)"
chroot "$clean" apt-get install -s -o APT::Install-Recommends=false "/tmp/$(basename "$gui")" "/tmp/$tools_name" |
    grep -E '^[0-9]+ (upgraded|newly installed)' || true
echo "--- apt-get install velkor-tools"
chroot "$clean" dpkg-query -W -f='${Package}\n' | sort >"$scratch/before"
if chroot "$clean" env DEBIAN_FRONTEND=noninteractive apt-get install -y "/tmp/$tools_name" >"$scratch/apt.log" 2>&1; then
    grep -E '^[0-9]+ (upgraded|newly installed)' "$scratch/apt.log"
    chroot "$clean" dpkg-query -W -f='${Package} ${Version}, installed size ${Installed-Size} KiB\n' velkor-tools
    check "velkorctl --help in the clean root" chroot "$clean" velkorctl --help
    if chroot "$clean" velkorctl --help 2>/dev/null | grep -q -- --version; then
        check "velkorctl --version in the clean root" chroot "$clean" velkorctl --version
    fi
    check "velkor-sim --help in the clean root" chroot "$clean" velkor-sim --help
    check "velkor-sim --version in the clean root" chroot "$clean" velkor-sim --version
    added=$(chroot "$clean" dpkg-query -W -f='${Package}\n' | sort | comm -13 "$scratch/before" -)
    [ "$added" = velkor-tools ] || fail "velkor-tools brought other packages along: $(tr '\n' ' ' <<<"$added")"
else
    cat "$scratch/apt.log" >&2
    fail "velkor-tools does not install alone on a clean Debian 12"
fi

echo "=== velkor-bridge on the same clean Debian 12"
# start_peers CONFIG: a velkor-sim of the clean root's and a Mosquitto of the host's, both on
# loopback, and the bridge configuration CONFIG (a path in the clean root) that names them.
start_peers() {
    local broker_port
    chroot "$clean" velkor-sim --listen 127.0.0.1:0 --quiet >"$scratch/sim.out" &
    sim=$!
    for _ in $(seq 50); do
        [ -s "$scratch/sim.out" ] && break
        sleep 0.1
    done
    broker_port=$((20000 + RANDOM % 20000))
    printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest none\n' \
        "$broker_port" >"$scratch/mosquitto.conf"
    /usr/sbin/mosquitto -c "$scratch/mosquitto.conf" &
    broker=$!
    for _ in $(seq 50); do
        (: </dev/tcp/127.0.0.1/"$broker_port") 2>/dev/null && break
        sleep 0.1
    done
    printf 'name = "clean-root"\n[broker]\nport = %s\n[[gateway]]\nname = "line1"\nhost = "127.0.0.1:%s"\nnodes = "1-2"\n' \
        "$broker_port" "$(head -n 1 "$scratch/sim.out")" >"$clean$1"
}
stop_peers() {
    kill "$sim" "$broker"
    wait "$sim" "$broker" 2>/dev/null || true
    sim=""
    broker=""
}
# bridge_round: one round of the installed bridge, run as its service user.
bridge_round() {
    start_peers /tmp/bridge.toml
    chroot --userspec=velkor-bridge:velkor-bridge --groups=dialout "$clean" \
        velkor-bridge --once --config /tmp/bridge.toml
    local status=$?
    stop_peers
    return $status
}
bridge_name=$(basename "$bridge")
if chroot "$clean" env DEBIAN_FRONTEND=noninteractive apt-get install -y "/tmp/$bridge_name" >"$scratch/apt.log" 2>&1; then
    grep -E '^[0-9]+ (upgraded|newly installed)' "$scratch/apt.log"
    chroot "$clean" dpkg-query -W -f='${Package} ${Version}, installed size ${Installed-Size} KiB\n' velkor-bridge
    check "the service user velkor-bridge, in dialout" \
        grep -qw dialout <<<"$(chroot "$clean" id -nG velkor-bridge)"
    check "/etc/velkor/bridge.toml is a conffile" \
        grep -q ' /etc/velkor/bridge.toml ' <<<"$(chroot "$clean" dpkg-query -W -f='${Conffiles}\n' velkor-bridge)"
    enabled=$(find "$clean/etc/systemd/system" -name velkor-bridge.service 2>/dev/null)
    [ -z "$enabled" ] || fail "velkor-bridge.service was enabled at installation: $enabled"
    check "velkor-bridge --version in the clean root" chroot "$clean" velkor-bridge --version
    check "the example configuration passes --check" \
        chroot "$clean" velkor-bridge --config /etc/velkor/bridge.toml --check
    check "one round as the service user, from the clean root" bridge_round
else
    cat "$scratch/apt.log" >&2
    fail "velkor-bridge does not install on a clean Debian 12"
fi

echo "=== velkor-bridge as a service: systemd-run with the unit's settings, in the clean root"
# unit_properties SKIPPED: the unit's [Service] settings as systemd-run options, without the
# keys that the extended regular expression SKIPPED matches.
unit_properties() {
    sed -n '/^\[Service\]/,/^\[/{/^[A-Z][A-Za-z]*=/p}' "$root/lib/systemd/system/velkor-bridge.service" |
        grep -Ev "^($1)=" | sed 's/^/--property=/'
}
# service_run: the installed bridge started as a transient service, with the unit's settings and
# `placed` (where it runs, and as whom), by the service manager that `manager` reaches. It counts
# as started once it sent READY=1; then its status must say that the broker is connected, and
# the process must run sandboxed: not as root, without capabilities or a way to gain privileges,
# under a system call filter.
service_run() {
    local unit=velkor-bridge-check status=1 properties text="" main sandbox
    mapfile -t properties < <(unit_properties "ExecStart|${skipped}")
    start_peers /etc/velkor/check.toml
    if "${manager[@]}" systemd-run --unit="$unit" --collect "${placed[@]}" "${properties[@]}" \
        /usr/bin/velkor-bridge --config /etc/velkor/check.toml; then
        for _ in $(seq 100); do
            text=$("${manager[@]}" systemctl show --property=StatusText --value "$unit")
            [[ "$text" == "connected to the broker"* ]] && { status=0; break; }
            sleep 0.1
        done
        echo "the service's status: $text"
        main=$("${manager[@]}" systemctl show --property=MainPID --value "$unit")
        sandbox=$("${manager[@]}" grep -E '^(Uid|Groups|NoNewPrivs|Seccomp|CapEff):' "/proc/$main/status")
        echo "$sandbox"
        grep -Eq '^NoNewPrivs:\s+1$' <<<"$sandbox" && grep -Eq '^Seccomp:\s+2$' <<<"$sandbox" &&
            grep -Eq '^CapEff:\s+0+$' <<<"$sandbox" && ! grep -Eq '^Uid:\s+0\s' <<<"$sandbox" ||
            status=1
        "${manager[@]}" systemctl stop "$unit"
    else
        "${manager[@]}" journalctl --unit="$unit" --no-pager | tail -n 5
    fi
    stop_peers
    return $status
}
# boot_clean_root: systemd installed into the clean root and booted there by systemd-nspawn, on
# the host's network (the peers stay the host's); `manager` then enters it.
boot_clean_root() {
    local init="" state=""
    chroot "$clean" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends systemd >"$scratch/apt.log" 2>&1 || return 1
    systemd-nspawn --quiet --directory="$clean" --boot --register=no --keep-unit \
        --console=passive --machine="velkor-check-$$" >"$scratch/nspawn.log" 2>&1 &
    container=$!
    for _ in $(seq 300); do
        init=$(pgrep -P "$container" | head -n 1) || true
        [ -n "$init" ] && state=$(nsenter -t "$init" -a systemctl is-system-running 2>/dev/null) || true
        if [ "$state" = running ] || [ "$state" = degraded ]; then
            manager=(nsenter -t "$init" -a)
            return 0
        fi
        sleep 0.1
    done
    cat "$scratch/nspawn.log" >&2
    return 1
}
pid1=$(cat /proc/1/comm)
if [ -d /run/systemd/system ]; then
    # The host need not have the user velkor-bridge: a dynamic user stands for it.
    manager=()
    placed=(--property=RootDirectory="$clean" --property=MountAPIVFS=yes --property=DynamicUser=yes)
    skipped="User|Group"
    check "velkor-bridge under systemd-run, ready and connected" service_run
elif command -v systemd-nspawn >/dev/null && boot_clean_root; then
    echo "systemd is not the service manager here (PID 1 is $pid1): systemd booted in the clean root by systemd-nspawn"
    # Everything as the unit says: the package made its user in the clean root.
    placed=()
    skipped=""
    check "velkor-bridge under systemd-run in the booted clean root, ready and connected" service_run
else
    echo "not run: systemd is not the service manager here (PID 1 is $pid1), and systemd-nspawn could not boot the clean root"
fi

if [ "$failures" -ne 0 ]; then
    echo "package checks: $failures failed" >&2
    exit 1
fi
echo "package checks: all passed ($(basename "$gui"), $(basename "$tools"), $(basename "$bridge") and their dbgsym)"
