#!/usr/bin/env bash
# Starts or stops a private Firebird server for the tests: its own configuration, security database,
# lock folder and a free port on 127.0.0.1, so it never meets another server on this machine.
#   fbserver.sh start DIR   writes DIR/port, DIR/password and DIR/pid, returns once the port answers
#   fbserver.sh stop DIR    stops the server by its process id and removes DIR
# The user "Velkaro03" is created with a random password that only DIR/password holds.
set -euo pipefail

cmd=${1:?start|stop}
dir=${2:?state folder}
fbroot=/usr/lib/x86_64-linux-gnu/firebird/3.0
[ -d "$fbroot" ] || fbroot=$(dirname "$(readlink -f /etc/firebird/3.0/firebird.conf)")

free_port() {
    local p
    for p in $(shuf -i 20000-40000 -n 50); do
        if ! (exec 3<>/dev/tcp/127.0.0.1/"$p") 2>/dev/null; then
            echo "$p"
            return 0
        fi
    done
    return 1
}

stop_server() {
    [ -f "$dir/pid" ] || return 0
    local pid
    pid=$(cat "$dir/pid")
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/pid"
}

case "$cmd" in
start)
    [ -f "$dir/pid" ] && stop_server
    rm -rf "$dir"
    mkdir -p "$dir/lock" "$dir/tmp" "$dir/db"
    port=$(free_port)
    password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
    cat >"$dir/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $dir/security3.fdb
AuthServer = Srp
UserManager = Srp
WireCrypt = Enabled
ServerMode = Super
TempDirectories = $dir/tmp
CONF
    cp "$fbroot/plugins.conf" "$dir/plugins.conf" 2>/dev/null || : >"$dir/plugins.conf"
    : >"$dir/databases.conf"
    ln -s "$fbroot/firebird.msg" "$dir/firebird.msg"
    # The character sets module must lie in the root's intl folder itself (a symlink is not taken).
    mkdir -p "$dir/intl"
    cp "$fbroot/intl/libfbintl.so" "$dir/intl/"
    cp /etc/firebird/3.0/fbintl.conf "$dir/intl/fbintl.conf"
    for f in fbtrace.conf; do
        [ -f "/etc/firebird/3.0/$f" ] && cp "/etc/firebird/3.0/$f" "$dir/$f"
    done
    cp /var/lib/firebird/3.0/system/security3.fdb "$dir/security3.fdb"
    export FIREBIRD="$dir" FIREBIRD_LOCK="$dir/lock" FIREBIRD_TMP="$dir/tmp"
    # Embedded access to the private security database: the test user, allowed to create databases.
    isql-fb -q -user SYSDBA "$dir/security3.fdb" >"$dir/isql.log" 2>&1 <<SQL
create or alter user Velkaro03 password '$password' using plugin Srp;
grant create database to user Velkaro03;
commit;
SQL
    setsid /usr/sbin/firebird >"$dir/server.log" 2>&1 </dev/null &
    echo $! >"$dir/pid"
    for _ in $(seq 1 100); do
        if (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; then
            echo "$port" >"$dir/port"
            echo "$password" >"$dir/password"
            chmod 600 "$dir/password"
            echo "fbserver: listening on 127.0.0.1/$port (pid $(cat "$dir/pid"))"
            exit 0
        fi
        sleep 0.1
    done
    echo "fbserver: the server did not start; log:" >&2
    cat "$dir/server.log" "$dir/isql.log" >&2 || true
    stop_server
    exit 1
    ;;
stop)
    stop_server
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
