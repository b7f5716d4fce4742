#!/usr/bin/env bash
# A factory day on a real line: runs the real tool on many boards (processor IDs) in three
# fixtures (stations) with a mix of faults, boards failed and retested, several runs at once; every
# board carries the line's one host name (but the hostile-host runs); gathers the flash and stick
# archives per fixture as an operator would, fixtures A and C marked by station marker files,
# fixture B ingested with --station; ingests them with devuzeV7-yield, writes the HTML and JSON
# reports and checks the report and the stored stations run by run against the bench's records.
# Usage: scripts/factory-day.sh [--build DIR] [--out DIR] [--jobs N] [--no-check] [--pg-env FILE]
#   --build  the host build with the bench and devuzeV7-yield (default build/dev)
#   --out    where runs, the gathered pile, the database and the reports go
#            (default BUILD/factory-day; emptied first)
#   --jobs   bench runs at once (default 8: the runs mostly wait)
#   --pg-env a running PostgreSQL server's settings (lines "export PGHOST=..."): the pile is also
#            ingested there, once as into SQLite and once by one ingest per fixture and one of the
#            whole pile at the same time, and every report, export and view must equal the SQLite
#            one byte for byte
# The report is OUT/report.html; OUT/report.json and OUT/export/ (one JSON record per run) beside.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/dev
out=
jobs=8
check=1
pg_env=
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --out) out=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --no-check) check=0; shift ;;
        --pg-env) pg_env=$2; shift 2 ;;
        -h | --help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "factory-day.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
out=$(realpath -m "${out:-$build/factory-day}")
# Every report of the day states one "made at" time, so that reports of the same runs compare
# byte for byte.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(date +%s)}
bench=$build/bench/devuzeV7-bench
yield=$build/yield/devuzeV7-yield
checker=$build/yield/devuzeV7-factory-check
for f in "$bench" "$yield"; do
    [ -x "$f" ] || { echo "factory-day.sh: no $f: build first" >&2; exit 2; }
done
[ "$check" = 0 ] || [ -x "$checker" ] || { echo "factory-day.sh: no $checker" >&2; exit 2; }

# The day's plan, one run a line: wave, fixture (the folder its archives are gathered in: its
# station), board (processor ID), scenario, host name (= the line's, - the scenario's own), and what the
# operator does to the archives ("pulled": the first stick is pulled during the copy, leaving its
# copy short). A wave starts when the one before has ended, so a board's retest comes after its
# failed run. Fixture C has a cut RS232 cable on three boards (the fixture flag); board 0xB004
# has a stuck input, fails twice and passes after repair; hostile host names run in wave 3, one of
# them at desk D, a repair desk without a station, whose runs are known by their host name.
plan=$(cat <<'EOF'
1 fixture-A 0x5EB00101 standard =
1 fixture-B 0x5EB00102 standard =
1 fixture-C 0x5EB00103 serial-cut-pair = pulled
1 fixture-A 0x5EB00104 dio-stuck-di5-0 =
1 fixture-B 0x5EB00105 usb-none =
1 fixture-C 0x5EB00106 standard =
1 fixture-A 0x5EB00107 adc-boundaries =
1 fixture-B 0x5EB00108 at-silent =
2 fixture-C 0x5EB00109 serial-cut-pair =
2 fixture-A 0x5EB00110 standard =
2 fixture-B 0x5EB00111 standard-busybox =
2 fixture-A 0x5EB00103 standard =
2 fixture-C 0x5EB00104 dio-stuck-di5-0 =
2 fixture-B 0x5EB00105 standard =
2 fixture-A 0x5EB00112 hostname-quote -
2 fixture-B 0x5EB00113 hostname-subst -
3 fixture-C 0x5EB00114 serial-cut-pair =
3 desk-D 0x5EB00115 standard <script>alert(1)</script><b>x
3 fixture-C 0x5EB00116 hostname-control-bytes -
3 fixture-A 0x5EB00104 standard =
3 fixture-A 0x5EB00108 standard =
3 fixture-B 0x5EB00109 standard =
3 fixture-C 0x5EB00117 dio-refused-do2 =
3 fixture-A 0x5EB00118 usb-first-only =
4 fixture-B 0x5EB00114 standard =
4 fixture-C 0x5EB00119 standard =
4 fixture-A 0x5EB00107 standard =
4 fixture-B 0x5EB00120 serial-self-hearing =
EOF
)

# The host name every board of the line carries: the same image everywhere.
line_host=devuze-line
# Fixtures whose gathered archives carry station marker files; the others are named by --station
# at their ingest.
marked_fixtures=(fixture-A fixture-C)
# Folders gathered from where no station is set: their runs are known by their host name.
unstationed=(desk-D)
marker=devuzeV7-station

