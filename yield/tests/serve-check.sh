#!/usr/bin/env bash
# The line screen end to end: `serve` over an empty SQLite database opened in Debian's Chromium
# (browser/serve-check.js), then boards ingested while the page stays open. Logs are made from the
# golden logs with processor IDs of their own: four boards of fixture-bad failing DI-5, four good
# ones on fixture-good, and one board whose host name is markup.
# Usage: yield/tests/serve-check.sh TOOL GOLDEN_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tool=$1
golden=$2
# shellcheck source=browser/prerequisites.sh
. "$here/browser/prerequisites.sh"
browser_prerequisites serve-check

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
chip=0x1A2B3C4D
failing="$golden/dio-stuck-di5-0/NandFlash/test/deVuzeV7_bench1[$chip]_2026_12_07_12_01_44[ERR].log"
passing="$golden/standard/NandFlash/test/deVuzeV7_bench1[$chip]_2026_12_07_12_00_51[OK].log"
hostile='<img src=x onerror=alert(1)><b>x'

# copy LOG DIR NEWCHIP [HOST]: LOG as another board's (and host's) log in DIR.
copy() {
    local log=$1 dir=$2 id=$3 host=${4:-bench1}
    local name
    name=$(basename "$log")
    name=${name//$chip/$id}
    name=${name//bench1/$host}
    mkdir -p "$dir"
    sed -e "s/$chip/$id/g" -e "s/bench1/$host/g" "$log" >"$dir/$name"
}
for i in 1 2 3 4; do
    copy "$failing" "$work/logs/bad" "0x0BAD000$i"
    copy "$passing" "$work/logs/good" "0x600D000$i"
done
copy "$passing" "$work/logs/hostile" 0x0E0E0E0E "$hostile"
copy "$passing" "$work/logs/again" 0x0A6A1000
[ -f "$passing" ] && [ -f "$failing" ] || { echo "serve-check: golden logs missing" >&2; exit 2; }

mkdir -p "$work/none"
"$tool" ingest --db "$work/yield.db" "$work/none" >/dev/null

timeout 240 node "$here/browser/serve-check.js" --tool "$tool" --db "$work/yield.db" \
    --logs "$work/logs" --alert "$here/browser/record-alert.sh" --alerts "$work/alerts.txt" --host "$hostile"
