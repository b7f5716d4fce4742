#!/usr/bin/env bash
# The repair desk end to end: a day with a failing board ingested, `serve` given a desk secret,
# and Chromium (browser/desk-check.js) recording a disposition from the board page, without the
# secret (refused) and with it (the board leaves the line screen's queue live).
# Usage: yield/tests/desk-check.sh TOOL GOLDEN_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tool=$1
golden=$2
# shellcheck source=browser/prerequisites.sh
. "$here/browser/prerequisites.sh"
browser_prerequisites desk-check

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
chip=0x1A2B3C4D
secret=desk-check-$RANDOM-$RANDOM-secret
printf '%s\n' "$secret" >"$work/desk-secret"
"$tool" ingest --db "$work/yield.db" "$golden/dio-stuck-di5-0" >/dev/null

timeout 240 node "$here/browser/desk-check.js" --tool "$tool" --db "$work/yield.db" \
    --secret-file "$work/desk-secret" --secret "$secret" --chip "$chip"
