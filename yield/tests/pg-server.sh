#!/usr/bin/env bash
# A throwaway PostgreSQL server for the yield tool's tests and benchmarks: a fresh cluster in a
# folder of its own, reachable through a Unix socket only (no TCP address), trust authentication,
# superuser "yield", UTF8 with the C locale.
# Usage: yield/tests/pg-server.sh COMMAND DIR
#   start        a fresh cluster in DIR/data (a server or cluster left in DIR by an earlier run is
#                stopped and removed first); waits until it accepts connections, then prints what
#                `env` prints and nothing else
#   stop         stops the server (fast, then immediate) and removes the cluster; exit 0 when
#                there is nothing to stop
#   stop-server  stops the server and keeps the cluster, for `restart`
#   restart      starts the cluster kept in DIR again (a no-op when it runs); prints what `env`
#                prints
#   freeze       stops every process of the server with SIGSTOP: a server that no longer answers
#   thaw         lets them go on (SIGCONT)
#   env          prints "export PGHOST=... PGPORT=... PGUSER=yield PGDATABASE=postgres" for
#                eval "$(pg-server.sh env DIR)"; the same line is in DIR/env while a cluster is
#                there
# The socket is DIR/.s.PGSQL.55432; when DIR is too long for a socket path or holds a character
# other than A-Z a-z 0-9 / . _ + -, it is in /tmp/yield-pg-HASH instead (HASH: the first 16 hex
# digits of the SHA-1 of DIR, made absolute, without a trailing slash). yield/CMakeLists.txt
# repeats this rule. The server's log is DIR/server.log; initdb's is DIR/initdb.log. DIR must be
# new, empty or one this script made (DIR/.lock marks it).
# As root the server runs as nobody, and DIR (only DIR itself) is given to nobody; otherwise it runs
# as the caller. YIELD_PG_BINDIR names the folder of initdb, pg_ctl and postgres (default: the
# newest /usr/lib/postgresql/*/bin, else `pg_config --bindir`).
set -euo pipefail

me=pg-server.sh
port=55432
sock_name=.s.PGSQL.$port
# sockaddr_un holds 108 bytes with the closing NUL.
sock_path_max=107
user=yield

die() { echo "$me: $*" >&2; exit 1; }
usage() { sed -n '5,26p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

[ $# -eq 2 ] || usage
command=$1
case $2 in
    /*) dir=$2 ;;
    "") usage ;;
    *) dir=$PWD/$2 ;;
esac
while [ "${#dir}" -gt 1 ] && [ "${dir%/}" != "$dir" ]; do dir=${dir%/}; done
[ "$dir" != / ] || die "DIR must not be /"
data=$dir/data
log=$dir/server.log
env_file=$dir/env

# Whatever PG* settings the caller has must not steer the server's own programs.
for v in $(compgen -e); do
    case $v in PG*) unset "$v" ;; esac
done

socket_dir_for() {
    local d=$1
    if [ $((${#d} + 1 + ${#sock_name})) -le $sock_path_max ] &&
        [[ $d =~ ^[A-Za-z0-9/._+-]+$ ]]; then
        echo "$d"
    else
        echo "/tmp/yield-pg-$(printf %s "$d" | sha1sum | cut -c1-16)"
    fi
}
sock_dir=$(socket_dir_for "$dir")

env_line() {
    echo "export PGHOST=$sock_dir PGPORT=$port PGUSER=$user PGDATABASE=postgres"
}

find_bindir() {
    local d
    if [ -n "${YIELD_PG_BINDIR:-}" ]; then
        echo "$YIELD_PG_BINDIR"
        return
    fi
    for d in $(printf '%s\n' /usr/lib/postgresql/*/bin | sort -rV); do
        [ -x "$d/initdb" ] && { echo "$d"; return; }
    done
    command -v pg_config >/dev/null && pg_config --bindir
}

# --- who runs the server -------------------------------------------------------------------------

