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
#        shop16  a generated database of 16 related tables and 47,000 rows (shop16.sql; its size does not follow rows)
#        scale   bench.orders and the same table at three times the rows (bench3.orders), measured in the same run,
#                the two sizes alternating; prints the larger's time and peak memory as multiples of the smaller's
#                (the goals: time at most 3.2 times, memory within 10 %) beside the read floor's own multiple. The
#                time's multiple is given best against best, and as the median of each round's two runs. Not
#                among the default cases; loading the larger table takes minutes.
#        existing  bench.orders converted with --mode=1, 2 and 3 into an existing file that already holds an
#                  orders table of as many rows (other keys, so that a merge adds them all) and 200 small tables,
#                  beside the same conversion into a new file; prints each mode's ratio to the new file's time
#                  (the goal is at most 1.3). Not among the default cases.
#
# usage: bash bench/convert.sh <build folder> [rows] [csv file]
#   rows  rows of the two generated tables (default 1000000)
#   csv   default <build folder>/bench-convert.csv
# Environment:
#   BENCH_CASES      cases to run (default "orders big chinook shop16")
#   BENCH_FORMATS    --acc_ver values to try (default "0 1 2"; those RWFAGENT refuses are skipped)
#   BENCH_REPEAT     rounds of floor and conversion per case and format, the best of each kept (default 3)
#   BENCH_CALLGRIND  1: also count the conversion's instructions once under callgrind (slow: use fewer rows)
#   BENCH_BUFFER_POOL  InnoDB's buffer pool in bytes for the run (default: the test server's 32 MiB; see cases.sh)
#   BENCH_AGENT      the RWFAGENT to measure (default <build folder>/console/RWFAGENT), e.g. an earlier build's
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:?usage: convert.sh <build folder> [rows] [csv file]}" && pwd)"
rows="${2:-1000000}"
csv="${3:-$build/bench-convert.csv}"
cases="${BENCH_CASES:-orders big chinook shop16}"
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
# The elapsed time is taken to the millisecond around the command (time's own has a resolution of 10 ms, which is
# a tenth of a small case).
timed() {
  local start="$EPOCHREALTIME" end
  /usr/bin/time -f "%M" -o "$work/time.txt" "$@"
  end="$EPOCHREALTIME"
  read -r peak <"$work/time.txt"
  elapsed="$(awk -v a="${start/,/.}" -v b="${end/,/.}" 'BEGIN { printf "%.3f", b - a }')"
}
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }
max() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 > a + 0) ? b : a }'; }
agent_cmd=("$agent" --mysqlh="$MARIADB_HOST" --port="$MARIADB_PORT" --mysqlu="$MARIADB_USER" --mysqlp="$MARIADB_PASSWORD")

# Counts a conversion's instructions under callgrind (they do not depend on the machine's load); sets instructions.
count_instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$@" 2>"$work/callgrind.txt"
  instructions="$(sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$work/callgrind.txt" | tail -1)"
}

# The existing-file case. The file is made once per format from bench_prev (orders with its ids moved past the
# source's, and 200 small tables); every mode then starts from a fresh copy of it. CSV rows: existing-new (the
# conversion into a new file) and existing-mode1..3, each with the read floor of bench.orders.
run_existing() {
  echo "bench: loading existing" >&2
  load_orders
  local sql="CREATE DATABASE bench_prev CHARACTER SET latin1; USE bench_prev; CREATE TABLE orders LIKE bench.orders;
    INSERT INTO bench_prev.orders SELECT id + $rows, customer, email, qty, price, weight, created, shipped, flag,
      code, note, big FROM bench.orders;"
  local i
  for i in $(seq -w 1 200); do
    sql="$sql CREATE TABLE bench_prev.small_$i (id INT PRIMARY KEY, name VARCHAR(40), amount DECIMAL(10,2),
      KEY (name)); INSERT INTO bench_prev.small_$i SELECT seq, CONCAT('item ', seq), seq * 1.25 FROM seq_1_to_20;"
  done
  client -e "$sql"
  local floor_sql="SELECT * FROM bench.orders;" format mode out
  for format in $formats; do
    local ext=mdb
    [ "$format" = 2 ] && ext=accdb
    local base="$work/existing-base-$format.$ext" dest="$work/existing-$format.$ext"
    if ! out="$("${agent_cmd[@]}" --src=bench_prev --dest="$base" --acc_ver="$format" --silent 2>&1)"; then
      if grep -q "cannot write" <<<"$out"; then continue; fi
      echo "bench: making the existing file (acc_ver=$format) failed:" >&2
      echo "$out" >&2
      exit 1
    fi
    local best_floor="" best_new="" peak_new=""
    declare -A best=() peaks=()
    for _ in $(seq "$repeat"); do
      timed "${client_cmd[@]}" --quick -N -e "$floor_sql" >/dev/null
      best_floor="$(min "$best_floor" "$elapsed")"
      rm -f "$dest"
      timed "${agent_cmd[@]}" --src=bench --dest="$dest" --acc_ver="$format" --silent
      best_new="$(min "$best_new" "$elapsed")"
      peak_new="$(max "$peak_new" "$peak")"
      for mode in 1 2 3; do
        rm -f "$dest"
        cp "$base" "$dest"
        timed "${agent_cmd[@]}" --src=bench --dest="$dest" --acc_ver="$format" --mode="$mode" --silent
        best[$mode]="$(min "${best[$mode]:-}" "$elapsed")"
        peaks[$mode]="$(max "${peaks[$mode]:-}" "$peak")"
      done
    done
    for mode in new 1 2 3; do
      local t="$best_new" p="$peak_new" label=existing-new
      if [ "$mode" != new ]; then t="${best[$mode]}" p="${peaks[$mode]}" label="existing-mode$mode"; fi
      instructions=""
      if [ "$callgrind" = 1 ]; then
        rm -f "$dest"
        if [ "$mode" = new ]; then
          count_instructions "${agent_cmd[@]}" --src=bench --dest="$dest" --acc_ver="$format" --silent
        else
          cp "$base" "$dest"
          count_instructions "${agent_cmd[@]}" --src=bench --dest="$dest" --acc_ver="$format" --mode="$mode" --silent
        fi
      fi
      local ratio to_new peak_mib
      ratio="$(awk -v c="$t" -v f="$best_floor" 'BEGIN { printf "%.2f", (f > 0) ? c / f : 0 }')"
      to_new="$(awk -v c="$t" -v n="$best_new" 'BEGIN { printf "%.2f", (n > 0) ? c / n : 0 }')"
      peak_mib="$(awk -v k="$p" 'BEGIN { printf "%.1f", k / 1024 }')"
      printf '%-14s %-6s %9s %10s %9s %7s %9s  to_new %s' "$label" "$format" "$rows" "$t" "$best_floor" "$ratio" \
        "$peak_mib" "$to_new"
      [ -n "$instructions" ] && printf '  Ir %s' "$instructions"
      printf '\n'
      echo "$(date -u +%Y-%m-%dT%H:%M:%SZ),$commit,$label,$format,$rows,$t,$best_floor,$ratio,$peak_mib,,$instructions" >>"$csv"
    done
    unset best peaks
  done
}

