#!/usr/bin/env bash
# What a run costs beyond its fixed waits, and the hot pieces against their peers.
#
# Builds with the benchmarks on (build/benchmarks, Release), checks the measuring helpers with
# their own tests, runs the micro-benchmarks and prints their side-by-side ratios, then, when
# the bench is built, runs the standard scenario with Cnt=1 and Cnt=5 and prints wall time
# against the floor of fixed waits, the tool's CPU time and its peak resident memory.
#
# Usage: scripts/benchmarks.sh [--micro-only | --runs-only] [--out DIR] [-- micro-benchmark flags]
#   e.g. scripts/benchmarks.sh --micro-only -- --benchmark_filter=trace_log
# Results (console text, JSON, run records) go to DIR (default build/benchmarks/results).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/benchmarks"
out="$build/results"
do_micro=1
do_runs=1
micro_flags=()
readonly run_counts=(1 5)
readonly scenario=standard

while [ $# -gt 0 ]; do
    case "$1" in
        --micro-only) do_runs=0 ;;
        --runs-only) do_micro=0 ;;
        --out) out=$2; shift ;;
        --) shift; micro_flags=("$@"); break ;;
        *) echo "usage: $0 [--micro-only | --runs-only] [--out DIR] [-- micro flags]" >&2; exit 2 ;;
    esac
    shift
done

install_packages() {
    "$root/scripts/setup-deps.sh" all
}

build_all() {
    local targets=(devuzeV7 devuzeV7-micro devuzeV7-run-report devuzeV7-tool-watch devuzeV7-bare
                   benchmarks_tests)
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

install_packages
build_all
mkdir -p "$out"
"$build/benchmarks/benchmarks_tests" --gtest_brief=1 >"$out/helpers-tests.txt" 2>&1 || {
    cat "$out/helpers-tests.txt" >&2
    exit 1
}
if [ "$do_micro" -eq 1 ]; then run_micro; fi
if [ "$do_runs" -eq 1 ]; then run_whole; fi
