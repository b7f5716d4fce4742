#!/usr/bin/env bash
# apt-get with its arguments, waiting while another package manager holds apt's locks (a freshly
# booted machine runs its automatic updates for a while): tried again every
# APT_LOCK_RETRY_SECONDS (10) for up to APT_LOCK_WAIT_SECONDS (900) in all, saying so on standard
# error once. Any other failure, or a lock held past the bound, ends it with apt-get's own status
# and messages.
set -uo pipefail

wait_total=${APT_LOCK_WAIT_SECONDS:-900}
retry_after=${APT_LOCK_RETRY_SECONDS:-10}
lock_held='Could not get lock|Unable to acquire the dpkg frontend lock|Unable to lock directory'
started=$SECONDS
said=

while true; do
    out=$(apt-get -o DPkg::Lock::Timeout="$retry_after" "$@" 2>&1)
    status=$?
    if [ "$status" -eq 0 ]; then
        exit 0
    fi
    if ! grep -Eq "$lock_held" <<<"$out" || [ $((SECONDS - started)) -ge "$wait_total" ]; then
        printf '%s\n' "$out" >&2
        exit "$status"
    fi
    if [ -z "$said" ]; then
        echo "apt-get: another package manager holds apt's lock; waiting up to ${wait_total} s" >&2
        said=1
    fi
    sleep "$retry_after"
done