# The scale case. CSV rows: scale-1x and scale-3x, each with its own floor.
run_scale() {
  echo "bench: loading scale ($rows and $((3 * rows)) rows)" >&2
  load_orders "$rows" bench
  load_orders "$((3 * rows))" bench3
  local format
  for format in $formats; do
    local ext=mdb
    [ "$format" = 2 ] && ext=accdb
    local dest="$work/scale-$format.$ext"
    if ! out="$("${agent_cmd[@]}" --src=bench --dest="$dest" --acc_ver="$format" 2>&1)"; then
      if grep -q "cannot write" <<<"$out"; then continue; fi
      echo "bench: the conversion of bench (acc_ver=$format) failed:" >&2
      echo "$out" >&2
      exit 1
    fi
    declare -A convs=() floors=() peaks=() this=()
    local k db pairs=""
    for _ in $(seq "$repeat"); do
      for k in 1 3; do
        db=bench
        [ "$k" = 3 ] && db=bench3
        timed "${client_cmd[@]}" --quick -N -e "SELECT * FROM \`$db\`.orders;" >/dev/null
        floors[$k]="$(min "${floors[$k]:-}" "$elapsed")"
        rm -f "$dest"
        timed "${agent_cmd[@]}" --src="$db" --dest="$dest" --acc_ver="$format" --silent
        convs[$k]="$(min "${convs[$k]:-}" "$elapsed")"
        peaks[$k]="$(max "${peaks[$k]:-}" "$peak")"
        this[$k]="$elapsed"
      done
      # The two sizes of one round ran a few seconds apart: their ratio is less exposed to the machine's slower
      # spells (which a run three times as long meets more often) than the ratio of the two best times.
      pairs="$pairs $(awk -v a="${this[1]}" -v b="${this[3]}" 'BEGIN { printf "%.4f", b / a }')"
    done
    local paired
    paired="$(tr ' ' '\n' <<<"$pairs" | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END {
      printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
    for k in 1 3; do
      local ratio peak_mib
      ratio="$(awk -v c="${convs[$k]}" -v f="${floors[$k]}" 'BEGIN { printf "%.2f", (f > 0) ? c / f : 0 }')"
      peak_mib="$(awk -v p="${peaks[$k]}" 'BEGIN { printf "%.1f", p / 1024 }')"
      printf '%-14s %-6s %9s %10s %9s %7s %9s\n' "scale-${k}x" "$format" "$((k * rows))" "${convs[$k]}" "${floors[$k]}" \
        "$ratio" "$peak_mib"
      echo "$(date -u +%Y-%m-%dT%H:%M:%SZ),$commit,scale-${k}x,$format,$((k * rows)),${convs[$k]},${floors[$k]},$ratio,$peak_mib,," >>"$csv"
    done
    awk -v c1="${convs[1]}" -v c3="${convs[3]}" -v f1="${floors[1]}" -v f3="${floors[3]}" -v p1="${peaks[1]}" \
      -v p3="${peaks[3]}" -v fmt="$format" -v paired="$paired" 'BEGIN {
        printf "scale          %-6s time 3x/1x %.2f (goal <= 3.2; median of the rounds %s)  floor 3x/1x %.2f  peak 3x/1x %+.1f %% (goal <= 10 %%)\n",
          fmt, c3 / c1, paired, f3 / f1, (p3 / p1 - 1) * 100 }'
    unset convs floors peaks this
  done
}

if [ ! -f "$csv" ]; then echo "when,commit,case,format,rows,convert_s,floor_s,ratio,peak_mib,file_mib,instructions" >"$csv"; fi
printf '%-8s %-6s %9s %10s %9s %7s %9s %9s\n' case acc_ver rows convert_s floor_s ratio peak_mib file_mib
for name in $cases; do
  if [ "$name" = existing ]; then run_existing; continue; fi
  if [ "$name" = scale ]; then run_scale; continue; fi
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
      count_instructions "${agent_cmd[@]}" --src="$db" --dest="$dest" --acc_ver="$format" --silent
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
