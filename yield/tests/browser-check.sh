#!/usr/bin/env bash
# Opens a yield report in headless Chromium: dumps the page's DOM as the browser built it and
# renders it to PNG, then checks that the page loaded, the charts are there, no element came from
# a host name (the page's elements are exactly the report writer's own kinds, no script, no <b>),
# the hostile host name is on the page as text, and the picture is not blank.
# Usage: yield/tests/browser-check.sh REPORT.html OUT_DIR PNG_CHECKER [HOST_TEXT...]
#   HOST_TEXT: host names (as the DOM serialises text: & < > as entities) that must show as text.
set -euo pipefail

report=$(realpath "$1")
out=$2
png_check=$3
shift 3
mkdir -p "$out"
browser=$(command -v chromium || true)
[ -n "$browser" ] || { echo "browser-check: chromium is not installed (scripts/setup-deps.sh)" >&2; exit 2; }

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
flags=(--headless --disable-gpu --no-first-run --no-default-browser-check --disable-extensions
       --disable-background-networking --user-data-dir="$profile" --hide-scrollbars)
# Chromium refuses to run as root inside its own sandbox.
[ "$(id -u)" -ne 0 ] || flags+=(--no-sandbox)

timeout 120 "$browser" "${flags[@]}" --dump-dom "file://$report" >"$out/report.dom.html" \
    2>"$out/chromium-dom.err"
timeout 120 "$browser" "${flags[@]}" --window-size=1280,3600 --screenshot="$out/report.png" \
    "file://$report" >/dev/null 2>"$out/chromium-png.err"

fail=0
bad() { echo "browser-check: $*" >&2; fail=1; }
dom=$out/report.dom.html
grep -q '<h1>devuzeV7 yield report</h1>' "$dom" || bad "the page did not load (no heading in the DOM)"
svgs=$(grep -o '<svg[ >]' "$dom" | wc -l)
for id in chart-days chart-pareto chart-heatmap; do
    grep -q "<svg id=\"$id\"" "$dom" || bad "chart $id missing"
done
histograms=$(grep -o '<svg class="chart-histogram"' "$dom" | wc -l)
[ "$histograms" -ge 1 ] || bad "no analogue histogram"
bars=$(grep -o '<rect ' "$dom" | wc -l)
[ "$bars" -ge 10 ] || bad "only $bars bars and cells in the charts"

# Every element is one the report writer makes; the browser adds tbody.
allowed=' html head meta title style body h1 h2 h3 table tbody tr th td svg rect line text '
while read -r tag; do
    case $allowed in *" $tag "*) ;; *) bad "element <$tag> on the page: markup from the data" ;; esac
done < <(grep -o '<[A-Za-z][A-Za-z0-9:-]*' "$dom" | cut -c2- | tr 'A-Z' 'a-z' | sort -u)
for text in "$@"; do
    grep -qF -- "$text" "$dom" || bad "host name not on the page as text: $text"
done

"$png_check" "$out/report.png" || fail=1
echo "browser-check: $svgs charts ($histograms histograms), $bars bars and cells; DOM $(wc -c <"$dom") bytes"
[ "$fail" = 0 ] && echo "browser-check: the report renders, hostile host names stay text"
exit "$fail"
