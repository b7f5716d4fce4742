#!/usr/bin/env bash
# What a run costs beyond its fixed waits, and the hot pieces against their peers.
#
# Builds with the benchmarks on (build/benchmarks, Release), checks the measuring helpers with
# their own tests, runs the micro-benchmarks and prints their side-by-side ratios, then, when
# the bench is built, runs the standard scenario with Cnt=1 and Cnt=5 and prints wall time
# against the floor of fixed waits, the tool's CPU time and its peak resident memory. Last, the
# yield tool: ingest of 100,000 made logs against its two floors (reading the files, SQLite's own
# bulk load of the same rows), its peak memory at 10,000 and 100,000 logs, and the report's time;
# then the same ingest into PostgreSQL (a throwaway server) against the SQLite ingest, whose
# report must be SQLite's byte for byte. Then every report format's wall time and peak memory over
# all runs, from the made hosts and from 10,000 hosts; the HTML report from 20,000 hosts; and the
# ingest of a forged log listing 400,000 ports and a report over a database that holds them; and
# the live screen's refresh of the last day over that database, on both engines. Last, the live
# screen under load: serve over a copy of that database (made anew when the yield benchmark did not
# run), 200 pages on /events and four ingest streams of new runs of its last day, with the time
# from each commit to each page's update, and the server's memory and threads. Then the server
# under hostile load (benchmarks/serve/serve-load.js): 1,000 live pages and 300 slowloris
# connections while an ordinary page is asked for, then bursts of chunked, ranged and oversized
# requests, with the server's memory.
#
# --year (alone, not part of the full run): a factory's year, N runs of a line's mix (1,000,000
# unless --year-runs says otherwise), ingested into SQLite and PostgreSQL against their floors, and
# every answer over each database timed with its peak memory: every report format over all runs
# and over the last month, one board's history, the live screen's refresh of the last day, and
# `check` when the tool has it; and the disk each database takes. The two databases stay in
# the results folder (year/yield.db, year/pg), so that --year-answers can time the answers again
# over them, with a newer build, without making and ingesting the year again.
#
# Usage: scripts/benchmarks.sh [--micro-only | --runs-only | --yield-only | --live-only |
#                               --serve-only | --year | --year-answers]
#                              [--out DIR] [--yield-logs N] [--yield-mix harsh|line]
#                              [--year-runs N] [-- micro-benchmark flags]
#   e.g. scripts/benchmarks.sh --micro-only -- --benchmark_filter=trace_log
# --yield-mix: the made logs' mix for the yield and live benchmarks: harsh (the default, five runs
# in six fail) or a line's (devuzeV7-yield-make-logs --mix line).
# Results (console text, JSON, run records) go to DIR (default build/benchmarks/results).
set -euo pipefail
# Every report states one "made at" time, so that the engines' reports compare byte for byte.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(date +%s)}

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/benchmarks"
out="$build/results"
do_micro=1
do_runs=1
do_yield=1
do_live=1
do_serve=1
do_year=0
yield_logs=100000
yield_mix=harsh
year_runs=1000000
micro_flags=()
readonly run_counts=(1 5)
readonly scenario=standard

while [ $# -gt 0 ]; do
    case "$1" in
        --micro-only) do_runs=0; do_yield=0; do_live=0; do_serve=0 ;;
        --runs-only) do_micro=0; do_yield=0; do_live=0; do_serve=0 ;;
        --yield-only) do_micro=0; do_runs=0; do_live=0; do_serve=0 ;;
        --live-only) do_micro=0; do_runs=0; do_yield=0; do_serve=0 ;;
        --serve-only) do_micro=0; do_runs=0; do_yield=0; do_live=0 ;;
        --year) do_micro=0; do_runs=0; do_yield=0; do_live=0; do_serve=0; do_year=1 ;;
        --year-answers) do_micro=0; do_runs=0; do_yield=0; do_live=0; do_serve=0; do_year=2 ;;
        --yield-logs) yield_logs=$2; shift ;;
        --yield-mix) yield_mix=$2; shift ;;
        --year-runs) year_runs=$2; shift ;;
        --out) out=$2; shift ;;
        --) shift; micro_flags=("$@"); break ;;
        *) echo "usage: $0 [--micro-only | --runs-only | --yield-only | --live-only |" \
                "--serve-only | --year | --year-answers] [--out DIR]" \
                "[--yield-logs N] [--yield-mix harsh|line] [--year-runs N] [-- micro flags]" >&2
           exit 2 ;;
    esac
    shift
done
case "$yield_mix" in
    harsh|line) ;;
    *) echo "$0: --yield-mix is harsh or line, not '$yield_mix'" >&2; exit 2 ;;
esac
for count in "$yield_logs" "$year_runs"; do
    if ! [[ $count =~ ^[1-9][0-9]{0,8}$ ]]; then
        echo "$0: a count of logs is a whole number from 1, not '$count'" >&2
        exit 2
    fi
