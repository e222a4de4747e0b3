#!/usr/bin/env bash
# Installs what building and testing msitool needs on Debian 12: the MinGW-w64 cross compilers (the
# 64-bit one for testing where 32-bit programs cannot run), CMake, Wine, wixl/msitools for test
# packages, GoogleTest's sources, script(1) for the test that needs a terminal, and what a release
# takes (zip, osslsigncode and openssl for signing and its test; python3-yaml to read the winget
# manifests in the release test). Further packages may be named as arguments: the test command adds
# ansible, for the syntax check of the Ansible tasks the docs show, which the demo does not need.
# Wine's 32-bit half (wine32:i386, with the i386 architecture) only where the kernel runs 32-bit
# programs: elsewhere it could not start, and the tests run the 64-bit build of the same sources.
# A package index that fails to download (a mirror mid-sync) does not stop the install: apt-get
# update is tried a few times, then the install goes on with the indexes it has. Only a failed
# install ends the script, with one line naming what could not be installed.
# Idempotent: apt-get runs only when a package is missing.
# MSITOOL_APT_RETRY_PAUSE: seconds between the tries of apt-get update (default 5).
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/kernel.sh"

packages=(cmake g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 wixl msitools googletest python3 python3-jsonschema python3-yaml
  bsdutils git zip unzip osslsigncode openssl "$@")
if kernel_runs_32bit; then
  packages+=(wine32:i386)
else
  echo "This kernel runs no 32-bit programs: Wine's 32-bit half is left out, and the 64-bit build will be tested."
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

sudo=()
((EUID == 0)) || sudo=(sudo)
if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
tries=3
for ((try = 1; try <= tries; try++)); do
  "${sudo[@]}" apt-get update -q && break
  if ((try < tries)); then
    echo "apt-get update failed (try $try of $tries); trying again"
    sleep "${MSITOOL_APT_RETRY_PAUSE:-5}"
  else
    echo "apt-get update failed $tries times; installing from the package indexes there are"
  fi
done

apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT
if ! DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" 2>&1 |
  tee "$apt_log"; then
  apt_error=$(grep -m1 '^E: ' "$apt_log" || tail -n1 "$apt_log")
  echo "install-toolchain.sh: could not install ${missing[*]}: $apt_error" >&2
  exit 1
fi
