#!/usr/bin/env bash
# Saves PNG screenshots of the program as a user sees it after start-up (main window, main
# window with the editor tab, the question editor page on a question of six answers given a
# picture and on one of two answers, about window, picture window, topic dialog, information
# records dialog, the import's message for a malformed file, a question whose picture file is
# missing, the start-up's choices when test.mdb is missing, the whole virtual screen and the
# image list) into OUTDIR, using a virtual X server so that real fonts and the real style are
# used. The program runs in a fresh working folder holding a copy of DATABASE as test.mdb and
# the demo pictures of app/demo/ in data/, so the database is never changed.
#
# Usage: tools/screenshots.sh OUTDIR [DATABASE [TOPIC[/QUESTION]]]
# DATABASE defaults to the shared sample test database (../shared/fixtures/mdb/sample-test.mdb);
# with TOPIC/QUESTION (for instance 14/300) that node is selected before the main window is
# saved. The open dialog and a message box are saved too, to check Qt's texts are Russian.
# The build directory is $ZN_BUILD_DIR (default: build/ in the repository); the znshots tool is
# brought up to date there first. Needs xvfb-run (package xvfb).
set -euo pipefail

if [[ $# -lt 1 || $# -gt 3 ]]; then
    echo "usage: $0 OUTDIR [DATABASE [TOPIC[/QUESTION]]]" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
database=$(realpath -m "${2:-$repo/../shared/fixtures/mdb/sample-test.mdb}")
build=$(realpath -m "${ZN_BUILD_DIR:-$repo/build}")
shots=$build/app/znshots

[[ -f $database ]] || { echo "no database at $database" >&2; exit 1; }
# Configured as the README's commands configure it; building is quick when nothing changed.
[[ -f $build/CMakeCache.txt ]] ||
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target znshots -j2 >/dev/null
command -v xvfb-run >/dev/null || { echo "xvfb-run not found (install xvfb)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$database" "$work/test.mdb"
chmod u+w "$work/test.mdb"
mkdir "$work/data"
cp "$repo"/app/demo/* "$work/data/"

cd "$work"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$shots" "$out" ${3:+"$3"}

# The start-up in a folder without test.mdb: its box of choices (startup-choice.png).
mkdir "$work/no-bank"
cd "$work/no-bank"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$shots" "$out"