done

install_packages() {
    "$root/scripts/setup-deps.sh" all
}

build_all() {
    local targets=(devuzeV7 devuzeV7-micro devuzeV7-run-report devuzeV7-tool-watch devuzeV7-bare
                   benchmarks_tests devuzeV7-yield devuzeV7-yield-make-logs
                   devuzeV7-yield-dashboard-time)
    local bench_flag=OFF
    if [ -f "$root/bench/CMakeLists.txt" ]; then bench_flag=ON; targets+=(devuzeV7-bench); fi
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDEVUZE_WERROR=ON \
        -DDEVUZE_BUILD_BENCHMARKS=ON -DDEVUZE_BUILD_TESTS=OFF -DDEVUZE_BUILD_BENCH=$bench_flag >/dev/null
    cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null
}

run_micro() {
    echo "== Micro-benchmarks (full output: $out/micro.txt, JSON: $out/micro.json)"
    "$build/benchmarks/devuzeV7-micro" --benchmark_color=false \
        --benchmark_out="$out/micro.json" --benchmark_out_format=json \
        ${micro_flags[@]+"${micro_flags[@]}"} >"$out/micro.txt" 2>&1
    # The ratio table is what follows the last blank line.
    awk 'BEGIN { RS = ""; } { last = $0 } END { print last }' "$out/micro.txt"
    echo
}

# One bench run with the watcher beside it: $1 the count of cycles.
whole_run() {
    local cnt=$1 dir="$out/run-cnt$1"
    rm -rf "$dir" "$dir.watch.json"
    "$build/bench/devuzeV7-bench" --scenario "$scenario" --tool "$build/hwtest/devuzeV7" \
        --out "$dir" --quiet -- "Cnt=$cnt" >"$dir.bench.txt" 2>&1 &
    local bench_pid=$!
    "$build/benchmarks/devuzeV7-tool-watch" --ancestor "$bench_pid" --out "$dir.watch.json" &
    local watch_pid=$!
    local status=0
    wait "$bench_pid" || status=$?
    wait "$watch_pid" || true
    if [ "$status" -ne 0 ] || [ ! -f "$dir/record.json" ]; then
        echo "bench run Cnt=$cnt failed (status $status), see $dir.bench.txt" >&2
        return 1
    fi
}

run_whole() {
    if [ ! -x "$build/bench/devuzeV7-bench" ]; then
        echo "== Whole runs: skipped, the bench is not built"
        return 0
    fi
    echo "== Whole runs: scenario $scenario on the bench (records in $out/run-cnt*)"
    local args=()
    for cnt in "${run_counts[@]}"; do
        whole_run "$cnt"
        args+=(--run "Cnt=$cnt" "$out/run-cnt$cnt/record.json" "$out/run-cnt$cnt.watch.json")
    done
    "$build/benchmarks/devuzeV7-run-report" --bare-kb "$("$build/benchmarks/devuzeV7-bare")" \
        "${args[@]}"
}

