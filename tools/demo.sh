#!/bin/bash
# Installs what is missing, builds the editor and starts it on the demo database in demo/.
# The demo folder holds test.mdb (sample Russian topics and questions, made by our engine) and
# data/ with the preview's background pictures and the sample question pictures. An existing
# demo database is never overwritten: delete demo/ to start afresh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

"$root/tools/setup.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target znatokar jettool

demo="$root/demo"
mkdir -p "$demo/data"
if [ ! -f "$demo/test.mdb" ]; then
    "$root/build/tools/jettool" create-test "$demo/test.mdb" --sample
    echo "demo.sh: created $demo/test.mdb"
fi
for f in "$root"/app/demo/*; do
    [ -e "$demo/data/$(basename "$f")" ] || cp "$f" "$demo/data/"
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "demo.sh: no display to show the editor on (DISPLAY is not set)." >&2
    echo "demo.sh: start it from a desktop session, or see tools/screenshots.sh." >&2
    exit 1
fi
cd "$demo"
exec "$root/build/app/znatokar"
