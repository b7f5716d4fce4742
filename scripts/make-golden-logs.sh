#!/usr/bin/env bash
# Regenerates the yield tool's golden archives: runs the real tool on the bench for a handful of
# scenarios and keeps, per scenario, the archived logs exactly as an operator would gather them
# (the flash's /NandFlash/test and /NandFlash/tmp copies, each stick's TestQ7[..] folder) and the
# bench's own view of the run in expected.json (verdict, host name, result document).
# Usage: scripts/make-golden-logs.sh [BUILD_DIR]   (default build/dev; build the bench first)
# GOLDEN_SCENARIOS="a b" regenerates only those; GOLDEN_OUT=DIR writes them there instead of
# the committed set (scripts/check-golden-logs.sh compares the two).
# hostname-forged-verdict is not made here: it is a hand-made sample of an older tool that logged
# host names unescaped (see its README), which today's board can no longer write.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/dev}
bench=$build/bench/devuzeV7-bench
golden=${GOLDEN_OUT:-$root/yield/tests/golden}
scenarios=(standard serial-cut-pair dio-stuck-di5-0 adc-boundaries usb-none at-silent
           hostname-quote hostname-subst)
[ -n "${GOLDEN_SCENARIOS:-}" ] && read -r -a scenarios <<<"$GOLDEN_SCENARIOS"

[ -x "$bench" ] || { echo "no bench at $bench: build it first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for s in "${scenarios[@]}"; do
    out=$work/$s
    "$bench" --scenario "$s" --out "$out" --quiet -- Cnt=2 >/dev/null
    rm -rf "${golden:?}/$s"
    mkdir -p "$golden/$s"
    (cd "$out" && find . -type f -name '*.log' \( -path './NandFlash/*' -o -path './media/*' \) \
        -printf '%P\0' | xargs -0 -r cp --parents -t "$golden/$s")
    # A line feed in a file name troubles line-based tools: the copy keeps the content, the name
    # gets '_' (the tool finds runs by content).
    find "$golden/$s" -depth -name $'*\n*' -print0 | while IFS= read -r -d '' f; do
        name=$(basename "$f")
        mv "$f" "$(dirname "$f")/${name//$'\n'/_}"
    done
    jq '{scenario, hostname, verdict, result_document}' "$out/record.json" >"$golden/$s/expected.json"
    echo "$s: $(jq -r .verdict "$out/record.json")"
done
