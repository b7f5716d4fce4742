#!/usr/bin/env bash
# The yield tool's outputs over two fixed piles, compared with the reference files committed in
# yield/tests/reference/: the report in its four formats (every CSV table), the line screen's
# JSON, one board's answer. The piles: the golden logs, and a factory day's gathered archives
# (yield/tests/reference/factory-day-pile.tar.xz, ingested as scripts/factory-day.sh ingests it:
# fixtures A and C by their station markers, B with --station, desk D without). Times that
# change from run to run (the time an alarm is raised, the wall's clock, the logs' file times and
# the screen's time in queue) are scrubbed before comparing.
# Usage: scripts/reference-outputs.sh [--build DIR] [--update] [--pg-env FILE]
#   --build   the host build with devuzeV7-yield (default build/dev)
#   --update  write the reference files instead of comparing (review the diff before committing)
#   --pg-env  a running PostgreSQL server's settings: the piles are also ingested there and its
#             outputs must equal the same reference files
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/dev
update=0
pg_env=
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --update) update=1; shift ;;
        --pg-env) pg_env=$2; shift 2 ;;
        -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "reference-outputs.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
yield=$build/yield/devuzeV7-yield
[ -x "$yield" ] || { echo "reference-outputs.sh: no $yield: build first" >&2; exit 2; }
reference=$root/yield/tests/reference
work=$(mktemp -d)
trap 'kill "$serve_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
serve_pid=
# One "made at" time and one database name in every report, whatever the engine.
export SOURCE_DATE_EPOCH=1796000000

# The piles are ingested from the work folder by relative paths, so that the stored paths are
# the same wherever the repository is.
ingest_golden() {  # DB
    [ -d golden ] || cp -r "$root/yield/tests/golden" golden
    "$yield" ingest --db "$1" golden >/dev/null
}

ingest_factory_day() {  # DB
    [ -d pile ] || tar -xJf "$reference/factory-day-pile.tar.xz"
    "$yield" ingest --db "$1" pile/fixture-A pile/fixture-C >/dev/null
    "$yield" ingest --db "$1" --station fixture-B pile/fixture-B >/dev/null
    "$yield" ingest --db "$1" pile/desk-D >/dev/null
}

# The screen's JSON for DAY, as the live page reads it once the server has read the database.
screen_json() {  # DB DAY OUT
    "$yield" serve --db "$1" --day "$2" --listen 127.0.0.1:0 >"$work/serve.out" 2>&1 &
    serve_pid=$!
    python3 - "$work/serve.out" "$3" <<'PY'
import json, re, sys, time, urllib.request
log, out = sys.argv[1], sys.argv[2]
for _ in range(300):
    m = re.search(r"http://[^/\s]+/", open(log).read())
    if m:
        break
    time.sleep(0.05)
else:
    sys.exit("the server did not start: " + open(log).read())
for _ in range(300):
    body = urllib.request.urlopen(m.group(0) + "dashboard.json", timeout=10).read()
    if json.loads(body).get("data") is not None:
        break
    time.sleep(0.05)
else:
    sys.exit("the screen stayed empty")
open(out, "wb").write(body)
PY
    kill "$serve_pid"
    wait "$serve_pid" 2>/dev/null || true
    serve_pid=
}

outputs() {  # DB OUT BOARD
    local db=$1 out=$2
    mkdir -p "$out/csv"
    for f in text json html; do "$yield" report --db "$db" --format $f -o "$out/report.$f"; done
    "$yield" report --db "$db" --format csv -o "$out/csv/" >"$work/csv.out" 2>&1 ||
        { cat "$work/csv.out" >&2; return 1; }
    local day
    day=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["days"][-1]["day"])' \
        "$out/report.json")
    screen_json "$db" "$day" "$out/screen.json"
    "$yield" board --db "$db" --format json "$3" >"$out/board.json"
}

# Times of the moment, the database's name and the work folder become fixed words.
scrub() {  # FOLDER DB
    python3 - "$1" "$work" "$2" <<'PY'
import os, re, sys
rules = [
    (re.compile(re.escape(sys.argv[2].encode()) + rb"/"), b"WORK/"),
    (re.compile(re.escape(sys.argv[3].encode())), b"DB"),
    (re.compile(rb'"raised_at":"[^"]*"'), b'"raised_at":"TIME"'),
    # The wall's clock, and the logs' file times (a copy's own) in the server's zone.
    (re.compile(rb'"now":"[^"]*"'), b'"now":"TIME"'),
    (re.compile(rb'"last_upload":"[^"]*"'), b'"last_upload":"TIME"'),
    # The screen's time in queue, taken at the server's clock.
    (re.compile(rb'"queue_seconds":[0-9]+'), b'"queue_seconds":SECONDS'),
    (re.compile(rb',"DB \(server [^)"]*\)"'), b",DB"),
    (re.compile(rb' \(server [^)"]*\)'), b""),
]
for folder, _, files in os.walk(sys.argv[1]):
    for name in files:
        path = os.path.join(folder, name)
        data = open(path, "rb").read()
        for pattern, word in rules:
            data = pattern.sub(word, data)
        open(path, "wb").write(data)
PY
}

made=$work/made
run_set() {  # NAME INGEST DB BOARD
    local out=$made/$1
    "$2" "$3"
    "$yield" check --db "$3" >"$work/check.txt" || { cat "$work/check.txt" >&2; exit 1; }
    outputs "$3" "$out" "$4"
    scrub "$out" "$3"
}

cd "$work"
run_set golden ingest_golden reference.db 1a2b3c4d
rm -f reference.db
run_set factory-day ingest_factory_day reference.db 0x5EB00104

if [ "$update" = 1 ]; then
    for set in golden factory-day; do
        rm -rf "${reference:?}/$set"
        cp -r "$made/$set" "$reference/$set"
    done
    echo "reference-outputs.sh: wrote $reference (review with git diff)"
    exit 0
fi

status=0
for set in golden factory-day; do
    diff -r "$reference/$set" "$made/$set" || status=1
done
if [ -n "$pg_env" ]; then
    # shellcheck disable=SC1090
    source "$pg_env"
    for name in reference_golden reference_factory_day; do
        psql -q -c "DROP DATABASE IF EXISTS $name" -d postgres 2>/dev/null
        psql -q -c "CREATE DATABASE $name" -d postgres
    done
    made=$work/pg
    run_set golden ingest_golden "postgresql:///reference_golden" 1a2b3c4d
    run_set factory-day ingest_factory_day "postgresql:///reference_factory_day" 0x5EB00104
    for set in golden factory-day; do
        diff -r "$reference/$set" "$made/$set" || status=1
    done
fi
[ "$status" = 0 ] && echo "reference-outputs.sh: every output equals its reference file"
exit $status
