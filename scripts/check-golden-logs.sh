#!/usr/bin/env bash
# Checks that the committed golden logs are still what the board writes today: regenerates them
# (scripts/make-golden-logs.sh) into a temporary folder and compares both sets, file names and
# contents, after scrubbing what changes from run to run or edit to edit: record times, time
# stamps, the build's compile time, the scenario's folder, the source lines in the caller tails.
# The hand-made hostname-forged-verdict sample is not regenerated and so not compared.
# Usage: scripts/check-golden-logs.sh [BUILD_DIR]   (default build/dev; build the bench first)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/dev}
golden=$root/yield/tests/golden
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

GOLDEN_OUT=$work/made "$root/scripts/make-golden-logs.sh" "$build" >/dev/null

# Copies a golden set with its volatile fields replaced by fixed words.
scrub() {
    python3 - "$1" "$2" <<'PY'
import os, re, sys
src, dst = sys.argv[1], sys.argv[2]
rules = [
    (re.compile(rb"\d{4}_\d\d_\d\d_\d\d_\d\d_\d\d"), b"STAMP"),
    (re.compile(rb"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"), b"TIME"),
    (re.compile(rb"Build:[^\t\n]*"), b"Build:BUILD"),
    (re.compile(rb'"dir": "[^"]*"'), b'"dir": "DIR"'),
    (re.compile(rb"(\t[^\t\n]* line=)\d+(?=\r?\n|$)"), rb"\1LINE"),
]
def clean(data):
    for pattern, word in rules:
        data = pattern.sub(word, data)
    return data
for folder, _, files in os.walk(src):
    for name in files:
        rel = os.path.relpath(os.path.join(folder, name), src)
        out = os.path.join(dst, clean(rel.encode()).decode())
        os.makedirs(os.path.dirname(out), exist_ok=True)
        with open(os.path.join(folder, name), "rb") as f, open(out, "wb") as g:
            g.write(clean(f.read()))
PY
}

status=0
for made in "$work"/made/*/; do
    s=$(basename "$made")
    scrub "$made" "$work/now/$s"
    scrub "$golden/$s" "$work/committed/$s"
    if ! diff -r "$work/committed/$s" "$work/now/$s" >"$work/$s.diff"; then
        echo "golden $s differs from what the board writes today:"
        head -40 "$work/$s.diff"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "golden logs match what the board writes"
exit "$status"
