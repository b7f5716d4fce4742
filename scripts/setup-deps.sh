#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the bench need, when they are missing.
# Usage: scripts/setup-deps.sh [host|all]   (host: tool, unit tests and bench; all: also the
# fuzzers, the armhf cross build with its emulator, and the benchmarks)
# postgresql brings the server programs the yield tests start their own throwaway server with
# (yield/tests/pg-server.sh), and psql; its installation may create and start a system cluster,
# which the tests neither use nor touch (their server has its own folder, socket and port).
set -euo pipefail

host_pkgs=(cmake make g++ googletest libgtest-dev nlohmann-json3-dev libinih-dev pkgconf psmisc
           busybox procps coreutils libsqlite3-dev libcli11-dev sqlite3 libpng-dev chromium
           libpq-dev postgresql libssl-dev)
all_pkgs=(clang clang-tidy libclang-rt-14-dev qemu-user g++-arm-linux-gnueabihf libbenchmark-dev
          libboost-dev gcovr time)

want=("${host_pkgs[@]}")
[ "${1:-host}" = all ] && want+=("${all_pkgs[@]}")

missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages: ${missing[*]}" >&2
    echo "run as root, or: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
