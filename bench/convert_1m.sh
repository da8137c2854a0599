#!/usr/bin/env bash
# Converts a generated table of 1,000,000 rows (12 mixed columns, a primary key and an index over a text column)
# with RWFAGENT and prints its time and peak memory beside the time the mariadb client takes to stream the same
# rows to /dev/null.
# usage: bash bench/convert_1m.sh <build folder> [rows]
set -euo pipefail
build="$(cd "${1:?usage: convert_1m.sh <build folder> [rows]}" && pwd)"
rows="${2:-1000000}"
work="$(mktemp -d)"
cleanup() {
  "$build/tests/support/tt_mariadb" stop "$work/db" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

eval "$("$build/tests/support/tt_mariadb" start "$work/db")"
client() { mariadb --no-defaults -h "$MARIADB_HOST" -P "$MARIADB_PORT" -u "$MARIADB_USER" -p"$MARIADB_PASSWORD" "$@"; }

echo "bench: generating $rows rows"
client -e "CREATE DATABASE bench CHARACTER SET utf8mb4;
  CREATE TABLE bench.big (
    id INT NOT NULL PRIMARY KEY, code VARCHAR(20) NOT NULL, name VARCHAR(100) NULL, amount DECIMAL(12,2) NULL,
    ratio DOUBLE NULL, qty SMALLINT NULL, flag TINYINT(1) NULL, created DATETIME NULL, day DATE NULL,
    note TEXT NULL, big BIGINT NULL, f FLOAT NULL, KEY ix_code (code)) ENGINE=InnoDB;
  USE bench;
  INSERT INTO bench.big
    SELECT seq, CONCAT('C', seq % 100000), CONCAT('name ', seq, ' äöü'), seq / 100, seq / 7, seq % 30000, seq % 2,
           '2024-01-01' + INTERVAL seq SECOND, '2024-01-01' + INTERVAL (seq % 3650) DAY,
           IF(seq % 10 = 0, NULL, REPEAT('x', seq % 50)), seq * 1000003, seq / 3
    FROM seq_1_to_${rows};"

start=$(date +%s.%N)
client --quick -e "SELECT * FROM bench.big" >/dev/null
client_seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')

/usr/bin/time -f "%e %M" -o "$work/time.txt" "$build/console/RWFAGENT" --mysqlh="$MARIADB_HOST" \
  --port="$MARIADB_PORT" --mysqlu="$MARIADB_USER" --mysqlp="$MARIADB_PASSWORD" --src=bench \
  --dest="$work/big.mdb" --acc_ver=1 --silent
read -r convert_seconds peak_kb <"$work/time.txt"

printf 'rows:                          %s\n' "$rows"
printf 'mariadb --quick to /dev/null:  %.2f s\n' "$client_seconds"
printf 'RWFAGENT conversion:           %.2f s\n' "$convert_seconds"
printf 'RWFAGENT peak memory:          %d MiB\n' "$((peak_kb / 1024))"
printf 'Access file size:              %d MiB\n' "$(($(stat -c %s "$work/big.mdb") / 1048576))"
