#!/usr/bin/env bash
# Installs what is missing, builds everything with the sanitizers, and runs every test.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
build="$here/build/test"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTT_SANITIZE=ON -DTT_WERROR=ON
cmake --build "$build" -j"$(nproc)"
# The leak checker leaves alone what system libraries keep for the life of a process (ctest sets the same for
# each test; the fuzz runs and any program started from here get it too).
export LSAN_OPTIONS="suppressions=$here/tests/lsan-system.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Every test runs once: a failure is a fault to mend, never retried away.
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900
# The fuzz targets from their fixed seed corpus, about a minute in all.
bash "$here/scripts/fuzz.sh" 15
