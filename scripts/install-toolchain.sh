#!/usr/bin/env bash
# Installs what building and testing msitool needs on Debian 12: the MinGW-w64 cross compilers (the
# 64-bit one for testing where 32-bit programs cannot run), CMake,
# Wine with its 32-bit half, wixl/msitools for test packages, GoogleTest's sources, script(1) for the
# test that needs a terminal, and what a release takes (zip, osslsigncode and openssl for signing and its test).
# Idempotent: apt-get runs only when a package is missing.
set -euo pipefail

packages=(cmake g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 wine32:i386 wixl msitools googletest python3 python3-jsonschema
  bsdutils git zip unzip osslsigncode openssl)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

sudo=()
((EUID == 0)) || sudo=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
