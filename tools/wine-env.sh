# Sourced by the scripts that run Windows programs under Wine. A private prefix, a virtual X
# display and the COM port the tests use:
#   wine_environment PREFIX   exports WINEPREFIX, WINEDEBUG and DISPLAY; prepares PREFIX once
#   wine_com_link PATH        points COM12 of the prefix at a device (velkor-sim's pty)
#   wine_environment_end      stops the Wine server and the display
# Wine's own null display draws nothing and has no real fonts behind its dialogs; on Xvfb the
# dialogs are laid out and painted as on a desktop, and can be captured.
# The port is numbered above 9 on purpose: only "\\.\COMn" opens such a port, while COM1 to
# COM9 open by their bare names too.

wine_com=12
wine_xvfb_pid=

# The display: a free one that Xvfb picks and reports.
wine_start_display() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    wine_xvfb_pid=$!
    local number
    read -r -t 30 number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    export DISPLAY=:$number
}

# Runs once per prefix and port (the ready mark names the port it was done for):
# - Japanese dialog faces mapped to the IPA gothic fonts, so that Japanese shows as text, not
#   boxes: the proportional IPAPGothic for the dialog and the system's dialog faces, the
#   fixed-pitch IPAGothic for the counts' "ＭＳ ゴシック";
# - windows drawn with Wine's own frame and caption (no window manager runs on Xvfb);
# - COM12 registered as a port, and the port a prefix prepared earlier had (an empty mark is
#   the COM7 of older prefixes) removed. Wine lists its ports in the serial device map
#   (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) only when its server starts, hence the restart.
wine_prepare_prefix() {
    local ready=$WINEPREFIX/.velkor-ready previous=
    [ -e "$ready" ] && previous=$(cat "$ready") && previous=${previous:-COM7}
    [ "$previous" = "COM$wine_com" ] && return 0
    wineboot -i >/dev/null 2>&1
    local face
    for face in "MS UI Gothic" "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2"; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null
    done
    LC_ALL=C.UTF-8 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "ＭＳ ゴシック" \
        /d IPAGothic /f >/dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    if [ -n "$previous" ]; then
        wine reg delete 'HKLM\Software\Wine\Ports' /v "$previous" /f >/dev/null 2>&1 || true
        rm -f "$WINEPREFIX/${previous,,}"
    fi
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$wine_com" /d "$WINEPREFIX/com$wine_com" /f \
        >/dev/null
    wineserver -k
    wineserver -w
    echo "COM$wine_com" >"$ready"
}

wine_environment() {
    # Wine's menu builder stays off: nothing is written into the home folder's menus.
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
    mkdir -p "$WINEPREFIX"
    wine_start_display
    wine_prepare_prefix
    # One Wine server and its background programs for every run that follows: Wine's start is
    # paid once. Started here with their output elsewhere, they do not hold the output of a
    # program run later open.
    wineserver -p >/dev/null 2>&1
    wineboot >/dev/null 2>&1
}

wine_com_link() {
    ln -sfn "$1" "$WINEPREFIX/com$wine_com"
}

wine_environment_end() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$wine_xvfb_pid" ] && kill "$wine_xvfb_pid" 2>/dev/null
    wine_xvfb_pid=
    return 0
}
