#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14 with the address and undefined-behaviour sanitizers) in build/fuzz and
# runs each for a bounded time from a fixed seed corpus: the sample Access files and every input kept from earlier
# findings (tests/data/fuzz/found/<target>), and the text seeds (tests/data/fuzz/seeds/<target>).
#
#   scripts/fuzz.sh [seconds per target]      default 15: the four targets take about a minute
#
# A crash, a hang (10 s on one input), a leak or a stray exception fails the script; the input that caused it is
# left in build/fuzz/findings/. Fix the fault, then keep the input in tests/data/fuzz/found/<target>/ so that the
# normal test build replays it (tests/fuzz/damage_probes_test.cpp).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-15}"
build="$here/build/fuzz"
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld \
  -DTT_FUZZ=ON -DTT_SANITIZE=ON -DTT_BUILD_TESTS=OFF -DTT_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target tt_fuzz_targets -j"$(nproc)"

data="$here/tests/data"
findings="$build/findings"
rm -rf "$findings" "$build/corpus"
mkdir -p "$findings"
status=0
for target in access_read access_edit profile table_list; do
  seeds=()
  case "$target" in
    access_*) seeds=("$data/access-format/jackcess" "$data/access-format/mdb-reader") ;;
  esac
  for dir in "$data/fuzz/found/$target" "$data/fuzz/seeds/$target"; do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "fuzz: $target for ${seconds}s"
  if ! ASAN_OPTIONS=allocator_may_return_null=0:detect_leaks=1 \
      "$build/tests/fuzz/fuzz_$target" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$findings/$target-" "$corpus" "${seeds[@]}" \
      >"$build/$target.log" 2>&1; then
    echo "fuzz: $target found a fault (input in $findings):"
    grep -E 'ERROR|SUMMARY|Test unit written|==[0-9]+==' "$build/$target.log" | head -20 || true
    status=1
  else
    grep -E '^stat::number_of_executed_units' "$build/$target.log" || true
  fi
done
exit "$status"
