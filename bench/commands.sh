#!/bin/bash
# Whole-process timings of the editor's commands through the data module: wall time and peak
# memory (GNU time) of each, on copies of large-test.mdb.
# Usage: bench/commands.sh [BUILD_DIR]   (default build/)
#   rekey: the questions of 13 topics re-keyed, one post (transaction) at a time against one
#          write scope; the output line gives the rows written and the file syncs
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
large="$root/../shared/fixtures/mdb/large-test.mdb"
[ -f "$large" ] || { echo "commands.sh: $large is missing" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

measure() {  # label command...
    local label=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out"
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
