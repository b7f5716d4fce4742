#!/usr/bin/env bash
# Checks the tests' PostgreSQL server from a test's seat: the environment CMake gives a test names
# the same server as DIR/env does, and that server is the throwaway one in DIR: it answers, runs
# the cluster in DIR/data, listens on no TCP address, speaks UTF8, takes 50 connections or more,
# and yield is its superuser.
# Usage: yield/tests/pg-alive.sh DIR   (PGHOST, PGPORT, PGUSER and PGDATABASE from the environment)
set -euo pipefail

dir=$1
fail() { echo "pg-alive: $*" >&2; exit 1; }

[ -f "$dir/env" ] || fail "no $dir/env: the server was not started"
recorded=$(cat "$dir/env")
given="export PGHOST=${PGHOST:-} PGPORT=${PGPORT:-} PGUSER=${PGUSER:-} PGDATABASE=${PGDATABASE:-}"
[ "$given" = "$recorded" ] || fail "the test's environment ($given) is not $dir/env ($recorded)"

unset PGHOST PGPORT PGUSER PGDATABASE
# shellcheck disable=SC1091
. "$dir/env"
row=$(psql -X -A -t -q -v ON_ERROR_STOP=1 -F '|' -c "select 1, current_setting('data_directory'),
    current_setting('listen_addresses') = '', current_setting('server_encoding'), current_user,
    (select rolsuper from pg_roles where rolname = current_user),
    current_setting('max_connections')::int >= 50") || fail "psql through $dir/env failed"
expected="1|$dir/data|t|UTF8|yield|t|t"
[ "$row" = "$expected" ] || fail "the server answered '$row', expected '$expected'"
