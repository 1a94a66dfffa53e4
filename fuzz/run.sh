#!/usr/bin/env bash
# Runs the reader's fuzz target on a seed corpus of the small shared fixtures.
#   fuzz/run.sh BUILD_DIR [SECONDS]
#       Long fuzzing for SECONDS (default 60). New inputs stay in BUILD_DIR/fuzz/corpus (kept
#       between runs); crashes go to BUILD_DIR/fuzz/crashes.
#   fuzz/run.sh --bounded BUILD_DIR RUNS
#       The test command's run: the seeds, then RUNS mutations with a fixed seed from a fresh
#       corpus, so that the same commit passes or fails the same way every time.
set -euo pipefail
bounded=0
if [ "${1:-}" = "--bounded" ]; then
    bounded=1
    shift
fi
build=$1
amount=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
fixtures="$here/../../shared/fixtures/mdb"
work="$build/fuzz"
if [ $bounded = 1 ]; then
    work="$build/fuzz-bounded"
    rm -rf "$work"
fi
mkdir -p "$work/corpus" "$work/seeds" "$work/crashes"
if [ -d "$fixtures" ]; then
    # Seeds: every shared fixture under 400 KB (linked, not copied).
    find "$fixtures" -name '*.mdb' -size -400k | sort | while read -r f; do
        ln -sf "$f" "$work/seeds/$(basename "$f")"
    done
else
    echo "fuzz: the shared fixtures folder is absent; fuzzing from an empty corpus" >&2
fi
if [ $bounded = 1 ]; then
    limit=(-seed=1 -runs="$amount")
else
    limit=(-max_total_time="$amount")
fi
exec "$build/fuzz/jet_fuzz" "${limit[@]}" -rss_limit_mb=2048 -timeout=20 \
    -max_len=450000 -print_final_stats=1 -artifact_prefix="$work/crashes/" \
    "$work/corpus" "$work/seeds"
