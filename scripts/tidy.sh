#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the board tool's folders (vxPub, vxDioTest,
# hwtest) and the yield tool's sources (yield/src), using the compile commands of a configured build (default build/dev; the dev preset
# writes them). Every finding is an error: the script fails when clang-tidy reports any.
# Usage: scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
jobs=$(nproc)

if [ ! -f "$build/compile_commands.json" ]; then
    echo "no $build/compile_commands.json: run cmake --preset dev first" >&2
    exit 1
fi
mapfile -t sources < <(find vxPub vxDioTest hwtest yield/src -name '*.cpp' | sort)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
printf '%s\n' "${sources[@]}" |
    xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet >"$log" 2>/dev/null || status=$?
if [ "$status" -ne 0 ] || grep -q -E '(warning|error):' "$log"; then
    cat "$log"
    echo "clang-tidy: findings (checks in .clang-tidy)" >&2
    exit 1
fi
echo "clang-tidy: ${#sources[@]} files of vxPub, vxDioTest, hwtest and yield/src clean"
