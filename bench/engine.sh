#!/bin/bash
# Whole-process timings of the engine: wall time and peak memory of each command, from GNU
# time. Usage: bench/engine.sh [BUILD_DIR]   (default build/)
#   read:    every row of every table of large-test.mdb, our engine against mdb-export
#   write:   10,000 questions with 4-6 answers into a new test database, a transaction each and
#            all in one; then updating and deleting them
#   compact: large-test.mdb, and a copy with half of its questions deleted
# bench/bank.sh times a whole bank written in one transaction and its growth series.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
fixtures="$root/../shared/fixtures/mdb"
large="$fixtures/large-test.mdb"
[ -f "$large" ] || { echo "engine.sh: $large is missing" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

measure() {  # label command...
    local label=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
    read -r secs kb <"$work/time"
    printf '%-44s %8.2f s %8.1f MB\n' "$label" "$secs" "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')"
}
size() { printf '%-44s %8.2f MB\n' "$1" "$(awk -v b="$(stat -c %s "$2")" 'BEGIN { print b / 1048576 }')"; }

echo "== reading large-test.mdb"
measure "our engine, every row of every table" "$build/bench/jet_readall" "$large"
mdbexport_all() {
    mdb-tables -S -1 "$1" | while read -r t; do mdb-export -b hex "$1" "$t"; done
}
export -f mdbexport_all
measure "mdb-export, every table" bash -c 'mdbexport_all "$0"' "$large"

echo "== writing questions"
"$build/tools/jettool" create-test "$work/each.mdb"
"$build/tools/jettool" create-test "$work/all.mdb"
measure "insert 10000, a transaction each" "$build/bench/jet_questions" "$work/each.mdb" insert-each 10000
measure "insert 10000, one transaction" "$build/bench/jet_questions" "$work/all.mdb" insert-all 10000
size "  file after inserting" "$work/each.mdb"
measure "update all, a transaction each" "$build/bench/jet_questions" "$work/each.mdb" update
measure "delete all, a transaction each" "$build/bench/jet_questions" "$work/each.mdb" delete
"$build/tools/jettool" check "$work/each.mdb" >/dev/null && echo "  check: OK"

echo "== compacting"
cp "$large" "$work/large.mdb"
chmod u+w "$work/large.mdb"
cp "$work/large.mdb" "$work/half.mdb"
"$build/bench/jet_questions" "$work/half.mdb" delete-half
size "large-test.mdb" "$work/large.mdb"
measure "compact large-test.mdb" "$build/tools/jettool" compact "$work/large.mdb"
size "  compacted" "$work/large.mdb"
size "half of the questions deleted" "$work/half.mdb"
measure "compact it" "$build/tools/jettool" compact "$work/half.mdb"
size "  compacted" "$work/half.mdb"