if [ "$(id -u)" -eq 0 ]; then
    run_uid=$(id -u nobody) || die "no user nobody to run the server as"
    run_gid=$(id -g nobody)
    # The server's programs run in DIR (their own folder must be reachable), never holding the
    # lock's descriptor: a postmaster inheriting it would keep DIR locked for its whole life.
    as_server() {
        (cd "$dir" &&
            exec setpriv --reuid="$run_uid" --regid="$run_gid" --clear-groups -- "$@") 9>&-
    }
else
    run_uid=$(id -u)
    as_server() { (cd "$dir" && exec "$@") 9>&-; }
fi

lock_dir() {
    exec 9>>"$dir/.lock"
    flock -w 120 9 || die "$dir is locked by another $me for over 120 s"
}

# --- processes -----------------------------------------------------------------------------------

# The cluster's processes: the server's program working in DIR/data (a postmaster killed with
# -9 leaves its children running, and they keep the shared memory that a new one needs).
cluster_pids() {
    local postgres real p cwd
    postgres=$(realpath -e "$bindir/postgres" 2>/dev/null) || return 0
    real=$(realpath -m "$data")
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$postgres" ] || continue
        cwd=$(readlink "$p/cwd" 2>/dev/null) || continue
        [ "$cwd" = "$real" ] || [ "$cwd" = "$real (deleted)" ] || continue
        echo "${p#/proc/}"
    done
}

kill_stragglers() {
    local pids tries=0
    pids=$(cluster_pids)
    while [ -n "$pids" ]; do
        # shellcheck disable=SC2086
        kill -KILL $pids 2>/dev/null || true
        tries=$((tries + 1))
        [ $tries -le 100 ] || die "processes of the cluster in $data do not end: $pids"
        sleep 0.1
        pids=$(cluster_pids)
    done
}

# The socket folder a running (or killed) server recorded, else the one DIR gives.
recorded_socket_dir() {
    local recorded
    recorded=$(sed -n 5p "$data/postmaster.pid" 2>/dev/null || true)
    echo "${recorded:-$sock_dir}"
}

stop_server() {
    local socks
    [ -d "$data" ] || return 0
    socks=$(recorded_socket_dir)
    if [ -f "$data/postmaster.pid" ]; then
        as_server "$bindir/pg_ctl" stop -D "$data" -m fast -w -t 30 -s >/dev/null 2>&1 ||
            as_server "$bindir/pg_ctl" stop -D "$data" -m immediate -w -t 30 -s >/dev/null 2>&1 ||
            true
    fi
    kill_stragglers
    # Nothing of the cluster runs now: what a killed server left behind is stale.
    rm -f "$data/postmaster.pid" "$socks/$sock_name" "$socks/$sock_name.lock"
    [ "$socks" = "$dir" ] || rmdir "$socks" 2>/dev/null || true
}

remove_cluster() {
    rm -rf "$data" "$env_file" || die "cannot remove the cluster in $data"
}

server_answers() {
    "$bindir/pg_isready" -q -h "$sock_dir" -p "$port" -U "$user" -d postgres -t 10
}

# --- starting ------------------------------------------------------------------------------------

# DIR/.lock marks DIR as a test server's folder: a folder holding other files is never taken
# over (given to nobody, its data removed).
is_ours() { [ -f "$dir/.lock" ] && [ ! -L "$dir/.lock" ]; }

check_ours() {
    [ ! -L "$dir" ] || die "$dir is a symbolic link; give the folder itself"
    [ ! -d "$dir" ] || is_ours || [ -z "$(ls -A "$dir")" ] ||
        die "$dir holds files that are not a test server's; give a new or empty folder"
}

prepare_dir() {
    check_ours
    mkdir -p "$dir" || die "cannot create $dir"
    [ "$(id -u)" -ne 0 ] || chown "$run_uid:$run_gid" "$dir"
    as_server test -w "$dir" -a -x "$dir" 2>/dev/null ||
        die "the server's user (uid $run_uid) cannot write in $dir:" \
            "is a folder above it closed to others?"
}

