#!/usr/bin/env bash
# Runs the reader's fuzz target for SECONDS (default 60) on a seed corpus of the small shared
# fixtures. Usage: fuzz/run.sh BUILD_DIR [SECONDS]
# New inputs go to BUILD_DIR/fuzz/corpus; crashes to BUILD_DIR/fuzz/crashes.
set -euo pipefail
build=$1
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
fixtures="$here/../../shared/fixtures/mdb"
work="$build/fuzz"
mkdir -p "$work/corpus" "$work/seeds" "$work/crashes"
if [ -d "$fixtures" ]; then
    # Seeds: every shared fixture under 400 KB (linked, not copied).
    find "$fixtures" -name '*.mdb' -size -400k | while read -r f; do
        ln -sf "$f" "$work/seeds/$(basename "$f")"
    done
else
    echo "fuzz: the shared fixtures folder is absent; fuzzing from an empty corpus" >&2
fi
exec "$build/fuzz/jet_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
    -max_len=450000 -print_final_stats=1 -artifact_prefix="$work/crashes/" \
    "$work/corpus" "$work/seeds"