now_ns() { date +%s%N; }
seconds_since() { awk -v a="$1" -v b="$(now_ns)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'; }

# Runs `report --format $1` over the database $2 three times, writing it to $3; prints the median
# wall time and that run's CPU time (user and system), in seconds.
time_report() {
    for _ in 1 2 3; do
        /usr/bin/time -f '%e %U %S' -o "$out/time.txt" "$build/yield/devuzeV7-yield" report \
            --db "$2" --format "$1" -o "$3"
        tail -1 "$out/time.txt"
    done | sort -n | sed -n 2p | awk '{ printf "%.2f %.2f", $1, $2 + $3 }'
}

# Runs the command after $1 three times, its standard output to the file $1; prints the median
# wall time (s) and that run's peak resident memory (KiB). Fails, with what the command said, when
# it fails.
time_mem_median() {
    local dest=$1
    shift
    for _ in 1 2 3; do
        if ! /usr/bin/time -f '%e %M' -o "$out/time.txt" "$@" >"$dest" 2>"$out/stderr.txt"; then
            echo "failed: $*" >&2
            cat "$out/stderr.txt" >&2
            exit 1
        fi
        tail -1 "$out/time.txt"
    done | sort -n | sed -n 2p
}

# `report --format $1` over the database $2 to $3 (more arguments: the report's selection), timed
# by time_mem_median.
time_mem_report() {
    local format=$1 db=$2 dest=$3
    shift 3
    time_mem_median /dev/null "$build/yield/devuzeV7-yield" report --db "$db" --format "$format" \
        -o "$dest" "$@"
}

# How many hosts the maker gives each mix unless told.
declare -rA mix_hosts=([harsh]=24 [line]=6)

# $3 made logs of the mix $2 in the folder $1, 1,000 a folder; more arguments go to the maker
# (HOSTS, then FIRST).
make_logs() {
    local dest=$1 mix=$2 n=$3
    shift 3
    "$build/benchmarks/devuzeV7-yield-make-logs" --mix "$mix" "$root/yield/tests/golden" "$dest" \
        "$n" "$@" >/dev/null
}

# Floor 1: the files under $1 read to /dev/null, after one read that fills the page cache (which
# the ingest after it finds filled too, as far as the memory holds them); prints the seconds.
read_floor() {
    find "$1" -type f -print0 | xargs -0 cat >/dev/null
    local t
    t=$(now_ns)
    find "$1" -type f -print0 | xargs -0 cat >/dev/null
    seconds_since "$t"
}

readonly yield_tables=(runs run_ports port_tallies measurements failure_lines source_files day_ports
    day_volts day_runs boards run_causes day_boards)

# Floor 2: SQLite's own bulk load of exactly the rows the ingest stored in $1: each table as CSV,
# imported by the sqlite3 shell into the same schema in one transaction, in the folder $2. Prints
# the seconds; the tables' row counts go to $2/rows.txt.
import_floor() {
    local db=$1 dir=$2 t_name t rows=""
    rm -rf "$dir/csv" "$dir/floor.db"*
    mkdir -p "$dir/csv"
    for t_name in "${yield_tables[@]}"; do
        sqlite3 -csv "$db" "SELECT * FROM $t_name" >"$dir/csv/$t_name.csv"
        rows+=" $t_name $(sqlite3 "$db" "SELECT count(*) FROM $t_name"),"
    done
    echo "${rows%,}" >"$dir/rows.txt"
    sqlite3 "$db" .schema | grep -v '^CREATE TABLE sqlite_' | sqlite3 "$dir/floor.db"
    {
        echo "PRAGMA journal_mode = WAL;"
        echo "PRAGMA synchronous = NORMAL;"
        echo "BEGIN;"
        for t_name in "${yield_tables[@]}"; do
            echo ".import --csv $dir/csv/$t_name.csv $t_name"
        done
        echo "COMMIT;"
    } >"$dir/import.sql"
    t=$(now_ns)
    sqlite3 "$dir/floor.db" <"$dir/import.sql" >/dev/null
    seconds_since "$t"
    rm -rf "$dir/csv" "$dir/floor.db"*
}

# A copy of the database $1 at $2 whose runs come from $3 hosts.
spread_hosts() {
    rm -f "$2"*
    sqlite3 "$1" ".backup '$2'"
    sqlite3 "$2" "UPDATE runs SET host = printf('fixture-%05d', id % $3)"
}

readonly forged_ports=400000
readonly report_formats=(text csv json html)

# Every format's figures over $1 (label $2), as lines "label format wall KiB".
format_figures() {
    local f
    for f in "${report_formats[@]}"; do
        local dest="$out/yield/formats.$f"
        [[ $f == csv ]] && dest="$out/yield/formats-csv/"  # one file per table
        echo "$2 $f $(time_mem_report "$f" "$1" "$dest")"
    done
}

# The forged log: its ingest into a database of its own (listed, stored without its ports), then
# the same ports put under the run as a database written before the ingest bounded runs holds
# them, and the text report over it.
forged_figures() {
    local dir=$1 t
    "$build/benchmarks/devuzeV7-yield-make-logs" --forged-ports "$forged_ports" \
        "$root/yield/tests/golden" "$dir/forged.log"
    rm -f "$dir/forged.db"*
    t=$(now_ns)
    "$build/yield/devuzeV7-yield" ingest --db "$dir/forged.db" "$dir/forged.log" \
        >"$dir/forged-ingest.txt"
    echo "forged-ingest $(seconds_since "$t")"
    sqlite3 "$dir/forged.db" "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n
        WHERE i < $forged_ports) INSERT OR IGNORE INTO run_ports
        SELECT (SELECT max(id) FROM runs), 'DO', i, i % 3 > 0, 0 FROM n"
    # As an older database: its tallies are made from its rows by the next ingest.
    sqlite3 "$dir/forged.db" "DROP TABLE day_ports; DROP TABLE day_volts; DROP TABLE boards;
        PRAGMA user_version = 3"
    "$build/yield/devuzeV7-yield" ingest --db "$dir/forged.db" "$dir/forged.log" >/dev/null
    echo "forged-report $(time_mem_report text "$dir/forged.db" "$dir/forged.txt")"
}

