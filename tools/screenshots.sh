#!/usr/bin/env bash
# Saves PNG screenshots of the program's windows (main window, about window, picture window,
# the whole virtual screen and the image list) into OUTDIR, using a virtual X server so that
# real fonts and the real style are used.
#
# Usage: tools/screenshots.sh OUTDIR
# The build directory is $ZN_BUILD_DIR (default: build/ in the repository); the znshots tool is
# built there if it is missing. Needs xvfb-run (package xvfb).
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
out=$1
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${ZN_BUILD_DIR:-$repo/build}
shots=$build/app/znshots

if [[ ! -x $shots ]]; then
    cmake -S "$repo" -B "$build" >/dev/null
    cmake --build "$build" --target znshots -j2
fi
command -v xvfb-run >/dev/null || { echo "xvfb-run not found (install xvfb)" >&2; exit 1; }

mkdir -p "$out"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$shots" "$out"
