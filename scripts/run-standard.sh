#!/usr/bin/env bash
# The main job: builds the tool and the bench, then runs the tool on the bench's standard board
# with two test cycles and shows the summary. Extra arguments go to the bench
# (e.g. scripts/run-standard.sh --scenario serial-cut-pair).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh host
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$(nproc)" --target devuzeV7 devuzeV7-bench
exec build/dev/bench/devuzeV7-bench --scenario standard "$@" -- Cnt=2