# The throwaway PostgreSQL server of the yield benchmark, stopped and removed when the script
# ends however it ends.
pg_server="$root/yield/tests/pg-server.sh"
pg_dir=""
# 1 while the server's cluster is to outlive this run (the year's, for --year-answers).
pg_keep=0
stop_pg() {
    if [ -n "$pg_dir" ]; then
        local how=stop
        [ "$pg_keep" -eq 0 ] || how=stop-server
        "$pg_server" "$how" "$pg_dir" >/dev/null || true
        pg_dir=""
    fi
}
trap stop_pg EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# CPU time (user and system, clock ticks) the server's processes used so far: the postmaster's own
# and its ended children's, and its living children's.
pg_cpu_ticks() {
    local pm p
    pm=$(head -1 "$pg_dir/data/postmaster.pid")
    for p in "$pm" $(pgrep -P "$pm"); do cat "/proc/$p/stat" 2>/dev/null || true; done |
        awk '{ sub(/^.*\) /, ""); t += $12 + $13 + $14 + $15 } END { print t }'
}

# The same logs into a fresh database on a throwaway server in $1/pg, after one more read that
# fills the page cache as it was for the SQLite ingest. Writes to $1: pg-ingest.txt (the tool's
# summary), pg-figures.txt ("wall client-CPU client-peak-KiB server-CPU database-bytes").
pg_ingest() {
    local dir=$1 yield="$build/yield/devuzeV7-yield" t before after wall
    local PGHOST PGPORT PGUSER PGDATABASE
    pg_dir="$dir/pg"
    eval "$("$pg_server" start "$pg_dir")"
    psql -X -q -v ON_ERROR_STOP=1 -c "CREATE DATABASE yield_bench" >/dev/null
    export PGDATABASE=yield_bench
    find "$dir/logs" -type f -print0 | xargs -0 cat >/dev/null
    before=$(pg_cpu_ticks)
    t=$(now_ns)
    /usr/bin/time -f '%U %S %M' -o "$dir/pg-time.txt" "$yield" ingest --db postgresql: \
        "$dir/logs" >"$dir/pg-ingest.txt"
    wall=$(seconds_since "$t")
    sleep 1  # the session's process ended; the postmaster reaps it
    after=$(pg_cpu_ticks)
    echo "$wall $(tail -1 "$dir/pg-time.txt") $((after - before)) $(getconf CLK_TCK)" \
        "$(psql -X -At -c "SELECT pg_database_size(current_database())")" |
        awk '{ printf "%s %.2f %s %.2f %s\n", $1, $2 + $3, $4, $5 / $6, $7 }' >"$dir/pg-figures.txt"
}

readonly dashboard_times=20

# The live screen's refresh of day $2 over the database $1 (as --db takes it), timed: one line.
time_dashboard() {
    "$build/benchmarks/devuzeV7-yield-dashboard-time" "$1" "$2" "$dashboard_times"
}

# The report $1 over the database $2 and the report $3 over the database $4 are the same but for
# the line each names its own database on; else says where they are and fails.
same_report() {
    if ! cmp -s <(grep -vF "$2" "$1") <(grep -vF "$4" "$3"); then
        echo "the report over $4 differs from the one over $2: $1, $3" >&2
        return 1
    fi
}

# The reports over the PostgreSQL database, timed as SQLite's, must be SQLite's byte for byte;
# then the live screen's refresh of day $2.
pg_reports() {
    local dir=$1 day=$2 f
    # shellcheck disable=SC2034  # exported by the eval, for the tool
    local PGHOST PGPORT PGUSER PGDATABASE
    eval "$("$pg_server" env "$pg_dir")"
    export PGDATABASE=yield_bench
    for f in json html; do
        time_report "$f" postgresql: "$dir/report-pg.$f" >"$dir/pg-report-$f.txt"
        same_report "$dir/report.$f" "$dir/yield.db" "$dir/report-pg.$f" postgresql:
    done
    time_dashboard postgresql: "$day" >"$dir/pg-dashboard.txt"
}

