#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the bench need, when they are missing.
# Usage: scripts/setup-deps.sh [host|all]   (host: tool, unit tests and bench; all: also the
# fuzzers, the armhf cross build with its emulator, and the benchmarks)
# postgresql brings the server programs the yield tests start their own throwaway server with
# (yield/tests/pg-server.sh), and psql; its installation may create and start a system cluster,
# which the tests neither use nor touch (their server has its own folder, socket and port).
# nodejs and npm run the browser test of the HTML report; its packages come from its lock file.
set -euo pipefail

host_pkgs=(cmake make g++ googletest libgtest-dev nlohmann-json3-dev libinih-dev pkgconf psmisc
           busybox procps coreutils libsqlite3-dev libcli11-dev sqlite3 libpng-dev chromium
           libpq-dev postgresql libssl-dev python3-jsonschema python3-junitparser python3-pandas
           libboost-dev)
all_pkgs=(clang clang-tidy libclang-rt-14-dev qemu-user g++-arm-linux-gnueabihf libbenchmark-dev
          gcovr time)

want=("${host_pkgs[@]}")
# Node.js with npm for the browser test; a machine may already have one from elsewhere, whose
# nodejs package conflicts with Debian's npm.
command -v npm >/dev/null 2>&1 || want+=(nodejs npm)
[ "${1:-host}" = all ] && want+=("${all_pkgs[@]}")

missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing Debian packages: ${missing[*]}" >&2
        echo "run as root, or: sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt_get=$(dirname "$0")/apt-get-waiting.sh
    "$apt_get" update -qq
    "$apt_get" install -y -qq "${missing[@]}" >/dev/null
fi

# The browser test's puppeteer-core and the page's ESLint, as its lock file pins them (puppeteer
# drives the Debian Chromium and downloads no browser). A folder installed before ESLint joined is
# installed again.
browser_test=$(cd "$(dirname "$0")/.." && pwd)/yield/tests/browser
if [ ! -d "$browser_test/node_modules/puppeteer-core" ] || [ ! -d "$browser_test/node_modules/eslint" ]; then
    (cd "$browser_test" && npm ci --ignore-scripts --no-audit --no-fund >/dev/null)
fi
