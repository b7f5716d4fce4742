#!/usr/bin/env bash
# The factory day as the line screen lives it (browser/live-day.js): the day's gathered pile
# dropped station by station into folders that `watch` follows, while `serve` shows the day in
# Chromium, over an empty database: a SQLite file in a temporary folder, or with --pg-env a
# database of its own on that PostgreSQL server, dropped afterwards.
# Usage: yield/tests/live-day.sh TOOL FACTORY_DAY_DIR [--pg-env FILE]
#   FACTORY_DAY_DIR  scripts/factory-day.sh's output: its pile/ and report.json
#   --pg-env         a running PostgreSQL server's settings (lines "export PGHOST=...")
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
me=live-day
# shellcheck source=browser/prerequisites.sh
. "$here/browser/prerequisites.sh"
browser_prerequisites "$me"

[ $# -eq 2 ] || [ $# -eq 4 ] || { sed -n '6,8p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
tool=$1
day=$2
pg_env=
if [ $# -eq 4 ]; then
    [ "$3" = --pg-env ] || { echo "$me: unknown argument $3" >&2; exit 2; }
    pg_env=$4
fi
for f in "$day/pile" "$day/report.json"; do
    [ -e "$f" ] || { echo "$me: no $f: run the factory day first (yield.factory_day)" >&2; exit 2; }
done

work=$(mktemp -d)
pg_name=
cleanup() {
    if [ -n "$pg_name" ]; then
        psql -X -q -c "DROP DATABASE IF EXISTS $pg_name WITH (FORCE)" >/dev/null || true
    fi
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

if [ -n "$pg_env" ]; then
    # shellcheck disable=SC1090
    . "$pg_env"
    pg_name=live_day_$$
    psql -X -q -v ON_ERROR_STOP=1 -c "CREATE DATABASE $pg_name"
    db=postgresql:///$pg_name
else
    db=$work/yield.db
fi
# An ingest of nothing makes the schema: serve reads a database that exists.
mkdir -p "$work/none"
"$tool" ingest --db "$db" "$work/none" >/dev/null

timeout 150 node "$here/browser/live-day.js" --tool "$tool" --db "$db" --pile "$day/pile" \
    --report "$day/report.json" --work "$work" --alert "$here/browser/record-alert.sh" \
    --alerts "$work/alerts.txt"
