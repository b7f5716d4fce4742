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
[ -x /usr/bin/chromium ] || { echo "serve-check: chromium is not installed (scripts/setup-deps.sh)" >&2; exit 2; }
command -v node >/dev/null || { echo "serve-check: node is not installed (scripts/setup-deps.sh)" >&2; exit 2; }
[ -d "$here/browser/node_modules/puppeteer-core" ] ||
    { echo "serve-check: puppeteer-core is missing: npm ci in $here/browser (scripts/setup-deps.sh)" >&2; exit 2; }

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

cat >"$work/alert.sh" <<'SCRIPT'
#!/bin/sh
# The alert command: one line per call, its arguments then the kind from the environment.
out=$1
shift
{ printf '%s\t' "$@"; printf 'env:%s\n' "$DEVUZE_ALERT_KIND"; } >>"$out"
SCRIPT
chmod +x "$work/alert.sh"

timeout 240 node "$here/browser/serve-check.js" --tool "$tool" --db "$work/yield.db" \
    --logs "$work/logs" --alert "$work/alert.sh" --alerts "$work/alerts.txt" --host "$hostile"
