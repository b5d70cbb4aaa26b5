#!/usr/bin/env bash
# Runs every benchmark from build/bin: embedded first, then the database benchmarks once more through
# a private Firebird server on 127.0.0.1 (started and stopped here). Meant for a quiet machine: the
# rates are compared with floors measured in the same run, but other load still skews both.
#   bench/run.sh [all|dbaccess|invoicing|paradox|rtf]
# ZBPV_BENCH_ROWS (default "100000 1000000") and ZBPV_BENCH_SCALE (default 5000) set the sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
bin=build/bin
rows=${ZBPV_BENCH_ROWS:-100000 1000000}
scale=${ZBPV_BENCH_SCALE:-5000}
for b in bench_dbaccess bench_invoicing paradox_bench bench_rtf; do
    [ -x "$bin/$b" ] || { echo "bench/run.sh: $bin/$b fehlt; zuerst bauen (scripts/test.sh oder cmake)" >&2; exit 1; }
done

server_dir=$(mktemp -d /tmp/zbpv-bench-server.XXXXXX)
cleanup() { tests/dbaccess/fbserver.sh stop "$server_dir" >/dev/null 2>&1 || true; }
trap cleanup EXIT
with_server() {
    [ -f "$server_dir/port" ] || tests/dbaccess/fbserver.sh start "$server_dir" >/dev/null
    mkdir -p "$server_dir/db"
    ZBPV_DB_PASSWORD=$(cat "$server_dir/password") "$@" --server "127.0.0.1/$(cat "$server_dir/port"):$server_dir/db" \
        --user Velkaro03
}

case "$what" in all | rtf) echo "== RTF to HTML"; "$bin/bench_rtf" ;; esac
case "$what" in all | paradox) echo "== Paradox scan"; "$bin/paradox_bench" ;; esac
case "$what" in
all | dbaccess)
    echo "== client dataset, embedded"
    # shellcheck disable=SC2086
    "$bin/bench_dbaccess" $rows
    echo "== client dataset, server"
    # shellcheck disable=SC2086
    with_server "$bin/bench_dbaccess" $rows
    ;;
esac
case "$what" in
all | invoicing)
    echo "== address steps, embedded"
    "$bin/bench_invoicing" --scale "$scale"
    echo "== address steps, server"
    with_server "$bin/bench_invoicing" --scale "$scale"
    ;;
esac
