#!/usr/bin/env bash
# scripts/apt-get-waiting.sh against a stand-in apt-get: it waits while the lock is held, says so
# once, and passes on the arguments; it gives up at its bound, and never retries another failure.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The stand-in fails with apt's lock message while $work/held holds a number above 0, counting
# it down; with $work/broken it fails otherwise.
cat >"$work/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "$*" >>"$WORK/calls"
[ ! -f "$WORK/broken" ] || { echo "E: Unable to locate package nope" >&2; exit 100; }
held=$(cat "$WORK/held")
if [ "$held" -gt 0 ]; then
    echo $((held - 1)) >"$WORK/held"
    echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 1 (unattended-upgr)" >&2
    exit 100
fi
echo installed
FAKE
chmod +x "$work/apt-get"
export WORK=$work PATH="$work:$PATH" APT_LOCK_RETRY_SECONDS=0
fail() { echo "apt-get-waiting-test: $*" >&2; exit 1; }

echo 2 >"$work/held"
err=$("$here/scripts/apt-get-waiting.sh" install -y pkg 2>&1 >/dev/null) || fail "lock released: $err"
[ "$(grep -c 'install -y pkg' "$work/calls")" -eq 3 ] || fail "not tried three times"
[ "$(grep -c 'waiting' <<<"$err")" -eq 1 ] || fail "waiting not said once: $err"

echo 1000 >"$work/held"
: >"$work/calls"
if APT_LOCK_WAIT_SECONDS=0 "$here/scripts/apt-get-waiting.sh" update 2>"$work/err"; then
    fail "a lock held past the bound passed"
fi
grep -q 'Could not get lock' "$work/err" || fail "apt-get's message not passed on"

echo 0 >"$work/held"
touch "$work/broken"
: >"$work/calls"
status=0
"$here/scripts/apt-get-waiting.sh" install nope 2>/dev/null || status=$?
[ "$status" -eq 100 ] || fail "another failure's status not kept: $status"
[ "$(wc -l <"$work/calls")" -eq 1 ] || fail "another failure retried"
echo "apt-get-waiting-test: ok"