rm -rf "$out"
mkdir -p "$out/runs" "$out/pile"
: >"$out/plan.tsv"

run_one() {  # number fixture chip scenario host
    local dir=$out/runs/$1 host_opt=()
    case $5 in
        =) host_opt=(--hostname "$line_host") ;;
        -) ;;
        *) host_opt=(--hostname "$5") ;;
    esac
    if ! "$bench" --scenario "$4" --out "$dir" --quiet "${host_opt[@]}" --cpu-id "$3" \
        -- Cnt=1 >"$dir.out" 2>&1; then
        echo "factory-day.sh: run $1 ($4) failed on the bench:" >&2
        cat "$dir.out" >&2
        : >"$dir.failed"
    fi
}

started=$SECONDS
n=0
wave=
while read -r w fixture chip scenario host action; do
    if [ "$w" != "$wave" ]; then
        wait
        wave=$w
        echo "wave $w ($((SECONDS - started)) s)"
    fi
    n=$((n + 1))
    num=$(printf '%02d' "$n")
    station=$fixture
    case " ${unstationed[*]} " in *" $fixture "*) station= ;; esac
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$num" "$fixture" "$chip" "$scenario" "${action:-}" \
        "$station" >>"$out/plan.tsv"
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    run_one "$num" "$fixture" "$chip" "$scenario" "$host" &
done <<<"$plan"
wait
if compgen -G "$out/runs/*.failed" >/dev/null; then
    echo "factory-day.sh: a bench run failed" >&2
    exit 1
fi
echo "$n runs on the bench in $((SECONDS - started)) s"

# The operator gathers the archives per fixture: each board's flash logs (the verdict-named copy
# in /NandFlash/test and the one in /NandFlash/tmp), and the fixture's sticks, which collect the
# logs of every board tested there.
gather() {  # number fixture action
    local run=$out/runs/$1 pile=$out/pile/$2 stick name rel first=1
    mkdir -p "$pile/flash"
    find "$run/NandFlash/test" -maxdepth 1 -type f -name '*.log' -exec cp -t "$pile/flash" {} +
    find "$run/NandFlash/tmp" -maxdepth 1 -type f -name 'deVuzeV7_*.log' \
        -exec cp -t "$pile/flash" {} +
    [ -d "$run/media" ] || return 0
    for stick in "$run"/media/*/; do
        stick=${stick%/}
        name=$(basename "$stick")
        mkdir -p "$pile/sticks/$name"
        while IFS= read -r -d '' rel; do
            mkdir -p "$pile/sticks/$name/$(dirname "$rel")"
            cp "$stick/$rel" "$pile/sticks/$name/$rel"
            if [ "$3" = pulled ] && [ "$first" = 1 ]; then
                # Pulled during the copy: the copy on this stick ends part way.
                truncate -s $(($(stat -c %s "$stick/$rel") / 2)) "$pile/sticks/$name/$rel"
            fi
        done < <(cd "$stick" && find . -mindepth 2 -maxdepth 2 -type f -path './TestQ7\[*\]/*.log' \
                     -printf '%P\0')
        first=0
    done
}
while IFS=$'\t' read -r num fixture chip scenario action _; do
    gather "$num" "$fixture" "$action"
done <"$out/plan.tsv"
# The stations: fixture A's folder is marked as a whole, fixture C's at the top of each of its
# sticks and of its flash folder; fixture B is named when it is ingested.
echo fixture-A >"$out/pile/fixture-A/$marker"
for top in "$out"/pile/fixture-C/sticks/*/ "$out/pile/fixture-C/flash/"; do
    printf ' fixture-C \n' >"$top$marker"
done
echo "gathered $(find "$out/pile" -type f ! -name "$marker" | wc -l) files"

ingest_day() {  # database
    local marked=()
    for f in "${marked_fixtures[@]}"; do marked+=("$out/pile/$f"); done
    "$yield" ingest --db "$1" "${marked[@]}"
    "$yield" ingest --db "$1" --station fixture-B "$out/pile/fixture-B"
    for f in "${unstationed[@]}"; do "$yield" ingest --db "$1" "$out/pile/$f"; done
}

db=$out/yield.db
ingest_day "$db"
before=$(sqlite3 "$db" .dump | sha256sum)
ingest_day "$db" >/dev/null
after=$(sqlite3 "$db" .dump | sha256sum)
[ "$before" = "$after" ] || { echo "factory-day.sh: a second ingest changed the database" >&2; exit 1; }
"$yield" check --db "$db" || { echo "factory-day.sh: the tallies differ from the rows" >&2; exit 1; }
"$yield" report --db "$db" --format html -o "$out/report.html"
"$yield" report --db "$db" --format json -o "$out/report.json"
"$yield" report --db "$db" --format text
"$yield" export --db "$db" --format json -o "$out/export"
echo "report: $out/report.html"

# A report with the database it names (DB, as given to --db) replaced by DATABASE, and the server
# a PostgreSQL report reached left out: the reports of both engines name their own.
without_database() {  # file DB
    DB=$2 awk '{
        rest = $0; line = ""
        while ((i = index(rest, ENVIRON["DB"])) > 0) {
            line = line substr(rest, 1, i - 1) "DATABASE"
            rest = substr(rest, i + length(ENVIRON["DB"]))
        }
        print line rest
    }' "$1" | sed -E 's/ \(server [^)]*\)//'
}

