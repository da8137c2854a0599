#!/usr/bin/env bash
# Writes a picture (PNG) of every page and dialog of the rowferry wizard, drawn offscreen while the wizard
# converts the demo database on a throwaway MariaDB server, for review. Usage: scripts/wizard_screens.sh [folder]
# (default: wizard-screens beside the checkout).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$(cd "$here/.." && pwd)/wizard-screens}"
bash "$here/scripts/setup.sh"
build="$here/build/test"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTT_SANITIZE=ON -DTT_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tt_wizard_test
mkdir -p "$out"
out="$(cd "$out" && pwd)"
LSAN_OPTIONS="suppressions=$here/tests/lsan-system.supp" QT_QPA_PLATFORM=offscreen TT_SCREENS_DIR="$out" "$build/GUI2/tt_wizard_test" \
  --gtest_also_run_disabled_tests --gtest_filter='Screens.DISABLED_EveryPageAndDialog'
echo "Pictures of the wizard are in $out:"
ls "$out"
