#!/usr/bin/env bash
# Line coverage of the tool's folders (vxPub, vxDioTest, hwtest) from the unit tests and the bench
# runs together: builds the coverage preset (the dev build with the tool's libraries and binary
# built with --coverage), runs the unit tests and the end-to-end suites once, and prints the
# overall figure and the files below 80 % of their lines; then the same for the yield tool
# (yield/src), from its unit tests and the tests that run its binary. The reports stay in
# build/coverage/coverage.txt and coverage-summary.json, yield-coverage.txt and
# yield-coverage-summary.json.
#
# The tool runs on the bench inside a fake root, where the build tree is out of reach. The bench
# hands its own GCOV_PREFIX and GCOV_PREFIX_STRIP to the tool and binds the GCOV_PREFIX folder
# into the fake root; with the build folder as the prefix and its own depth stripped, the counts
# of every run land beside the unit tests' in the build tree, and gcov merges them.
# Usage: scripts/coverage.sh [--no-build] [--all-tests]
#   --no-build   measure the build as it is
#   --all-tests  run every test, the factory day and the bench's own included (scripts/test.sh
#                runs its whole suite this way, once); by default those are left out, as they
#                check the yield tool over many bench runs rather than the tool's lines
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
build="$PWD/build/coverage"
low_mark=80
build_first=1
left_out=(-LE 'bench|factory')
for arg in "$@"; do
    case $arg in
        --no-build) build_first=0 ;;
        --all-tests) left_out=() ;;
        *) echo "usage: $0 [--no-build] [--all-tests]" >&2; exit 2 ;;
    esac
done

if [ "$build_first" = 1 ]; then
    cmake --preset coverage >/dev/null
    cmake --build --preset coverage -j"$jobs"
fi

find "$build" -name '*.gcda' -delete
depth=$(tr -cd / <<<"$build" | wc -c)
# The bench runs mostly wait (serial silences, timers): several per core.
GCOV_PREFIX="$build" GCOV_PREFIX_STRIP="$depth" \
    ctest --preset coverage -j"$((jobs * 4))" "${left_out[@]}" --output-on-failure

# One figure per tool: the board tool's folders, then the yield tool's sources.
report() {  # NAME TEXT_FILE SUMMARY_FILE FILTER...
    local name=$1 txt=$2 summary=$3
    shift 3
    local filters=()
    for f in "$@"; do filters+=(--filter "$f"); done
    # A count gcov cannot read is noted, not fatal: gcovr's workers stop answering after a fatal
    # one, and the bound ends the wait whatever else goes wrong.
    timeout 900 gcovr --root . --object-directory "$build" "$build" -j"$jobs" "${filters[@]}" \
        --gcov-ignore-parse-errors --txt "$txt" --json-summary "$summary" --json-summary-pretty
    python3 - "$summary" "$low_mark" "$name" <<'PY'
import json, sys
summary = json.load(open(sys.argv[1]))
low_mark = float(sys.argv[2])
print(f"line coverage of {sys.argv[3]}: {summary['line_percent']:.1f} % "
      f"({summary['line_covered']} of {summary['line_total']} lines)")
low = [f for f in summary["files"] if f["line_percent"] < low_mark]
if low:
    print(f"files below {low_mark:.0f} %:")
    for f in sorted(low, key=lambda f: f["line_percent"]):
        print(f"  {f['line_percent']:5.1f} %  {f['filename']} "
              f"({f['line_covered']} of {f['line_total']} lines)")
else:
    print(f"no file below {low_mark:.0f} %")
PY
}

report "vxPub, vxDioTest and hwtest" "$build/coverage.txt" "$build/coverage-summary.json" \
    'vxPub/' 'vxDioTest/' 'hwtest/'
report "the yield tool (yield/src)" "$build/yield-coverage.txt" \
    "$build/yield-coverage-summary.json" 'yield/src/'