# What a factory's own tools read: the views, one row a line, fields between tabs.
views() {  # command that runs a query and prints its rows
    "$@" "SELECT chip_id, start_stamp, station FROM v_runs ORDER BY id" >"$views/runs.tsv"
    # passed is a boolean on PostgreSQL, 0/1 on SQLite: both print 1/0 here.
    local passed="CASE WHEN passed THEN 1 ELSE 0 END"
    "$@" "SELECT station, port, $passed FROM v_ports ORDER BY run_id, family, number" \
        >"$views/ports.tsv"
    "$@" "SELECT chip_id, station, start_stamp, status FROM v_repair_queue ORDER BY chip_id" \
        >"$views/repair.tsv"
}
sqlite_rows() { sqlite3 -separator $'\t' "$db" "$1"; }
views=$out/views
mkdir -p "$views"
views sqlite_rows

# The same pile on PostgreSQL: the same bytes out, whether one ingest or several at once, but
# for the database each report names.
same_on_pg() {
    local url=$1 f
    for f in html json text; do
        "$yield" report --db "$url" --format $f -o "$out/pg/report.$f"
        cmp <(without_database "$out/pg/report.$f" "$url") \
            <(without_database "$out/pg/sqlite.$f" "$db") ||
            { echo "factory-day.sh: the $f report differs on PostgreSQL ($url)" >&2; exit 1; }
    done
}
if [ -n "$pg_env" ]; then
    # shellcheck disable=SC1090
    . "$pg_env"
    mkdir -p "$out/pg"
    for f in html json text; do "$yield" report --db "$db" --format $f -o "$out/pg/sqlite.$f"; done
    for name in factory_day factory_day_at_once; do
        psql -q -v ON_ERROR_STOP=1 -c "DROP DATABASE IF EXISTS $name" -c "CREATE DATABASE $name"
    done
    ingest_day postgresql:///factory_day >/dev/null
    again=$(ingest_day postgresql:///factory_day | grep '^ingest:')
    [ "$(grep -c ' 0 runs new, 0 replaced, 0 copies,' <<<"$again")" = "$(grep -c . <<<"$again")" ] ||
        { echo "factory-day.sh: a second ingest into PostgreSQL stored something" >&2; exit 1; }
    "$yield" check --db postgresql:///factory_day ||
        { echo "factory-day.sh: the tallies differ from the rows on PostgreSQL" >&2; exit 1; }
    same_on_pg postgresql:///factory_day
    pg_rows() { psql -X -q -A -t -F $'\t' -d factory_day -c "$1"; }
    views=$out/pg/views
    mkdir -p "$views"
    views pg_rows
    diff -r "$out/views" "$views" >/dev/null ||
        { echo "factory-day.sh: the views differ on PostgreSQL" >&2; exit 1; }
    "$yield" export --db postgresql:///factory_day --format json -o "$out/pg/export"
    diff -r "$out/export" "$out/pg/export" >/dev/null ||
        { echo "factory-day.sh: the export differs on PostgreSQL" >&2; exit 1; }
    # Each fixture by its own ingest, and the whole pile without a station at the same time: a run
    # stored first without a station takes fixture B's when that ingest reaches it.
    pids=()
    for f in "$out/pile"/* "$out/pile"; do
        station=()
        [ "$f" != "$out/pile/fixture-B" ] || station=(--station fixture-B)
        "$yield" ingest --db postgresql:///factory_day_at_once "${station[@]}" "$f" \
            >"$out/pg/ingest.${#pids[@]}" &
        pids+=($!)
    done
    for p in "${pids[@]}"; do
        wait "$p" || { echo "factory-day.sh: an ingest at the same time failed" >&2; exit 1; }
    done
    same_on_pg postgresql:///factory_day_at_once
    echo "PostgreSQL: the same reports and export, also from ${#pids[@]} ingests at once"
fi

[ "$check" = 1 ] || exit 0
"$checker" --plan "$out/plan.tsv" --runs "$out/runs" --report "$out/report.json" \
    --export "$out/export" --views "$out/views"
