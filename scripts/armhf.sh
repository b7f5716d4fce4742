#!/usr/bin/env bash
# Cross-builds the tool and its unit tests for the board (armhf), runs the unit tests under
# qemu-user, and runs the standard bench scenario with the armhf binary on the host's bench (of the
# preset in DEVUZE_HOST_PRESET, default dev).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
host_preset=${DEVUZE_HOST_PRESET:-dev}
cmake --preset armhf
cmake --build --preset armhf -j"$jobs"
ctest --preset armhf -j"$jobs"

# Installed as an image would get it: the tool alone, an ARM hard-float executable.
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install build/armhf --prefix /usr >/dev/null
installed=$(cd "$dest" && find . -type f)
[ "$installed" = "./usr/bin/devuzeV7" ] || { echo "install leaks: $installed" >&2; exit 1; }
header=$(readelf -h "$dest/usr/bin/devuzeV7")
echo "$header" | grep -E 'Machine|Flags'
echo "$header" | grep -q 'Machine: *ARM' && echo "$header" | grep -q 'Version5 EABI, hard-float ABI' ||
    { echo "installed binary is not ARM hard-float" >&2; exit 1; }

# The standard scenario on the host's bench with the armhf binary under qemu-user.
cmake --preset "$host_preset" >/dev/null
cmake --build --preset "$host_preset" -j"$jobs" --target devuzeV7-bench e2e_tests
DEVUZE_ARMHF_BUILD="$PWD/build/armhf" ctest --preset "$host_preset" -R '^e2e\.ArmhfStandard$'