# The yield tool on made logs (golden logs with new identity, time and tallies, 1,000 a folder).
run_yield() {
    local dir="$out/yield" yield="$build/yield/devuzeV7-yield" n=$yield_logs t
    echo "== Yield tool: $n made logs of the $yield_mix mix (in $dir)"
    "$pg_server" stop "$dir/pg" >/dev/null
    rm -rf "$dir"
    mkdir -p "$dir"
    make_logs "$dir/logs" "$yield_mix" "$n"
    local small=("$dir"/logs/000[0-9])  # the first 10,000
    local read_s
    read_s=$(read_floor "$dir/logs")
    # The ingest, with its peak memory, at 10,000 logs and at all of them.
    /usr/bin/time -f %M -o "$dir/mem-small.txt" "$yield" ingest --db "$dir/small.db" \
        "${small[@]}" >/dev/null
    t=$(now_ns)
    /usr/bin/time -f %M -o "$dir/mem-all.txt" "$yield" ingest --db "$dir/yield.db" "$dir/logs" \
        >"$dir/ingest.txt"
    local ingest_s
    ingest_s=$(seconds_since "$t")
    local import_s
    import_s=$(import_floor "$dir/yield.db" "$dir")
    # The report over all runs, three times each (the median; user and system CPU time beside it,
    # which a busy machine moves less).
    local report_json report_html
    report_json=$(time_report json "$dir/yield.db" "$dir/report.json")
    report_html=$(time_report html "$dir/yield.db" "$dir/report.html")
    # The live screen's refresh of the last day, the one the made runs end in.
    local day
    day=$(sqlite3 "$dir/yield.db" "SELECT max(day) FROM runs")
    time_dashboard "$dir/yield.db" "$day" >"$dir/dashboard.txt"
    # The same ingest and reports on PostgreSQL.
    pg_ingest "$dir"
    pg_reports "$dir" "$day"
    stop_pg
    local pg pg_json pg_html
    pg=$(cat "$dir/pg-figures.txt")
    pg_json=$(cat "$dir/pg-report-json.txt")
    pg_html=$(cat "$dir/pg-report-html.txt")

    format_figures "$dir/yield.db" made >"$dir/format-figures.txt"
    spread_hosts "$dir/yield.db" "$dir/hosts10k.db" 10000
    format_figures "$dir/hosts10k.db" hosts10k >>"$dir/format-figures.txt"
    spread_hosts "$dir/yield.db" "$dir/hosts20k.db" 20000
    echo "hosts20k html $(time_mem_report html "$dir/hosts20k.db" "$dir/hosts20k.html")" \
        >>"$dir/format-figures.txt"
    forged_figures "$dir" >"$dir/forged-figures.txt"
    rm -f "$dir"/hosts10k.db* "$dir"/hosts20k.db* "$dir"/forged.db* "$dir/forged.log"

    local mem_small mem_all
    mem_small=$(tail -1 "$dir/mem-small.txt")
    mem_all=$(tail -1 "$dir/mem-all.txt")
    echo "  $(cat "$dir/ingest.txt")"
    echo "  PostgreSQL $(cat "$dir/pg-ingest.txt")"
    echo "  rows:$(cat "$dir/rows.txt"); logs $(du -sh "$dir/logs" | cut -f1), database $(du -sh "$dir/yield.db" | cut -f1)"
    awk -v r="$read_s" -v i="$import_s" -v g="$ingest_s" -v n="$n" -v ms="$mem_small" \
        -v ma="$mem_all" -v rep="$report_json" -v html="$report_html" -v pg="$pg" \
        -v pgj="$pg_json" -v pgh="$pg_html" 'BEGIN {
        split(rep, j, " ")
        split(html, h, " ")
        split(pg, p, " ")
        split(pgj, pj, " ")
        split(pgh, ph, " ")
        printf "  %-44s %8.2f s\n", "floor: the files read to /dev/null", r
        printf "  %-44s %8.2f s\n", "floor: sqlite3 .import of the same rows", i
        printf "  %-44s %8.2f s   %.2fx the floors (goal at most 1.5x)\n", "ingest of " n " logs", g, g / (r + i)
        printf "  %-44s %5.1f / %.1f MiB (goal: the same, under 32 MiB)\n", "ingest peak memory at 10,000 / " n " logs", ms / 1024, ma / 1024
        printf "  %-44s %8.2f s   CPU %.2f s (goal under 0.5 s)\n", "report over " n " runs (json)", j[1], j[2]
        printf "  %-44s %8.2f s   CPU %.2f s\n", "report over " n " runs (html)", h[1], h[2]
        printf "  %-44s %8.2f s   %.2fx the SQLite ingest (goal within 1.5x)\n", "ingest of " n " logs into PostgreSQL", p[1], p[1] / g
        printf "  %-44s %8.2f s   server %.2f s; peak memory %.1f MiB; database %.0f MiB\n", "PostgreSQL ingest: CPU of the tool", p[2], p[4], p[3] / 1024, p[5] / 1048576
        printf "  %-44s %8.2f s   CPU %.2f s; the same bytes as over SQLite\n", "report over " n " runs (json, PostgreSQL)", pj[1], pj[2]
        printf "  %-44s %8.2f s   CPU %.2f s; the same bytes as over SQLite\n", "report over " n " runs (html, PostgreSQL)", ph[1], ph[2]
    }' | tee "$dir/figures.txt"
    awk -v n="$n" '
        $1 == "made" { printf "  %-44s %8.2f s   peak %5.1f MiB (goal under 0.5 s, 64 MiB)\n", "report over " n " runs (" $2 ")", $3, $4 / 1024 }
        $1 == "hosts10k" { printf "  %-44s %8.2f s   peak %5.1f MiB (goal under 0.5 s, 64 MiB)\n", "the same from 10,000 hosts (" $2 ")", $3, $4 / 1024 }
        $1 == "hosts20k" { printf "  %-44s %8.2f s   peak %5.1f MiB (goal under 0.5 s, 64 MiB)\n", "the same from 20,000 hosts (" $2 ")", $3, $4 / 1024 }' \
        "$dir/format-figures.txt" | tee -a "$dir/figures.txt"
    awk -v p="$forged_ports" '
        $1 == "forged-ingest" { printf "  %-44s %8.2f s   stored without its ports\n", "ingest of a log forging " p " ports", $2 }
        $1 == "forged-report" { printf "  %-44s %8.2f s   peak %5.1f MiB (goal under 0.5 s, 64 MiB)\n", "text report with " p " stored ports", $2, $3 / 1024 }' \
        "$dir/forged-figures.txt" | tee -a "$dir/figures.txt"
    sed -e 's/^/  SQLite: /' -e 's/$/ (goal under 50 ms)/' "$dir/dashboard.txt" |
        tee -a "$dir/figures.txt"
    sed -e 's/^/  PostgreSQL: /' -e 's/$/ (goal under 100 ms)/' "$dir/pg-dashboard.txt" | tee -a "$dir/figures.txt"
    rm -rf "$dir/logs" "$dir/small.db"*
}

