#!/bin/sh
# Builds the fuzz targets, replays the seed corpus and the kept reproducers, then fuzzes each
# target for FUZZ_SECONDS (default 60). Fails on any crash, leak, timeout or sanitizer report.
# A reproducer found here is left under <build>/artifacts/<target>/; keep it as a regression
# input by copying it to fuzz/regressions/<target>/.
set -eu

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
FUZZ_TIMEOUT=${FUZZ_TIMEOUT:-10}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
targets=${FUZZ_TARGETS:-"simpleini_load profile dioconf runargs logparser"}

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" >/dev/null
cmake --build "$build" -j2

# libFuzzer exits non-zero on a finding; a report that did not stop the run still fails it.
check_log() {
    if grep -E -q 'runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|FUZZ_CHECK failed' "$1"; then
        echo "sanitizer report in $1" >&2
        return 1
    fi
}

replay() {
    target=$1
    inputs=$(find "$here/corpus/$target" "$here/regressions/$target" -type f ! -name .keep 2>/dev/null | sort)
    [ -n "$inputs" ] || return 0
    log="$build/logs/$target.replay.log"
    # shellcheck disable=SC2086
    if ! "$build/fuzz_$target" -timeout="$FUZZ_TIMEOUT" $inputs >"$log" 2>&1; then
        cat "$log" >&2
        echo "replay of $target failed" >&2
        return 1
    fi
    check_log "$log"
}

fuzz() {
    target=$1
    work="$build/work/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$work" "$artifacts"
    log="$build/logs/$target.fuzz.log"
    if ! "$build/fuzz_$target" -max_total_time="$FUZZ_SECONDS" -timeout="$FUZZ_TIMEOUT" \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$work" "$here/corpus/$target" >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "fuzzing $target failed; reproducer in $artifacts" >&2
        return 1
    fi
    check_log "$log"
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/$target: /"
}

mkdir -p "$build/logs"
status=0
for target in $targets; do
    replay "$target" || status=1
done
[ "$status" -eq 0 ] || exit 1
for target in $targets; do
    fuzz "$target" || status=1
done
exit "$status"
