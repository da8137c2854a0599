#!/usr/bin/env bash
# Conversion speed and memory beside the MySQL read floor.
#
# For each case and each Access format RWFAGENT can write, prints the conversion time, the time the mariadb client
# takes to stream the same rows to /dev/null (the read floor, measured in the same run, the two commands
# alternating), their ratio and the conversion's peak memory, and appends the figures to a CSV file so that each
# change can be compared with the last.
#
# Cases: orders  the latin1 table bench.orders of bench/orders-1m.sql (12 columns, a primary key, a text index)
#        big     a generated utf8mb4 table of 12 mixed columns (a primary key and an index over a text column)
#        chinook the Chinook sample database (11 tables, 15,600 rows)
#
# usage: bash bench/convert.sh <build folder> [rows] [csv file]
#   rows  rows of the two generated tables (default 1000000)
#   csv   default <build folder>/bench-convert.csv
# Environment:
#   BENCH_CASES      cases to run (default "orders big chinook")
#   BENCH_FORMATS    --acc_ver values to try (default "0 1 2"; those RWFAGENT refuses are skipped)
#   BENCH_REPEAT     rounds of floor and conversion per case and format, the best of each kept (default 3)
#   BENCH_CALLGRIND  1: also count the conversion's instructions once under callgrind (slow: use fewer rows)
#   BENCH_AGENT      the RWFAGENT to measure (default <build folder>/console/RWFAGENT), e.g. an earlier build's
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:?usage: convert.sh <build folder> [rows] [csv file]}" && pwd)"
rows="${2:-1000000}"
csv="${3:-$build/bench-convert.csv}"
cases="${BENCH_CASES:-orders big chinook}"
formats="${BENCH_FORMATS:-0 1 2}"
repeat="${BENCH_REPEAT:-3}"
callgrind="${BENCH_CALLGRIND:-0}"
agent="$(realpath "${BENCH_AGENT:-$build/console/RWFAGENT}")"
source "$here/cases.sh"
commit="$(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo unknown)"
if [ -n "$(git -C "$here" status --porcelain --untracked-files=no 2>/dev/null)" ]; then commit="$commit+"; fi
[ -n "${BENCH_AGENT:-}" ] && commit="$(basename "$agent")"

# ---- measuring -------------------------------------------------------------------------------------------------
# Runs a program (not a shell function) under /usr/bin/time; sets elapsed (seconds) and peak (KiB).
timed() {
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@"
  read -r elapsed peak <"$work/time.txt"
}
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }
max() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 > a + 0) ? b : a }'; }
agent_cmd=("$agent" --mysqlh="$MARIADB_HOST" --port="$MARIADB_PORT" --mysqlu="$MARIADB_USER" --mysqlp="$MARIADB_PASSWORD")

if [ ! -f "$csv" ]; then echo "when,commit,case,format,rows,convert_s,floor_s,ratio,peak_mib,file_mib,instructions" >"$csv"; fi
printf '%-8s %-6s %9s %10s %9s %7s %9s %9s\n' case acc_ver rows convert_s floor_s ratio peak_mib file_mib
for name in $cases; do
  echo "bench: loading $name" >&2
  "load_$name"
  db="$(database_of "$name")"
  tables="$(client -N -e "SELECT table_name FROM information_schema.tables WHERE table_schema = '$db'")"
  floor_sql=""
  for t in $tables; do floor_sql="$floor_sql SELECT * FROM \`$db\`.\`$t\`;"; done
  count="$(for t in $tables; do client -N -e "SELECT COUNT(*) FROM \`$db\`.\`$t\`"; done | awk '{ s += $1 } END { print s }')"

  for format in $formats; do
    dest="$work/$name-$format.mdb"
    [ "$format" = 2 ] && dest="$work/$name-$format.accdb"
    # A first conversion, not silent, tells the formats this build cannot write yet (and warms the caches).
    if ! out="$("${agent_cmd[@]}" --src="$db" --dest="$dest" --acc_ver="$format" 2>&1)"; then
      if grep -q "cannot write" <<<"$out"; then continue; fi
      echo "bench: the conversion of $name (acc_ver=$format) failed:" >&2
      echo "$out" >&2
      exit 1
    fi
    best_convert="" best_floor="" best_peak=""
    for _ in $(seq "$repeat"); do
      timed "${client_cmd[@]}" --quick -N -e "$floor_sql" >/dev/null
      best_floor="$(min "$best_floor" "$elapsed")"
      rm -f "$dest"
      timed "${agent_cmd[@]}" --src="$db" --dest="$dest" --acc_ver="$format" --silent
      best_convert="$(min "$best_convert" "$elapsed")"
      best_peak="$(max "$best_peak" "$peak")"
    done
    instructions=""
    if [ "$callgrind" = 1 ]; then
      rm -f "$dest"
      valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "${agent_cmd[@]}" --src="$db" \
        --dest="$dest" --acc_ver="$format" --silent 2>"$work/callgrind.txt"
      instructions="$(sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$work/callgrind.txt" | tail -1)"
    fi
    ratio="$(awk -v c="$best_convert" -v f="$best_floor" 'BEGIN { printf "%.2f", (f > 0) ? c / f : 0 }')"
    peak_mib="$(awk -v k="$best_peak" 'BEGIN { printf "%.1f", k / 1024 }')"
    file_mib="$(awk -v b="$(stat -c %s "$dest")" 'BEGIN { printf "%.1f", b / 1048576 }')"
    printf '%-8s %-6s %9s %10s %9s %7s %9s %9s' "$name" "$format" "$count" "$best_convert" "$best_floor" "$ratio" \
      "$peak_mib" "$file_mib"
    [ -n "$instructions" ] && printf '  Ir %s' "$instructions"
    printf '\n'
    echo "$(date -u +%Y-%m-%dT%H:%M:%SZ),$commit,$name,$format,$count,$best_convert,$best_floor,$ratio,$peak_mib,$file_mib,$instructions" >>"$csv"
  done
done
echo "bench: figures appended to $csv" >&2