# ---- A factory's year ----

readonly year_month_days=30

# The live screen's refresh of day $2 over $1 with the program's peak memory: "median-ms max-ms
# KiB".
dashboard_figures() {
    local line
    line=$(/usr/bin/time -f %M -o "$out/time.txt" "$build/benchmarks/devuzeV7-yield-dashboard-time" \
        "$1" "$2" "$dashboard_times")
    echo "$line" | sed -E 's/.*median ([0-9.]+) ms, max ([0-9.]+) ms.*/\1 \2/' | tr '\n' ' '
    tail -1 "$out/time.txt"
}

# `check` over the database $1 into the file $2, when the tool has that command: "wall KiB", or
# nothing without it. Fails when the check says the database differs from its rows.
check_figures() {
    local yield="$build/yield/devuzeV7-yield" status=0
    "$yield" check --help >/dev/null 2>&1 || return 0
    /usr/bin/time -f '%e %M' -o "$out/time.txt" "$yield" check --db "$1" >"$2" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        echo "check over $1 ended with $status (1: the database differs from its rows): $2" >&2
        return 1
    fi
    tail -1 "$out/time.txt"
}

# "$1 $2 " and what the command after them prints; fails when it fails.
figure() {
    local label="$1 $2" value
    shift 2
    value=$("$@")
    if [ -n "$value" ]; then echo "$label $value"; fi
}

# The seconds and peak KiB of an ingest of the empty folder $2 into the database $1: what brings a
# database of an older schema up to date (next to nothing for a current one).
bring_up_to_date() {
    local t
    mkdir -p "$2"
    t=$(now_ns)
    /usr/bin/time -f %M -o "$2.mem" "$build/yield/devuzeV7-yield" ingest --db "$1" "$2" >/dev/null
    echo "$(seconds_since "$t") $(cat "$2.mem")"
    rm -f "$2.mem"
}

# Every answer over the database $2 (engine $3, files to $1/$3*): each report format over all
# runs and from day $5 on, the board $6, the screen's refresh of day $4, and check. Lines
# "engine answer wall-s KiB" ("engine dashboard median-ms max-ms KiB" for the refresh).
answer_figures() {
    local dir=$1 db=$2 engine=$3 day=$4 since=$5 board=$6 f all month
    figure "$engine" upgrade bring_up_to_date "$db" "$dir/none"
    for f in "${report_formats[@]}"; do
        all="$dir/$engine.$f" month="$dir/$engine-month.$f"
        [[ $f == csv ]] && all="$dir/$engine-csv/" month="$dir/$engine-month-csv/"
        figure "$engine" "report-$f" time_mem_report "$f" "$db" "$all"
        figure "$engine" "month-$f" time_mem_report "$f" "$db" "$month" --since "$since"
    done
    figure "$engine" board time_mem_median "$dir/$engine-board.txt" \
        "$build/yield/devuzeV7-yield" board "$board" --db "$db"
    figure "$engine" dashboard dashboard_figures "$db" "$day"
    figure "$engine" check check_figures "$db" "$dir/$engine-check.txt"
}

# The same answers over the year's PostgreSQL database, each report the same as over SQLite.
pg_answers() {
    local dir=$1 f
    # shellcheck disable=SC2034  # exported by the eval, for the tool
    local PGHOST PGPORT PGUSER PGDATABASE
    eval "$("$pg_server" env "$pg_dir")"
    export PGDATABASE=yield_bench
    answer_figures "$dir" postgresql: pg "${@:2}"
}

