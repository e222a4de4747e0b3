#!/usr/bin/env bash
# Builds msitool and runs every test under Wine: bash scripts/test.sh
# Installs what is missing first (MinGW-w64, Wine, wixl, GoogleTest sources).
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-env.sh
# Whatever Wine left running in the test prefixes stops with this script, pass or fail.
stop_test_prefixes() {
  local prefix
  for prefix in build/windows-x86/wine/*/ build/windows-x64/wine/*/; do
    [[ -f $prefix/system.reg ]] && WINEPREFIX=$PWD/$prefix wineserver -k 2>/dev/null || true
  done
}
trap stop_test_prefixes EXIT

bash scripts/install-toolchain.sh
if wine_runs_32bit; then
  cmake --workflow --preset windows-x86
else
  echo "This machine cannot run 32-bit programs: the tests run on a 64-bit build of the same sources,"
  echo "and the 32-bit tool that ships is built and checked without Wine."
  cmake --workflow --preset windows-x64
  cmake --preset windows-x86
  cmake --build --preset windows-x86 --target msitool
  ctest --preset windows-x86 --label-regex no-wine
fi
