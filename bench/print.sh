#!/bin/bash
# Whole-process wall time and peak memory (GNU time) of printouts of large-test.mdb through
# znbank pdf, with 600 small pictures written into a data folder of their own (the fixture's
# pictures are not there): the whole bank with its key (goal 5 s and 300 MB), the same without
# pictures, and a 30-question variant with its key (goal 300 ms; the process's start and the
# bank's read included).
# Usage: bench/print.sh [BUILD_DIR]   (default build/)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
large="$root/../shared/fixtures/mdb/large-test.mdb"
[ -f "$large" ] || { echo "print.sh: $large is missing" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$build/bench/print_bench" --pictures "$work/data" >/dev/null 2>&1
measure() {  # label command...
    local label=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err"
    read -r secs kb <"$work/time"
    printf '%-44s %6.2f s %7.1f MB   %s pages, %s\n' "$label" "$secs" \
        "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')" \
        "$(pdfinfo "$work/out.pdf" | awk '/^Pages:/ { print $2 }')" \
        "$(pdfimages -list "$work/out.pdf" | tail -n +3 | awk '{ print $11 }' | sort -u |
           wc -l) pictures stored"
}
for i in 1 2 3; do
    measure "whole bank, key, 600 pictures (run $i)" "$build/tools/znbank" pdf "$large" \
        "$work/out.pdf" --key --data "$work/data"
done
measure "whole bank, key, no pictures" "$build/tools/znbank" pdf "$large" "$work/out.pdf" \
    --key --no-pictures
for i in 1 2 3; do
    measure "variant of 3 x 10 questions, key (run $i)" "$build/tools/znbank" pdf "$large" \
        "$work/out.pdf" --topics 1,2,3 --variant 10 --seed 12345 --key --data "$work/data"
done
