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
  echo "Testing the 64-bit build under Wine; the 32-bit msitool.exe that ships is built and inspected."
  cmake --workflow --preset windows-x64
  cmake --preset windows-x86
  cmake --build --preset windows-x86 --target msitool
  ctest --preset windows-x86 --label-regex no-wine
fi
