#!/bin/bash
# Whole-process timings of a bank written into a new test database in ONE transaction
# (bench/jet_bank under GNU time: wall and CPU time of the process, peak memory; and the
# program's own split into inserts and commit). Usage: bench/bank.sh [BUILD_DIR] (default build/)
#   bank:   the content of large-test.mdb (14 topics, 4,200 questions, 16,858 answers)
#   growth: 14 topics of 150, 300, 600, 1,200 and 2,000 questions each (28,000 questions is near
#           the format's ceiling: Otveti.idvopr is a 16-bit column), then the ratio of the
#           28,000-question bank's transaction (inserts and commit, without reading the source)
#           to the 4,200-question one's.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
large="$root/../shared/fixtures/mdb/large-test.mdb"
[ -f "$large" ] || { echo "bank.sh: $large is missing" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

printf '%-34s %8s %8s %9s %9s %9s\n' "" "wall s" "cpu s" "peak MB" "insert s" "commit s"
run() {  # label [PER_TOPIC]; prints the row and leaves the transaction's time in $tx
    local label=$1
    shift
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$build/bench/jet_bank" "$large" \
        "$work/bank.mdb" "$@" >"$work/out"
    read -r wall user sys kb <"$work/time"
    local ins com
    ins=$(sed -n 's/.*inserts \([0-9.]*\) s.*/\1/p' "$work/out")
    com=$(sed -n 's/.*commit \([0-9.]*\) s.*/\1/p' "$work/out")
    tx=$(awk -v i="$ins" -v c="$com" 'BEGIN { print i + c }')
    printf '%-34s %8.2f %8.2f %9.1f %9.3f %9.3f\n' "$label" "$wall" \
        "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" \
        "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')" "$ins" "$com"
}

echo "== the bank of large-test.mdb, one transaction"
run "4,200 questions, 16,858 answers"
"$build/tools/jettool" check "$work/bank.mdb" >/dev/null && echo "  check: OK"

echo "== growth: 14 topics of N questions, one transaction"
for n in 150 300 600 1200 2000; do
    run "$n per topic ($((14 * n)) questions)" "$n"
    [ "$n" = 300 ] && base=$tx
done
"$build/tools/jettool" check "$work/bank.mdb" >/dev/null && echo "  check: OK"
awk -v a="$tx" -v b="$base" \
    'BEGIN { printf "28,000 / 4,200 questions: %.1f times the transaction time\n", a / b }'
