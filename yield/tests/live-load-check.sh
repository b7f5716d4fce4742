#!/usr/bin/env bash
# 200 live pages at once: `serve` over an empty SQLite database on the loopback address, 200
# pages on /events, then four ingest streams committing new boards at the same time
# (live-load.js). Every page must be let in, keep its stream and end with the final run count;
# no time is asserted (scripts/benchmarks.sh --live-only measures it).
# Logs are the golden passing log with processor IDs of their own, all of one day.
# Usage: yield/tests/live-load-check.sh TOOL GOLDEN_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tool=$1
golden=$2
readonly day=2026-12-07
readonly chip=0x1A2B3C4D
readonly boards=12 pages=200 streams=4
command -v node >/dev/null || { echo "live-load-check: node is not installed (scripts/setup-deps.sh)" >&2; exit 2; }
passing="$golden/standard/NandFlash/test/deVuzeV7_bench1[$chip]_2026_12_07_12_00_51[OK].log"
[ -f "$passing" ] || { echo "live-load-check: golden log missing: $passing" >&2; exit 2; }

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
mkdir -p "$work/logs" "$work/none"
for i in $(seq 1 "$boards"); do
    id=$(printf '0x10AD%04d' "$i")
    name=$(basename "$passing")
    sed -e "s/$chip/$id/g" "$passing" >"$work/logs/${name//$chip/$id}"
done
"$tool" ingest --db "$work/yield.db" "$work/none" >/dev/null

timeout 240 node "$here/live-load.js" --tool "$tool" --db "$work/yield.db" --day "$day" \
    --logs "$work/logs" --clients "$pages" --streams "$streams" --batch-files 1
