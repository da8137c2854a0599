#!/usr/bin/env bash
# Checks that two builds of RWFAGENT write the same files: each case is converted twice by the old program and
# once by the new one, and the new file may differ from the old only on the pages where the old program's two
# files differ from each other (the catalogue page holding the objects' creation and change stamps). Every other
# page (table definitions, data, long values, index pages) must be byte for byte the same; the numbers of pages
# that are not are printed and the script fails.
#
# Cases as in convert.sh (orders, big, chinook), with the tables' rows as a parameter.
# usage: bash bench/same_files.sh <build folder with tt_mariadb> <old RWFAGENT> <new RWFAGENT> [rows] [acc_ver]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:?usage: same_files.sh <build> <old RWFAGENT> <new RWFAGENT> [rows] [acc_ver]}" && pwd)"
old="$(realpath "${2:?old RWFAGENT}")"
new="$(realpath "${3:?new RWFAGENT}")"
rows="${4:-100000}"
format="${5:-1}"
page=4096
[ "$format" = 0 ] && page=2048  # Jet 3 pages
work="$(mktemp -d)"
cleanup() {
  "$build/tests/support/tt_mariadb" stop "$work/db" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

eval "$("$build/tests/support/tt_mariadb" start "$work/db")"
client() { mariadb --no-defaults -h "$MARIADB_HOST" -P "$MARIADB_PORT" -u "$MARIADB_USER" -p"$MARIADB_PASSWORD" "$@"; }
sed -e "s/max_recursive_iterations = [0-9]*/max_recursive_iterations = $((rows + 1))/" \
    -e "s/WHERE n < 1000000/WHERE n < $rows/" "$here/orders-1m.sql" | client
client -e "CREATE DATABASE bench_utf8 CHARACTER SET utf8mb4; USE bench_utf8;
  CREATE TABLE big (
    id INT NOT NULL PRIMARY KEY, code VARCHAR(20) NOT NULL, name VARCHAR(100) NULL, amount DECIMAL(12,2) NULL,
    ratio DOUBLE NULL, qty SMALLINT NULL, flag TINYINT(1) NULL, created DATETIME NULL, day DATE NULL,
    note TEXT NULL, big BIGINT NULL, f FLOAT NULL, KEY ix_code (code)) ENGINE=InnoDB;
  INSERT INTO big
    SELECT seq, CONCAT('C', seq % 100000), CONCAT('name ', seq, ' äöü'), seq / 100, seq / 7, seq % 30000, seq % 2,
           '2024-01-01' + INTERVAL seq SECOND, '2024-01-01' + INTERVAL (seq % 3650) DAY,
           IF(seq % 10 = 0, NULL, REPEAT('x', seq % 50)), seq * 1000003, seq / 3
    FROM seq_1_to_${rows};"
client <"$here/../tests/data/mysql-samples/chinook.sql"

convert() {  # <program> <database> <destination>
  "$1" --mysqlh="$MARIADB_HOST" --port="$MARIADB_PORT" --mysqlu="$MARIADB_USER" --mysqlp="$MARIADB_PASSWORD" \
    --src="$2" --dest="$3" --acc_ver="$format" --silent
}
differing_pages() { cmp -l "$1" "$2" | awk -v p="$page" '{ print int(($1 - 1) / p) }' | sort -u || true; }

status=0
for db in bench bench_utf8 Chinook; do
  convert "$old" "$db" "$work/old1.mdb"
  sleep 1  # the stamps of the second file differ from the first's
  convert "$old" "$db" "$work/old2.mdb"
  convert "$new" "$db" "$work/new.mdb"
  if [ "$(stat -c %s "$work/old1.mdb")" != "$(stat -c %s "$work/new.mdb")" ]; then
    echo "$db: the files differ in size"
    status=1
    continue
  fi
  differing_pages "$work/old1.mdb" "$work/old2.mdb" >"$work/stamps.txt"
  differing_pages "$work/old1.mdb" "$work/new.mdb" >"$work/changes.txt"
  extra="$(comm -13 "$work/stamps.txt" "$work/changes.txt")"
  if [ -n "$extra" ]; then
    echo "$db: the new file differs on pages $(tr '\n' ' ' <<<"$extra")beyond the stamps"
    status=1
  else
    echo "$db: same file ($(stat -c %s "$work/new.mdb") bytes, $(($(stat -c %s "$work/new.mdb") / page)) pages;" \
      "stamps differ on page(s) $(tr '\n' ' ' <"$work/stamps.txt"))"
  fi
  rm -f "$work"/*.mdb
done
exit "$status"
