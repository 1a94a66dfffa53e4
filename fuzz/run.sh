#!/usr/bin/env bash
# Runs the libFuzzer programs of a fuzzing build (ZN_FUZZ=ON, clang; see tools/test-all.sh).
#
#   fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
#       Long fuzzing: each target (all of the build's when none is named, one after another)
#       for SECONDS (default 60). What it finds stays in BUILD_DIR/fuzz-work/<target>/:
#       corpus/ (inputs that reached new code; kept between runs), crashes/ (the findings),
#       log.txt (the last run's) and runs.txt (a line per run: when, seconds, executions,
#       coverage, corpus size, outcome). Run it under nice; two at once at most on a shared
#       machine.
#   fuzz/run.sh --bounded BUILD_DIR RUNS [TARGET...]
#       The test command's run: each target over its seeds and regression corpus, then RUNS
#       mutations with a fixed seed, from a fresh corpus, so that the same commit passes or
#       fails the same way every time: the corpus is not reread on a timer, and address space
#       layout randomisation is off where the system lets setarch turn it off (the engine's
#       paths are the same for the same input then; with it on a few edges depend on
#       addresses). Exits non-zero when a target finds something.
#
# Seeds of every target: fuzz_seeds' (made from our own engine's files), the target's
# regression corpus (fuzz/corpus/<target>/) and the shared inputs that once broke a parser
# (../shared/fixtures/fuzz); the targets that read database files also get the shared .mdb
# fixtures under 400 KB. An absent shared folder is said, then left out.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shared="$here/../../shared/fixtures"

bounded=0
if [ "${1:-}" = "--bounded" ]; then
    bounded=1
    shift
fi
[ $# -ge 1 ] || {
    echo "usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...] | --bounded BUILD_DIR RUNS [TARGET...]" >&2
    exit 2
}
build=$(cd "$1" && pwd)
amount=${2:-60}
shift $(($# >= 2 ? 2 : 1))
seeds_tool="$build/fuzz/fuzz_seeds"
# Qt's hash tables are seeded at random unless told otherwise; the entries fix the seed too.
export QT_HASH_SEED=0
# Undefined behaviour is a finding like a crash: the first report stops the target.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

all_targets=$("$seeds_tool" targets)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    mapfile -t targets < <(cut -d' ' -f1 <<<"$all_targets")
fi
if [ ! -d "$shared" ]; then
    echo "fuzz: the shared fixtures folder ($shared) is absent; fuzzing without its inputs" >&2
fi

runner=()
if [ $bounded = 1 ]; then
    if setarch "$(uname -m)" -R true 2>/dev/null; then
        runner=(setarch "$(uname -m)" -R)
    else
        echo "fuzz: setarch cannot turn address randomisation off here; runs may differ slightly" >&2
    fi
fi

status=0
for t in "${targets[@]}"; do
    kind=$(awk -v t="$t" '$1 == t { print $2 }' <<<"$all_targets")
    if [ -z "$kind" ]; then
        echo "fuzz: no target $t in $build" >&2
        exit 2
    fi
    work="$build/fuzz-work/$t"
    if [ $bounded = 1 ]; then
        work="$build/fuzz-work/bounded-$t"
        rm -rf "$work"
    fi
    mkdir -p "$work/corpus" "$work/crashes"
    rm -rf "$work/seeds" "$work/shared-mdb"
    "$seeds_tool" write "$t" "$work/seeds"
    dirs=("$work/corpus" "$work/seeds")
    if [ -d "$shared/fuzz" ]; then dirs+=("$shared/fuzz"); fi
    if [ "$kind" = db ] && [ -d "$shared/mdb" ]; then
        # Linked, not copied.
        mkdir -p "$work/shared-mdb"
        find "$shared/mdb" -name '*.mdb' -size -400k | while read -r f; do
            ln -sf "$f" "$work/shared-mdb/$(basename "$f")"
        done
        dirs+=("$work/shared-mdb")
    fi
    maxlen=65536
    if [ "$kind" = db ]; then maxlen=450000; fi
    args=(-rss_limit_mb=2048 -max_len=$maxlen -print_final_stats=1
        -artifact_prefix="$work/crashes/")
    if [ $bounded = 1 ]; then
        args+=(-seed=1 -runs="$amount" -timeout=60 -reload=0)
    else
        args+=(-max_total_time="$amount" -timeout=20)
    fi
    echo "== fuzz $t ($([ $bounded = 1 ] && echo "$amount runs, seed 1" || echo "$amount s"))"
    started=$(date -u +%Y-%m-%dT%H:%M:%SZ)
    t0=$(date +%s)
    outcome=none
    if "${runner[@]}" "$build/fuzz/fuzz_$t" "${args[@]}" "${dirs[@]}" >"$work/log.txt" 2>&1; then
        grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$work/log.txt" | tail -n 2 || true
    else
        status=1
        outcome="FOUND $(grep -o 'Test unit written to .*' "$work/log.txt" | sed 's|.*/||' | head -n 1)"
        echo "fuzz: $t found something (log: $work/log.txt):" >&2
        grep -E '^==[0-9]+==ERROR|^==fuzz target|SUMMARY|Test unit written|terminate called|what\(\)' \
            "$work/log.txt" | head -n 12 >&2 || tail -n 30 "$work/log.txt" >&2
    fi
    if [ $bounded = 0 ]; then
        # The last coverage line of the run, and the corpus kept.
        last=$(grep -E '^#[0-9]+' "$work/log.txt" | tail -n 1)
        execs=$(grep -E '^stat::number_of_executed_units' "$work/log.txt" | awk '{ print $2 }')
        printf '%s  %5ss  execs %-8s cov %-6s ft %-7s corpus %-6s %s\n' "$started" \
            "$(($(date +%s) - t0))" "${execs:-?}" \
            "$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")" \
            "$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")" \
            "$(find "$work/corpus" -type f | wc -l)" "$outcome" >>"$work/runs.txt"
    fi
done
exit $status
