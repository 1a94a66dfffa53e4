#!/bin/bash
# Runs a cross-built Windows program under Wine, headless, for the tests of the Windows build:
#   tools/wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the Wine prefix (a folder in the build folder), made on first use. The exit code is
# the program's.
set -euo pipefail
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
# No installers for Mono and Gecko at the first start, and no window: the tests are console
# programs.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    # Two tests starting at once must not both make it.
    exec 9>"$prefix.lock"
    flock 9
    [ -f "$prefix/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1
    flock -u 9
fi
exec "$wine" "$@"
