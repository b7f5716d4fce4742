#!/usr/bin/env bash
# Builds everything and runs every test: unit and end-to-end tests on the bench, the unit tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers for a bounded time, and the
# armhf build with its unit tests and the standard bench scenario under qemu-user.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

step() { printf '\n==== %s ====\n' "$*"; }

step "dependencies"
scripts/setup-deps.sh all

step "host build, unit and end-to-end tests"
cmake --preset dev
cmake --build --preset dev -j"$jobs"
ctest --preset dev

step "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan

step "fuzzing (${FUZZ_SECONDS:-60} s per target)"
fuzz/run.sh

step "armhf build, unit tests under qemu-user, standard scenario with the armhf binary"
scripts/armhf.sh
