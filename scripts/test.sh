#!/usr/bin/env bash
# Builds msitool and runs every test under Wine: bash scripts/test.sh
# Installs what is missing first (MinGW-w64, Wine, wixl, GoogleTest sources).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-toolchain.sh
cmake --workflow --preset windows-x86
