#!/usr/bin/env bash
# Checks that two builds of RWFAGENT write the same files: each case is converted twice by the old program and
# once by the new one, and the new file may differ from the old only on the pages where the old program's two
# files differ from each other (the catalogue page holding the objects' creation and change stamps). Every other
# page (table definitions, data, long values, index pages) must be byte for byte the same; the numbers of pages
# that are not are printed and the script fails.
#
# Cases as in convert.sh (orders, big, chinook, shop16), with the tables' rows as a parameter.
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
source "$here/cases.sh"
for name in orders big chinook shop16; do "load_$name"; done

convert() {  # <program> <database> <destination>
  "$1" --mysqlh="$MARIADB_HOST" --port="$MARIADB_PORT" --mysqlu="$MARIADB_USER" --mysqlp="$MARIADB_PASSWORD" \
    --src="$2" --dest="$3" --acc_ver="$format" --silent
}
differing_pages() { cmp -l "$1" "$2" | awk -v p="$page" '{ print int(($1 - 1) / p) }' | sort -u || true; }

status=0
for name in orders big chinook shop16; do
  db="$(database_of "$name")"
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
