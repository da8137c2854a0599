#!/usr/bin/env bash
# Installs what is missing, builds everything with the sanitizers, and runs every test.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
build="$here/build/test"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTT_SANITIZE=ON -DTT_WERROR=ON
cmake --build "$build" -j"$(nproc)"
# A test that fails is run once more before the run fails: the MariaDB-backed tests start real servers
# and can time out on a machine that is busy with something else.
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900 --repeat until-pass:2
