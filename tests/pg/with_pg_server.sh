#!/usr/bin/env bash
# Runs one test program beside a private PostgreSQL server, and always removes the server again.
# The server lives in a fresh folder: its Unix socket there, TCP on 127.0.0.1 at a free port.
# Over TCP the role "lunaris" must give its password ("lunaris-test"); over the socket it is trusted.
# The test learns where it is from LUNARIS_PG_SOCKET, LUNARIS_PG_PORT, LUNARIS_PG_USER,
# LUNARIS_PG_PASSWORD and LUNARIS_PG_CTL. Without a usable server the test still runs, with
# LUNARIS_PG_SKIP giving the reason, and skips its server cases.
# LUNARIS_PG_OPTIONS replaces the server settings the tests use (no fsync, every statement logged, so a
# test can count them); the benchmarks pass none, to measure a server as a practice runs it.
# LUNARIS_PG_TIME_LIMIT: seconds the program may run (540 unless given; 0: no limit).
# Usage: with_pg_server.sh <test program> [arguments]
set -uo pipefail

tests_options="-c fsync=off -c log_statement=all"
server_options="${LUNARIS_PG_OPTIONS-$tests_options}"
time_limit="${LUNARIS_PG_TIME_LIMIT:-540}"

bin=""
for candidate in /usr/lib/postgresql/*/bin; do
    [[ -x "$candidate/initdb" ]] && bin="$candidate"
done

run_test() {
    # Leaves time for the clean-up below before CTest's own time-out would kill us.
    if [[ "$time_limit" == 0 ]]; then
        "$@"
    else
        timeout --kill-after=10 "$time_limit" "$@"
    fi
}

if [[ -z "$bin" ]]; then
    export LUNARIS_PG_SKIP="PostgreSQL is not installed (package postgresql, scripts/install-deps)"
    run_test "$@"
    exit $?
fi

# The server refuses to run as root: then it runs as the system user postgres.
as_server_user=()
if [[ $(id -u) -eq 0 ]]; then
    if ! id postgres >/dev/null 2>&1; then
        export LUNARIS_PG_SKIP="running as root, but there is no user postgres to run the server"
        run_test "$@"
        exit $?
    fi
    as_server_user=(runuser -u postgres --)
fi

# Not under a 0700 folder: the server user must reach the socket and the data.
dir="$(mktemp -d /tmp/lunaris-pg.XXXXXX)"
chmod 0755 "$dir"
[[ ${#as_server_user[@]} -gt 0 ]] && chown postgres "$dir"

stop_server() {
    if [[ -f "$dir/data/postmaster.pid" ]]; then
        "${as_server_user[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1
    fi
    rm -rf "$dir"
}
trap stop_server EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# A port in use makes the start fail, and the next try takes another.
free_port() {
    echo $((20000 + (RANDOM * 32768 + RANDOM) % 30000))
}

password="lunaris-test"
printf '%s\n' "$password" >"$dir/pw"
[[ ${#as_server_user[@]} -gt 0 ]] && chown postgres "$dir/pw"

if ! "${as_server_user[@]}" "$bin/initdb" -D "$dir/data" -U lunaris --auth-local=trust --auth-host=scram-sha-256 \
    --pwfile="$dir/pw" -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1; then
    cat "$dir/initdb.log" >&2
    export LUNARIS_PG_SKIP="initdb failed (see the output)"
    run_test "$@"
    exit $?
fi

# The server speaks the caller's language, as a practice's server set up in German does. In its
# configuration file, not on the command line, so that a test may change it (ALTER SYSTEM).
message_locale="${LC_ALL:-${LC_MESSAGES:-${LANG:-C}}}"
if locale -a 2>/dev/null | grep -qix "$(sed 's/utf-\?8$/utf8/I' <<<"$message_locale")"; then
    echo "lc_messages = '$message_locale'" >>"$dir/data/postgresql.conf"
fi

started=""
for _ in 1 2 3 4 5; do
    port="$(free_port)"
    # Every statement is logged, so a test can count what reaches the server.
    if "${as_server_user[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w -t 60 \
        -o "-k $dir -p $port -c listen_addresses=127.0.0.1 $server_options" start \
        >/dev/null 2>&1; then
        started=yes
        break
    fi
done
if [[ -z "$started" ]]; then
    cat "$dir/log" >&2
    export LUNARIS_PG_SKIP="the PostgreSQL test server did not start (see the output)"
    run_test "$@"
    exit $?
fi

export LUNARIS_PG_SOCKET="$dir" LUNARIS_PG_PORT="$port" LUNARIS_PG_USER=lunaris LUNARIS_PG_PASSWORD="$password"
export LUNARIS_PG_LOG="$dir/log"
# Lets a test stop and restart the server (a lost server during a session).
export LUNARIS_PG_CTL="${as_server_user[*]} $bin/pg_ctl -D $dir/data -l $dir/log -w -o '-k $dir -p $port -c listen_addresses=127.0.0.1 $server_options'"
run_test "$@"
