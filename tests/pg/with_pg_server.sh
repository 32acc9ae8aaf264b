#!/usr/bin/env bash
# Runs one test program beside a private PostgreSQL server, and always removes the server again.
# The server lives in a fresh folder: its Unix socket there, TCP on 127.0.0.1 at a free port.
# As a practice should run it: TCP only encrypted (TLS with a certificate of a CA the script makes,
# for the name "localhost"), each role with its SCRAM password; over the socket every role is trusted.
# The roles: "praxis_admin" owns everything (the administrator), "lunaris" may read and write exactly
# Lunaris's tables and "lunaris_lesen" only read them, as resources/server/lunaris-server.sql sets them up.
# A Windows test program (under Wine) names the Linux files with a drive letter, LUNARIS_PG_DRIVE ("Z:"),
# and its libpq has no Unix socket: for it the trusted way in is TCP at ::1, unencrypted only.
# The test learns where it is from LUNARIS_PG_SOCKET (the trusted way's host: the socket's folder or ::1),
# LUNARIS_PG_TRUSTED_HBA (its lines of pg_hba.conf), LUNARIS_PG_DIR (the server's folder), LUNARIS_PG_PORT, LUNARIS_PG_USER (lunaris),
# LUNARIS_PG_READER, LUNARIS_PG_ADMIN, LUNARIS_PG_PASSWORD (all three roles'), LUNARIS_PG_CA (the CA's
# certificate), LUNARIS_PG_OTHER_CA (another CA's), LUNARIS_PG_SETUP_SQL and LUNARIS_PG_CTL. Without a usable server the test still runs, with
# LUNARIS_PG_SKIP giving the reason, and skips its server cases.
# LUNARIS_PG_OPTIONS replaces the server settings the tests use (no fsync, every statement logged, so a
# test can count them); the benchmarks pass none, to measure a server as a practice runs it.
# LUNARIS_PG_TIME_LIMIT: seconds the program may run (540 unless given; 0: no limit).
# Usage: with_pg_server.sh <test program> [arguments]
set -uo pipefail

tests_options="-c fsync=off -c log_statement=all"
server_options="${LUNARIS_PG_OPTIONS-$tests_options}"
time_limit="${LUNARIS_PG_TIME_LIMIT:-540}"
drive="${LUNARIS_PG_DRIVE:-}"

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

# Unlike anything else a test prints, so that a scan of the output for it finds only leaks.
password="Pw-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')-geheim"
printf '%s\n' "$password" >"$dir/pw"
[[ ${#as_server_user[@]} -gt 0 ]] && chown postgres "$dir/pw"

# The practice's CA, the server's certificate for "localhost" signed by it, and a CA that signed nothing.
if ! command -v openssl >/dev/null; then
    export LUNARIS_PG_SKIP="openssl is not installed (package openssl, scripts/install-deps)"
    run_test "$@"
    exit $?
fi
mkdir "$dir/tls"
make_certificates() {
    cd "$dir/tls" || return 1
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Lunaris Test-CA" -keyout ca.key -out ca.crt &&
        openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Andere CA" -keyout other.key -out other-ca.crt &&
        openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr &&
        printf 'subjectAltName=DNS:localhost\n' >server.ext &&
        openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile server.ext \
            -out server.crt
}
if ! (make_certificates) >"$dir/tls/openssl.log" 2>&1; then
    cat "$dir/tls/openssl.log" >&2
    export LUNARIS_PG_SKIP="the test certificates could not be made (see the output)"
    run_test "$@"
    exit $?
fi
chmod 0600 "$dir/tls/server.key"
[[ ${#as_server_user[@]} -gt 0 ]] && chown postgres "$dir/tls/server.key" "$dir/tls/server.crt"

if ! "${as_server_user[@]}" "$bin/initdb" -D "$dir/data" -U praxis_admin --auth-local=trust --auth-host=scram-sha-256 \
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

# TLS on; over TCP only encrypted logins are let in.
cat >>"$dir/data/postgresql.conf" <<CONF
ssl = on
ssl_cert_file = '$dir/tls/server.crt'
ssl_key_file = '$dir/tls/server.key'
CONF
if [[ -n "$drive" ]]; then
    # An encrypted try there matches no line: libpq's default (sslmode=prefer) then logs in unencrypted.
    trusted_host=::1 listen=127.0.0.1,::1
    trusted_hba=$'local all all trust\nhostnossl all all ::1/128 trust'
else
    trusted_host="$dir" listen=127.0.0.1
    trusted_hba=$'local all all trust\nhostssl all all ::1/128 scram-sha-256'
fi
cat >"$dir/data/pg_hba.conf" <<HBA
$trusted_hba
hostssl  all  all  127.0.0.1/32   scram-sha-256
HBA

started=""
for _ in 1 2 3 4 5; do
    port="$(free_port)"
    # Every statement is logged, so a test can count what reaches the server.
    if "${as_server_user[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w -t 60 \
        -o "-k $dir -p $port -c listen_addresses=$listen $server_options" start \
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

# The workstations' roles, with the same password as the administrator's.
if ! "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U praxis_admin -d postgres \
    -c "CREATE ROLE lunaris LOGIN PASSWORD '$password'" \
    -c "CREATE ROLE lunaris_lesen LOGIN PASSWORD '$password'" >"$dir/roles.log" 2>&1; then
    cat "$dir/roles.log" >&2
    export LUNARIS_PG_SKIP="the test server's roles could not be made (see the output)"
    run_test "$@"
    exit $?
fi

export LUNARIS_PG_SOCKET="$trusted_host" LUNARIS_PG_TRUSTED_HBA="$trusted_hba" LUNARIS_PG_DIR="$drive$dir"
export LUNARIS_PG_PORT="$port" LUNARIS_PG_USER=lunaris LUNARIS_PG_PASSWORD="$password"
export LUNARIS_PG_READER=lunaris_lesen LUNARIS_PG_ADMIN=praxis_admin
export LUNARIS_PG_CA="$drive$dir/tls/ca.crt" LUNARIS_PG_OTHER_CA="$drive$dir/tls/other-ca.crt"
export LUNARIS_PG_SETUP_SQL="$drive$(cd "$(dirname "${BASH_SOURCE[0]}")/../../resources/server" && pwd)/lunaris-server.sql"
export LUNARIS_PG_LOG="$drive$dir/log"
# Lets a test stop and restart the server (a lost server during a session).
export LUNARIS_PG_CTL="${as_server_user[*]} $bin/pg_ctl -D $dir/data -l $dir/log -w -o '-k $dir -p $port -c listen_addresses=$listen $server_options'"
# Everything the test and the programs it starts print is scanned for the password afterwards (unless
# the caller is told the password on purpose: LUNARIS_PG_SCAN_OUTPUT=0, the benchmarks).
if [[ "${LUNARIS_PG_SCAN_OUTPUT:-1}" == 0 ]]; then
    run_test "$@"
    exit $?
fi
run_test "$@" 2>&1 | tee "$dir/output"
status=${PIPESTATUS[0]}
if grep -qF -- "$password" "$dir/output"; then
    echo "FAIL: the test server's password appeared in the test's output" >&2
    exit 1
fi
exit "$status"
