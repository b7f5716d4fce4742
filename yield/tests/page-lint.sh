#!/usr/bin/env bash
# ESLint over the line screen's script (yield/src/serve/page), with the ESLint that the lock file
# of browser/ pins; no warning is let through.
# Usage: yield/tests/page-lint.sh
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
modules=$here/browser/node_modules
page=$here/../src/serve/page
command -v node >/dev/null || { echo "page-lint: node is not installed (scripts/setup-deps.sh)" >&2; exit 2; }
[ -x "$modules/.bin/eslint" ] ||
    { echo "page-lint: eslint is missing: npm ci in $here/browser (scripts/setup-deps.sh)" >&2; exit 2; }

# The configuration lives beside the page and takes its packages from browser/.
cd "$page"
NODE_PATH=$modules exec "$modules/.bin/eslint" --max-warnings 0 .
