#!/usr/bin/env bash
# Builds everything and runs every test: unit and end-to-end tests on the bench, clang-tidy over
# both tools' sources, the tool and its unit tests built with Clang, the unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers for a bounded time, the armhf build
# with its unit tests and the standard bench scenario under qemu-user, and the line coverage of
# the unit tests and the bench runs together. The yield tool's tests run on SQLite and on a real
# PostgreSQL server that the tests start and stop.
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

step "host build, unit and end-to-end tests"
cmake --preset dev
cmake --build --preset dev -j"$jobs"
ctest --preset dev -j"$e2e_jobs"

step "clang-tidy over vxPub, vxDioTest, hwtest and yield/src"
timed scripts/tidy.sh build/dev

step "the tool and its unit tests built with Clang"
clang_build() {
    cmake --preset clang >/dev/null
    cmake --build --preset clang -j"$jobs"
    ctest --preset clang -j"$jobs"
}
timed clang_build

step "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

step "fuzzing (${FUZZ_SECONDS:-60} s per target)"
fuzz/run.sh

step "armhf build, unit tests under qemu-user, standard scenario with the armhf binary"
scripts/armhf.sh

step "line coverage of the unit tests and the bench runs"
timed scripts/coverage.sh
