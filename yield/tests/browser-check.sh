#!/usr/bin/env bash
# Opens a yield report in Debian's Chromium driven through the DevTools protocol
# (browser/report-check.js holds the checks on the live page and keeps a screenshot), then checks
# that the screenshot is not blank.
# Usage: yield/tests/browser-check.sh REPORT.html REPORT.json OUT_DIR PNG_CHECKER [CHECK_ARGS...]
#   CHECK_ARGS: --host TEXT (a host name that must show as text), --selection (the page must have
#   its selection line)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
report=$1
json=$2
out=$3
png_check=$4
shift 4
# shellcheck source=browser/prerequisites.sh
. "$here/browser/prerequisites.sh"
browser_prerequisites browser-check

mkdir -p "$out"
rm -f "$out/report.png"
fail=0
timeout 240 node "$here/browser/report-check.js" --report "$report" --json "$json" --out "$out" "$@" ||
    fail=1
if [ -f "$out/report.png" ]; then
    "$png_check" "$out/report.png" || fail=1
else
    echo "browser-check: no screenshot" >&2
    fail=1
fi
exit "$fail"
