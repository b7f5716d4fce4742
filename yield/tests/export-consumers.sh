#!/usr/bin/env bash
# Reads the exported records as their consumers do: the golden logs ingested, exported as JSON
# and as JUnit, every JSON record validated against the schema, every JUnit file read back with
# junitparser and its totals checked against its suites and against the report's counts; every
# time column of the report's CSV tables read by pandas as a time.
# Usage: yield/tests/export-consumers.sh TOOL GOLDEN_DIR SCHEMA
# The Debian python3 (its python3-jsonschema, python3-junitparser and python3-pandas), never a
# pyenv one.
set -euo pipefail

tool=$1 golden=$2 schema=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Beside them a run cut in its first cycle: the standard run's first 60 lines under another stamp.
standard=$(find "$golden/standard/NandFlash/test" -name '*.log' | head -n 1)
head -n 60 "$standard" | sed 's/2026_12_07_12_00_51/2026_12_07_23_00_00/' >"$work/cut.log"

"$tool" ingest --db "$work/runs.db" "$golden" "$work/cut.log" >/dev/null
"$tool" export --db "$work/runs.db" --format json -o "$work/json" >/dev/null
"$tool" export --db "$work/runs.db" --format junit -o "$work/junit" >/dev/null
"$tool" report --db "$work/runs.db" --format json -o "$work/report.json"
"$tool" report --db "$work/runs.db" --format csv -o "$work/csv/" 2>/dev/null
/usr/bin/python3 "$here/exportConsumers.py" "$schema" "$work/json" "$work/junit" "$work/report.json" \
    "$work/csv"
