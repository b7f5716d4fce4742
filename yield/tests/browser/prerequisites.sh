# shellcheck shell=bash
# Sourced by the browser checks: ends the check with status 2, naming what is missing, when
# Chromium, node or the puppeteer-core of this folder is not installed.
# Usage: browser_prerequisites CHECK_NAME
browser_prerequisites() {
    local folder
    folder=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    [ -x /usr/bin/chromium ] || { echo "$1: chromium is not installed (scripts/setup-deps.sh)" >&2; exit 2; }
    command -v node >/dev/null || { echo "$1: node is not installed (scripts/setup-deps.sh)" >&2; exit 2; }
    [ -d "$folder/node_modules/puppeteer-core" ] ||
        { echo "$1: puppeteer-core is missing: npm ci in $folder (scripts/setup-deps.sh)" >&2; exit 2; }
}
