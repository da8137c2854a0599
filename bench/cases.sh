# Shared by the bench scripts: a throwaway MariaDB server, stopped and removed on exit, and the source databases
# of the cases (orders: the latin1 table of orders-1m.sql; big: a generated utf8mb4 table; chinook: Chinook; shop16:
# a generated database of 16 related tables and 47,000 rows, shop16.sql).
# Source it with `here` (this folder), `build` (a build folder with tests/support/tt_mariadb) and `rows` set.
work="$(mktemp -d)"
cleanup() {
  "$build/tests/support/tt_mariadb" stop "$work/db" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

eval "$("$build/tests/support/tt_mariadb" start "$work/db")"
client_cmd=(mariadb --no-defaults -h "$MARIADB_HOST" -P "$MARIADB_PORT" -u "$MARIADB_USER" -p"$MARIADB_PASSWORD")
client() { "${client_cmd[@]}" "$@"; }
# BENCH_BUFFER_POOL (bytes, e.g. 1073741824): InnoDB's buffer pool for the run. The test server's own is 32 MiB,
# so a large table is read again through the operating system's cache on every scan, which slows the read floor
# and the conversion alike; a pool that holds the tables leaves the server's own work only.
if [ -n "${BENCH_BUFFER_POOL:-}" ]; then
  client -e "SET GLOBAL innodb_buffer_pool_size = $BENCH_BUFFER_POOL"
  for _ in $(seq 120); do
    [ "$(client -N -e "SELECT @@innodb_buffer_pool_size")" = "$BENCH_BUFFER_POOL" ] &&
      client -N -e "SHOW STATUS LIKE 'Innodb_buffer_pool_resize_status'" | grep -qv "resizing\|Resizing" && break
    sleep 0.5
  done
fi
# load_orders [rows [database]]: the orders table of orders-1m.sql with as many rows (default $rows), in bench or
# the given database.
load_orders() {
  local n="${1:-$rows}" db="${2:-bench}"
  sed -e "s/max_recursive_iterations = [0-9]*/max_recursive_iterations = $((n + 1))/" \
      -e "s/WHERE n < 1000000/WHERE n < $n/" -e "s/^CREATE DATABASE IF NOT EXISTS bench /CREATE DATABASE IF NOT EXISTS $db /" \
      -e "s/^USE bench;/USE $db;/" "$here/orders-1m.sql" | client
  settle
}
# Waits (at most a minute) until InnoDB has written the pages a load left dirty, so that its background writes do
# not run into the measurements that follow.
settle() {
  local i dirty
  client -e "SET GLOBAL innodb_max_dirty_pages_pct_lwm = 0.001; SET GLOBAL innodb_max_dirty_pages_pct = 0" \
    >/dev/null 2>&1 || return 0
  for i in $(seq 120); do
    dirty="$(client -N -e "SHOW GLOBAL STATUS LIKE 'Innodb_buffer_pool_pages_dirty'" | awk '{ print $2 }')"
    [ "${dirty:-0}" -le 0 ] && break
    sleep 0.5
  done
}
load_big() {
  client -e "CREATE DATABASE bench_utf8 CHARACTER SET utf8mb4;
    CREATE TABLE bench_utf8.big (
      id INT NOT NULL PRIMARY KEY, code VARCHAR(20) NOT NULL, name VARCHAR(100) NULL, amount DECIMAL(12,2) NULL,
      ratio DOUBLE NULL, qty SMALLINT NULL, flag TINYINT(1) NULL, created DATETIME NULL, day DATE NULL,
      note TEXT NULL, big BIGINT NULL, f FLOAT NULL, KEY ix_code (code)) ENGINE=InnoDB;
    USE bench_utf8;
    INSERT INTO bench_utf8.big
      SELECT seq, CONCAT('C', seq % 100000), CONCAT('name ', seq, ' äöü'), seq / 100, seq / 7, seq % 30000, seq % 2,
             '2024-01-01' + INTERVAL seq SECOND, '2024-01-01' + INTERVAL (seq % 3650) DAY,
             IF(seq % 10 = 0, NULL, REPEAT('x', seq % 50)), seq * 1000003, seq / 3
      FROM seq_1_to_${rows};"
  settle
}
load_chinook() { client <"$here/../tests/data/mysql-samples/chinook.sql"; settle; }
load_shop16() { client <"$here/shop16.sql"; settle; }
database_of() {
  case "$1" in
    orders) echo bench ;;
    big) echo bench_utf8 ;;
    chinook) echo Chinook ;;
    shop16) echo bench_shop16 ;;
    *) echo "bench: unknown case $1" >&2; exit 2 ;;
  esac
}

