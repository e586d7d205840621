#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A private PostgreSQL server for tests and trials of the department archive, in a folder of its
# own: nothing outside DIR is touched.
#
#   scripts/pg-cluster.sh start DIR [--tls]   initdb into DIR/data (UTF-8, C.UTF-8), the socket in
#                                             DIR, a free TCP port on 127.0.0.1 (printed, kept in
#                                             DIR/port), server.sql loaded into the database
#                                             "velantis", the roles tester_a and tester_b
#                                             (velantis_tester) and admin_a (velantis_admin).
#                                             --tls: a test CA (DIR/tls/ca.crt), a server
#                                             certificate for 127.0.0.1 and localhost, TCP only
#                                             over TLS; DIR/tls/other-ca.crt is a CA that signed
#                                             nothing.
#   scripts/pg-cluster.sh stop DIR
#   scripts/pg-cluster.sh restart DIR         the same server again, on the same port
#   scripts/pg-cluster.sh psql DIR ROLE [psql arguments...]   e.g. psql DIR postgres -c 'SELECT 1'
#
# Each tester's password is its name followed by "-pw" (tester_a-pw); the superuser "postgres"
# connects through the socket without one. As root the server runs as the user postgres
# (PostgreSQL refuses to run as root) and DIR is given to it. PG_BINDIR names the server's
# programs when they are not in the newest /usr/lib/postgresql/N/bin.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
schema="${VELANTIS_SERVER_SQL:-$here/../src/archive/server.sql}"
roles=(tester_a tester_b admin_a)

usage() {
    echo "usage: $0 start DIR [--tls] | stop DIR | restart DIR | psql DIR ROLE [ARGS...]" >&2
    exit 2
}

bindir() {
    if [ -n "${PG_BINDIR:-}" ]; then
        echo "$PG_BINDIR"
        return
    fi
    local newest
    newest="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)"
    if [ -n "$newest" ] && [ -x "$newest/initdb" ]; then
        echo "$newest"
    elif command -v pg_config >/dev/null 2>&1 && [ -x "$(pg_config --bindir)/initdb" ]; then
        pg_config --bindir
    else
        echo "pg-cluster: no PostgreSQL server programs (initdb, postgres): install postgresql" >&2
        exit 3
    fi
}

# Runs a server program as the user that owns the cluster.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

port_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

run_psql() {
    local dir="$1" role="$2"
    shift 2
    local password=""
    [ "$role" != postgres ] && password="$role-pw"
    PGPASSWORD="$password" psql -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$(cat "$dir/port")" \
        -U "$role" -d velantis "$@"
}

make_certificates() {
    local tls="$1"
    mkdir -p "$tls"
    openssl req -x509 -newkey rsa:2048 -nodes -days 7 -subj "/CN=Velantis test CA" \
        -keyout "$tls/ca.key" -out "$tls/ca.crt" 2>/dev/null
    openssl req -x509 -newkey rsa:2048 -nodes -days 7 -subj "/CN=Velantis other CA" \
        -keyout "$tls/other-ca.key" -out "$tls/other-ca.crt" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
        -keyout "$tls/server.key" -out "$tls/server.csr" 2>/dev/null
    printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$tls/server.ext"
    openssl x509 -req -days 7 -in "$tls/server.csr" -CA "$tls/ca.crt" -CAkey "$tls/ca.key" \
        -CAcreateserial -extfile "$tls/server.ext" -out "$tls/server.crt" 2>/dev/null
    chmod 600 "$tls/server.key" "$tls/ca.key" "$tls/other-ca.key"
}

start() {
    local dir="$1" tls="${2:-}"
    [ -n "$tls" ] && [ "$tls" != --tls ] && usage
    local bin
    bin="$(bindir)"
    mkdir -p "$dir"
    dir="$(cd "$dir" && pwd)"
    [ -e "$dir/data" ] && { echo "pg-cluster: $dir/data exists already" >&2; exit 2; }
    [ -n "$tls" ] && make_certificates "$dir/tls"
    if [ "$(id -u)" -eq 0 ]; then
        chown -R postgres "$dir"
        runuser -u postgres -- test -x "$dir" ||
            { echo "pg-cluster: the user postgres cannot reach $dir (a folder above it is closed to others)" >&2; exit 2; }
    fi
    as_owner "$bin/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C.UTF-8 -N \
        --auth=trust >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 4; }
    {
        echo "# Written by pg-cluster.sh"
        echo "local all postgres trust"
        echo "local all all scram-sha-256"
        if [ -n "$tls" ]; then
            echo "hostssl all all 127.0.0.1/32 scram-sha-256"
            echo "hostnossl all all 0.0.0.0/0 reject"
        else
            echo "host all all 127.0.0.1/32 scram-sha-256"
        fi
    } >"$dir/data/pg_hba.conf"
    {
        echo "listen_addresses = '127.0.0.1'"
        echo "unix_socket_directories = '$dir'"
        if [ -n "$tls" ]; then
            echo "ssl = on"
            echo "ssl_cert_file = '$dir/tls/server.crt'"
            echo "ssl_key_file = '$dir/tls/server.key'"
        fi
    } >>"$dir/data/postgresql.conf"
    [ "$(id -u)" -eq 0 ] && chown -R postgres "$dir"
    # A free port, tried again when another program takes it first.
    local attempt port
    for attempt in 1 2 3 4 5 6 7 8; do
        port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
        port_free "$port" || continue
        echo "$port" >"$dir/port"
        if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
            -o "-p $port" start >/dev/null; then
            break
        fi
        port=""
    done
    [ -n "$port" ] || { echo "pg-cluster: the server did not start:" >&2; tail -n 20 "$dir/server.log" >&2; exit 4; }
    PGPASSWORD="" psql -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U postgres -d postgres \
        -c "CREATE DATABASE velantis ENCODING 'UTF8' LC_COLLATE 'C.UTF-8' LC_CTYPE 'C.UTF-8' TEMPLATE template0" >/dev/null
    PGOPTIONS="-c client_min_messages=warning" run_psql "$dir" postgres -f "$schema" >/dev/null
    run_psql "$dir" postgres >/dev/null <<SQL
CREATE ROLE tester_a LOGIN PASSWORD 'tester_a-pw' IN ROLE velantis_tester;
CREATE ROLE tester_b LOGIN PASSWORD 'tester_b-pw' IN ROLE velantis_tester;
CREATE ROLE admin_a LOGIN PASSWORD 'admin_a-pw' IN ROLE velantis_admin;
SQL
    echo "$port"
}

stop() {
    local dir="$1"
    [ -d "$dir/data" ] || exit 0
    as_owner "$(bindir)/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
}

restart() {
    local dir="$1"
    stop "$dir"
    as_owner "$(bindir)/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $(cat "$dir/port")" start >/dev/null
}

case "${1:-}" in
start)
    [ $# -ge 2 ] && [ $# -le 3 ] || usage
    start "$2" "${3:-}"
    ;;
stop)
    [ $# -eq 2 ] || usage
    stop "$2"
    ;;
restart)
    [ $# -eq 2 ] || usage
    restart "$2"
    ;;
psql)
    [ $# -ge 3 ] || usage
    dir="$2" role="$3"
    shift 3
    run_psql "$dir" "$role" "$@"
    ;;
*)
    usage
    ;;
esac