# The figures of the year in $1, "figure measured goal" lines for benchmarks/README.md.
year_table() {
    local dir=$1 n=$2
    awk -v n="$n" '
        $1 == "floors" { printf "%-52s %10.1f s\n", "floors: files read, sqlite3 .import", $2 + $3; floors = $2 + $3 }
        $1 == "ingest" { printf "%-52s %10.1f s   %.2fx the floors, peak %.1f MiB (goal 1.5x, 32 MiB)\n", "ingest of " n " logs, SQLite", $2, $2 / floors, $3 / 1024; sq = $2 }
        $1 == "pg-ingest" { printf "%-52s %10.1f s   %.2fx SQLite, peak %.1f MiB (goal 1.5x)\n", "ingest of " n " logs, PostgreSQL", $2, $2 / sq, $4 / 1024 }
        $1 == "disk-logs" { printf "%-52s %10s\n", "disk: logs", $2 }
        $1 == "disk" { printf "%-52s %10s     PostgreSQL %s\n", "disk: SQLite", $2, $3 }
        ($1 == "sqlite" || $1 == "pg") && $2 == "dashboard" {
            printf "%-52s %7.1f ms   max %.1f ms, peak %.1f MiB (goal under %d ms)\n", "refresh of the last day, " $1, $3, $4, $5 / 1024, $1 == "pg" ? 100 : 50 }
        ($1 == "sqlite" || $1 == "pg") && $2 == "check" {
            printf "%-52s %10.2f s   peak %5.1f MiB (agrees with the rows)\n", $2 ", " $1, $3, $4 / 1024 }
        ($1 == "sqlite" || $1 == "pg") && $2 == "upgrade" {
            printf "%-52s %10.2f s   peak %5.1f MiB (an ingest of nothing)\n", "brought up to date, " $1, $3, $4 / 1024 }
        ($1 == "sqlite" || $1 == "pg") && $2 != "dashboard" && $2 != "check" && $2 != "upgrade" {
            printf "%-52s %10.2f s   peak %5.1f MiB (goal under 2 s, 64 MiB)\n", $2 ", " $1, $3, $4 / 1024 }' \
        "$dir/year-figures.txt"
}

# A factory's year: $year_runs runs of a line's mix, made and ingested into both engines against
# their floors ("floors", "ingest" and "pg-ingest" lines in $1/ingest-figures.txt); the logs are
# removed at the end, the databases kept for year_answers.
year_ingest() {
    local dir=$1 n=$year_runs yield="$build/yield/devuzeV7-yield" t
    "$pg_server" stop "$dir/pg" >/dev/null
    rm -rf "$dir"
    mkdir -p "$dir"
    t=$(now_ns)
    make_logs "$dir/logs" line "$n"
    echo "made in $(seconds_since "$t") s" >"$dir/steps.txt"
    local read_s ingest_s import_s
    read_s=$(read_floor "$dir/logs")
    t=$(now_ns)
    /usr/bin/time -f %M -o "$dir/mem-ingest.txt" "$yield" ingest --db "$dir/yield.db" \
        "$dir/logs" >"$dir/ingest.txt"
    ingest_s=$(seconds_since "$t")
    import_s=$(import_floor "$dir/yield.db" "$dir")
    pg_keep=1
    pg_ingest "$dir"
    stop_pg
    {
        echo "floors $read_s $import_s"
        echo "ingest $ingest_s $(tail -1 "$dir/mem-ingest.txt")"
        echo "pg-ingest $(cat "$dir/pg-figures.txt")"
    } >"$dir/ingest-figures.txt"
    echo "disk-logs $(du -sh "$dir/logs" | cut -f1)" >>"$dir/ingest-figures.txt"
    rm -rf "$dir/logs"
}

