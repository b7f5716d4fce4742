#!/usr/bin/env bash
# Builds everything and runs every test: unit and end-to-end tests on the bench, measured for line
# coverage as they run (one build, one run), clang-tidy over both tools' sources, the tool and its
# unit tests built with Clang under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers
# for a bounded time, and the armhf build with its unit tests and the standard bench scenario
# under qemu-user. The yield tool's tests run on SQLite and on a real PostgreSQL server that the
# tests start and stop.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# The bench runs mostly wait (serial silences, timers), so the end-to-end suites run several
# per core; the unit tests alone take little.
e2e_jobs=$((jobs * 4))

# No PostgreSQL test server (yield/tests/pg-server.sh) outlives this command, even when ctest is
# interrupted before its fixture's cleanup runs.
stop_pg_servers() {
    local f
    for f in build/*/yield/pg-dir; do
        [ ! -f "$f" ] || yield/tests/pg-server.sh stop "$(cat "$f")" || true
    done
}
trap stop_pg_servers EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

step() { printf '\n==== %s ====\n' "$*"; }
timed() {
    local started=$SECONDS
    "$@"
    printf -- '---- %s: %d s\n' "$*" "$((SECONDS - started))"
}

step "dependencies"
scripts/setup-deps.sh all

step "host build with line coverage, unit and end-to-end tests, the coverage figures"
timed scripts/coverage.sh --all-tests

step "clang-tidy over vxPub, vxDioTest, hwtest and yield/src"
timed scripts/tidy.sh build/coverage

step "the tool and its unit tests built with Clang, under AddressSanitizer and UndefinedBehaviorSanitizer"
asan_build() {
    cmake --preset asan
    cmake --build --preset asan -j"$jobs"
    ctest --preset asan -j"$jobs"
}
timed asan_build

export FUZZ_SECONDS=${FUZZ_SECONDS:-30}
step "fuzzing ($FUZZ_SECONDS s per target)"
timed fuzz/run.sh

step "armhf build, unit tests under qemu-user, standard scenario with the armhf binary"
export DEVUZE_HOST_PRESET=coverage
timed scripts/armhf.sh
