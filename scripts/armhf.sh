#!/usr/bin/env bash
# Cross-builds the tool and its unit tests for the board (armhf), runs the unit tests under
# qemu-user, and runs the standard bench scenario with the armhf binary.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake --preset armhf
cmake --build --preset armhf -j"$jobs"
ctest --preset armhf
readelf -h build/armhf/hwtest/devuzeV7 | grep -E 'Machine|Flags'

# The standard scenario on the host's bench with the armhf binary under qemu-user.
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$jobs" --target devuzeV7-bench e2e_tests
DEVUZE_ARMHF_BUILD="$PWD/build/armhf" ctest --preset dev -R '^e2e\.ArmhfStandard$'
