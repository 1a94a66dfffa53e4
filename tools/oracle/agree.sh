#!/bin/bash
# Checks the two reference readers against each other: for every .mdb under
# the fixture folder, lossy(mdbreader-dump) must equal lossy(mdbexport-dump)
# for --all and for --system. Run it after changing a converter or the filter.
#
#   tools/oracle/agree.sh [FIXTURE_DIR]    (default: ../shared/fixtures/mdb from the repo root)
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
dir="${1:-$here/../../../shared/fixtures/mdb}"
if [ ! -d "$dir" ]; then
    echo "agree.sh: no fixture folder $dir, nothing to check"
    exit 0
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
pass=0
fail=0
while IFS= read -r -d '' file; do
    for mode in --all --system; do
        ok=1
        node "$here/mdbreader-dump.mjs" "$file" "$mode" >"$tmp/r0" 2>"$tmp/err" || ok=0
        node "$here/mdbexport-dump.mjs" "$file" "$mode" >"$tmp/e0" 2>>"$tmp/err" || ok=0
        node "$here/lossy.mjs" --mdbtools <"$tmp/r0" >"$tmp/r" || ok=0
        node "$here/lossy.mjs" --mdbtools <"$tmp/e0" >"$tmp/e" || ok=0
        if [ $ok = 1 ] && cmp -s "$tmp/r" "$tmp/e"; then
            pass=$((pass + 1))
        else
            fail=$((fail + 1))
            echo "DIFFER: ${file#"$dir"/} $mode"
            grep -v '^mdb.*-dump: skipped table' "$tmp/err" | head -3
            diff "$tmp/r" "$tmp/e" | head -6 | cut -c1-200
        fi
    done
done < <(find "$dir" -name '*.mdb' -print0 | sort -z)
echo "agree: $pass passed, $fail failed"
[ "$fail" = 0 ]
