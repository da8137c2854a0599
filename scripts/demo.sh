#!/usr/bin/env bash
# The demo: installs what is missing, builds RWFAGENT, starts a throwaway MariaDB server, loads the demo database
# (demo/demo.sql), converts it into an Access file beside the checkout, and shows what the file holds as the
# project's own Access engine reads it back.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
build="$here/build/release"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target RWFAGENT rwf_show tt_mariadb

work="$(mktemp -d)"
cleanup() {
  "$build/tests/support/tt_mariadb" stop "$work/db" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
eval "$("$build/tests/support/tt_mariadb" start "$work/db" "$here/demo/demo.sql")"

dest="$(cd "$here/.." && pwd)/tabletide_demo.mdb"
"$build/console/RWFAGENT" --mysqlh="$MARIADB_HOST" --port="$MARIADB_PORT" --mysqlu="$MARIADB_USER" \
  --mysqlp="$MARIADB_PASSWORD" --src=tabletide_demo --dest="$dest" --acc_ver=1

echo
echo "The Access file is $dest; it holds:"
"$build/console/rwf_show" "$dest"
