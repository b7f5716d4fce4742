#!/bin/sh
# What `cmake --install` ships of the yield tool: the binary, the JSON Schema, the service units
# for watch and serve, the example alarm command; the units name the binary where it goes.
# Usage: install-check.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component yield >/dev/null
share=$prefix/share/devuzeV7-yield
status=0
for f in bin/devuzeV7-yield share/devuzeV7-yield/schema/run-record.schema.json \
    share/devuzeV7-yield/systemd/devuzeV7-yield-watch.service \
    share/devuzeV7-yield/systemd/devuzeV7-yield-serve.service \
    share/devuzeV7-yield/examples/line-alarm; do
    [ -f "$prefix/$f" ] || { echo "install-check: $f not installed" >&2; status=1; }
done
[ -x "$share/examples/line-alarm" ] || { echo "install-check: line-alarm not executable" >&2; status=1; }
for unit in watch serve; do
    grep -q "^ExecStart=/usr/bin/devuzeV7-yield $unit " "$share/systemd/devuzeV7-yield-$unit.service" ||
        { echo "install-check: the $unit unit does not run $unit" >&2; status=1; }
done
exit $status