# Every answer over the year's two databases in $1 ("engine answer ..." and "disk" lines in
# $1/answer-figures.txt), each report the same over both engines.
year_answers() {
    local dir=$1 day since board
    if [ ! -f "$dir/yield.db" ] || [ ! -d "$dir/pg/data" ]; then
        echo "$0: no year's databases in $dir: run --year first" >&2
        return 1
    fi
    day=$(sqlite3 "$dir/yield.db" "SELECT max(day) FROM runs")
    since=$(date -u -d "$day -$year_month_days days" +%F)
    # A board retested in the last month.
    board=$(sqlite3 "$dir/yield.db" "SELECT chip_id FROM runs WHERE day >= '$since'
        GROUP BY chip_id HAVING count(*) > 1 ORDER BY chip_id LIMIT 1")
    pg_keep=1
    pg_dir="$dir/pg"
    "$pg_server" restart "$pg_dir" >/dev/null
    {
        answer_figures "$dir" "$dir/yield.db" sqlite "$day" "$since" "$board"
        pg_answers "$dir" "$day" "$since" "$board"
        echo "disk $(du -ch "$dir"/yield.db* | tail -1 | cut -f1) $(du -sh "$pg_dir/data" | cut -f1)"
    } >"$dir/answer-figures.txt"
    local f
    for f in text json html; do same_report "$dir/sqlite.$f" "$dir/yield.db" "$dir/pg.$f" postgresql:; done
    stop_pg
}

# A factory's year: made, ingested (unless $1 is "answers": the databases an earlier --year left),
# every answer timed over each engine, and the figures printed beside their goals.
run_year() {
    local dir="$out/year" began
    began=$(now_ns)
    if [ "${1:-}" != answers ]; then
        echo "== A factory's year: $year_runs made runs of a line's mix (in $dir)"
        year_ingest "$dir"
        echo "  $(cat "$dir/steps.txt"); $(cat "$dir/ingest.txt"); rows: $(cat "$dir/rows.txt")"
        echo "  PostgreSQL $(cat "$dir/pg-ingest.txt")"
    else
        echo "== A factory's year: the answers over the databases in $dir"
    fi
    year_answers "$dir"
    cat "$dir/ingest-figures.txt" "$dir/answer-figures.txt" >"$dir/year-figures.txt"
    year_table "$dir" "$(sqlite3 "$dir/yield.db" "SELECT count(*) FROM runs")" | sed 's/^/  /' |
        tee "$dir/figures.txt"
    echo "  the year's benchmark: $(seconds_since "$began") s" | tee -a "$dir/figures.txt"
}

readonly live_pages=200 live_streams=4 live_batches=25 live_batch_logs=2

# The live screen's database at $1/live.db: a copy of the yield benchmark's, else $yield_logs made
# runs ingested here.
live_database() {
    local dir=$1
    if [ -f "$out/yield/yield.db" ]; then
        sqlite3 "$out/yield/yield.db" ".backup '$dir/live.db'"
        return
    fi
    make_logs "$dir/logs" "$yield_mix" "$yield_logs"
    "$build/yield/devuzeV7-yield" ingest --db "$dir/live.db" "$dir/logs" >/dev/null
    rm -rf "$dir/logs"
}

# The live screen under load (yield/tests/live-load.js): the made runs after those stored, all
# of the last stored day, ingested by the streams a batch at a time while the pages listen.
run_live() {
    local dir="$out/live" n=$((live_streams * live_batches * live_batch_logs)) first day
    echo "== Live screen: $live_pages pages, $live_streams ingest streams of $live_batches" \
        "batches of $live_batch_logs logs (in $dir)"
    rm -rf "$dir"
    mkdir -p "$dir"
    live_database "$dir"
    first=$(sqlite3 "$dir/live.db" "SELECT count(*) FROM runs")
    day=$(sqlite3 "$dir/live.db" "SELECT max(day) FROM runs")
    make_logs "$dir/new" "$yield_mix" "$n" "${mix_hosts[$yield_mix]}" "$first"
    {
        echo "database: $first runs; $(time_dashboard "$dir/live.db" "$day")"
        node "$root/yield/tests/live-load.js" --tool "$build/yield/devuzeV7-yield" \
            --db "$dir/live.db" --day "$day" --logs "$dir/new" --clients "$live_pages" \
            --streams "$live_streams" --batch-files "$live_batch_logs"
    } | tee "$dir/figures.txt" | sed 's/^/  /'
    rm -rf "$dir/new"
}

readonly serve_pages=1000 serve_slow=300 serve_seconds=20

# The server under hostile load, over the live screen's database when that run left one, else
# over an empty one (what it serves under load comes from memory either way).
run_serve() {
    local dir="$out/serve" db
    echo "== Serve under load: $serve_pages live pages, $serve_slow slowloris connections (in $dir)"
    rm -rf "$dir"
    mkdir -p "$dir/none"
    db="$out/live/live.db"
    if [ ! -f "$db" ]; then
        db="$dir/empty.db"
        "$build/yield/devuzeV7-yield" ingest --db "$db" "$dir/none" >/dev/null
    fi
    node "$root/benchmarks/serve/serve-load.js" --tool "$build/yield/devuzeV7-yield" --db "$db" \
        --pages "$serve_pages" --slow "$serve_slow" --seconds "$serve_seconds" |
        tee "$dir/figures.txt" | sed 's/^/  /'
}

install_packages
build_all
mkdir -p "$out"
"$build/benchmarks/benchmarks_tests" --gtest_brief=1 >"$out/helpers-tests.txt" 2>&1 || {
    cat "$out/helpers-tests.txt" >&2
    exit 1
}
if [ "$do_micro" -eq 1 ]; then run_micro; fi
if [ "$do_runs" -eq 1 ]; then run_whole; fi
if [ "$do_yield" -eq 1 ]; then run_yield; fi
if [ "$do_live" -eq 1 ]; then run_live; fi
if [ "$do_serve" -eq 1 ]; then run_serve; fi
if [ "$do_year" -eq 1 ]; then run_year; fi
if [ "$do_year" -eq 2 ]; then run_year answers; fi