make_socket_dir() {
    [ "$sock_dir" != "$dir" ] || return 0
    if mkdir -m 700 "$sock_dir" 2>/dev/null; then
        [ "$(id -u)" -ne 0 ] || chown "$run_uid:$run_gid" "$sock_dir"
        return 0
    fi
    # A fixed name in /tmp that is there already: use it only when it is a real folder of the
    # server's user (one left by an earlier run).
    if [ ! -d "$sock_dir" ] || [ -L "$sock_dir" ] || [ "$(stat -c %u "$sock_dir")" != "$run_uid" ]
    then
        die "the socket folder $sock_dir is there already and is not the server user's: remove it"
    fi
    chmod 700 "$sock_dir"
}

init_cluster() {
    as_server "$bindir/initdb" -D "$data" --auth=trust -U "$user" --encoding=UTF8 --locale=C \
        --no-instructions --no-sync >"$dir/initdb.log" 2>&1 ||
        fail_with_log "initdb failed" "$dir/initdb.log"
    cat >>"$data/postgresql.conf" <<EOF

# A throwaway server for the yield tool's tests ($me)
listen_addresses = ''
port = $port
unix_socket_directories = '$sock_dir'
unix_socket_permissions = 0700
cluster_name = '$(cluster_name)'
max_connections = 60
shared_buffers = 32MB
fsync = on
huge_pages = off
jit = off
timezone = 'UTC'
log_timezone = 'UTC'
lc_messages = 'C'
EOF
}

# Shown in the process titles, so `pgrep -f DIR` finds every process of the server.
cluster_name() {
    if [[ $dir =~ ^[A-Za-z0-9/._+-]+$ ]]; then echo "$dir"; else basename "$sock_dir"; fi
}

fail_with_log() {
    echo "$me: $1; the last lines of $2:" >&2
    tail -n 20 "$2" >&2 2>/dev/null || true
    exit 1
}

launch() {
    rm -f "$data/postmaster.pid"
    if ! as_server "$bindir/pg_ctl" start -D "$data" -l "$log" -w -t 60 -s \
            >"$dir/pg_ctl.log" 2>&1 ||
        ! server_answers; then
        stop_server
        cat "$dir/pg_ctl.log" >&2
        fail_with_log "the server in $data did not start" "$log"
    fi
    env_line >"$env_file.new" && mv "$env_file.new" "$env_file"
    env_line
}

need_programs() {
    bindir=$(find_bindir || true)
    local p
    for p in initdb pg_ctl postgres pg_isready; do
        if [ -z "$bindir" ] || [ ! -x "$bindir/$p" ]; then
            echo "$me: no PostgreSQL server programs (initdb, pg_ctl, postgres, pg_isready);" \
                "install the postgresql package (scripts/setup-deps.sh)" >&2
            exit 2
        fi
    done
}

# --- commands ------------------------------------------------------------------------------------

cmd_start() {
    prepare_dir
    lock_dir
    stop_server
    remove_cluster
    rm -f "$log"
    make_socket_dir
    init_cluster
    launch
}

cmd_restart() {
    [ -f "$data/PG_VERSION" ] || die "no cluster in $data to restart (use start)"
    prepare_dir
    lock_dir
    if server_answers; then
        env_line
        return
    fi
    stop_server
    make_socket_dir
    launch
}

cmd_stop() {
    [ -d "$data" ] || return 0
    check_ours
    need_programs
    lock_dir
    stop_server
    remove_cluster
}

cmd_stop_server() {
    [ -d "$data" ] || return 0
    check_ours
    need_programs
    lock_dir
    stop_server
}

# Sends signal $1 to every process of the cluster.
cmd_signal() {
    local pids
    need_programs
    pids=$(cluster_pids)
    [ -n "$pids" ] || die "no server runs in $data"
    # shellcheck disable=SC2086
    kill -"$1" $pids
}

case $command in
    env) env_line ;;
    freeze) cmd_signal STOP ;;
    thaw) cmd_signal CONT ;;
    start) need_programs; cmd_start ;;
    restart) need_programs; cmd_restart ;;
    stop) cmd_stop ;;
    stop-server) cmd_stop_server ;;
    *) usage ;;
esac
