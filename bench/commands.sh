#!/bin/bash
# Whole-process timings of the editor's commands through the data module: wall time and peak
# memory (GNU time) of each, on copies of large-test.mdb.
# Usage: bench/commands.sh [BUILD_DIR]   (default build/)
#   startup: the program brought up on large-test.mdb until its window shows the tree
#   rekey: the questions of 13 topics re-keyed, one post (transaction) at a time against one
#          write scope; the output line gives the rows written and the file syncs
#   bulk:  export of large-test.mdb and import of its bank into a copy of it (a full bank),
#          whole commands through znbank, deleting all its data, then the import's steps apart
#          (bench/bulk_import)
#   check: znbank check on large-test.mdb (the problems counted, not printed)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
large="$root/../shared/fixtures/mdb/large-test.mdb"
[ -f "$large" ] || { echo "commands.sh: $large is missing" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

measure() {  # label command...
    local label=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" 2>"$work/err"
    read -r secs kb <"$work/time"
    printf '%-48s %8.2f s %8.1f MB   %s\n' "$label" "$secs" \
        "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')" "$(tr '\n' ' ' <"$work/out")"
}
copy() { cp "$large" "$1" && chmod u+w "$1"; }

echo "== re-keying the questions of 13 topics of large-test.mdb"
copy "$work/each.mdb"
measure "one post at a time" "$build/bench/store_rekey" "$work/each.mdb" each
copy "$work/scope.mdb"
measure "one write scope" "$build/bench/store_rekey" "$work/scope.mdb" scope

echo "== start-up on large-test.mdb (window shown, tree built, first page shown)"
mkdir -p "$work/start/data"
copy "$work/start/test.mdb"
cp "$root"/app/demo/* "$work/start/data/"
for i in 1 2 3; do
    (cd "$work/start" && QT_QPA_PLATFORM=offscreen measure "start-up, run $i" "$build/bench/app_startup")
done

echo "== export and import of large-test.mdb"
copy "$work/export.mdb"
measure "znbank export" "$build/tools/znbank" export "$work/export.mdb" "$work/large.txt"
# The export keeps the line breaks of multi-line texts, and a file holding them is refused; the
# import reads the same bank with those texts on one line.
"$build/bench/bulk_import" --prepare "$large" "$work/joined.txt" >/dev/null
copy "$work/import.mdb"
measure "znbank import (into the full bank)" "$build/tools/znbank" import "$work/import.mdb" \
    "$work/joined.txt"
copy "$work/delete.mdb"
measure "znbank delete-all" "$build/tools/znbank" delete-all "$work/delete.mdb"
copy "$work/steps.mdb"
measure "import, step by step" "$build/bench/bulk_import" "$work/steps.mdb" "$work/joined.txt"

echo "== problem check of large-test.mdb"
copy "$work/check.mdb"
measure "znbank check (problems found)" sh -c '"$1" check "$2" | wc -l' sh "$build/tools/znbank" \
    "$work/check.mdb"
