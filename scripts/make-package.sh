#!/usr/bin/env bash
# The one recipe for a test package: a product that installs readme.txt into its own folder under the
# Program Files folder of its architecture. The test build, the demo (through the test build) and the
# benchmark all make their packages with it.
#   make-package.sh OUTPUT.msi ARCH(x86|x64) NAME VERSION PRODUCT_CODE UPGRADE_CODE COMPONENT_CODE FOLDER
set -euo pipefail

if (($# != 8)); then
  echo "usage: $0 OUTPUT.msi x86|x64 NAME VERSION PRODUCT_CODE UPGRADE_CODE COMPONENT_CODE FOLDER" >&2
  exit 2
fi
output=$1 arch=$2 name=$3 version=$4 product=$5 upgrade=$6 component=$7 folder=$8
case $arch in
  x86) program_files=ProgramFilesFolder win64=no ;;
  x64) program_files=ProgramFiles64Folder win64=yes ;;
  *) echo "$0: ARCH is x86 or x64, not $arch" >&2; exit 2 ;;
esac
[[ $output == /* ]] || output=$PWD/$output
mkdir -p "$(dirname "$output")"
# wixl resolves Source paths against the working directory, so it runs beside Package.wxs.
cd "$(dirname "${BASH_SOURCE[0]}")/../tests/packages"
exec wixl -a "$arch" -D ProductCode="$product" -D ProductName="$name" -D Version="$version" \
  -D UpgradeCode="$upgrade" -D Manufacturer=Quorvin -D ProgramFiles="$program_files" \
  -D Win64="$win64" -D FolderName="$folder" -D ComponentCode="$component" -o "$output" Package.wxs
