#!/bin/sh
# objcopy as the Debian packages' debug-symbol split calls it, with what Debian's own tools add:
# the stripped programs lose the compiler's .comment and .note sections too, and the separated
# debug files are plain data (mode 0644), not executables.
set -eu
case "$1" in
--strip-unneeded)
    exec objcopy --strip-unneeded --remove-section=.comment --remove-section=.note "$2" ;;
--only-keep-debug)
    objcopy "$@"
    chmod 0644 "$3" ;;
*)
    exec objcopy "$@" ;;
esac
