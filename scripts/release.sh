#!/usr/bin/env bash
# Builds a release from a clean tree: bash scripts/release.sh [--allow-dirty] [--download-url URL]
# Writes msitool-<version>-win32-x86.zip (msitool.exe, README.md, LICENSE, the JSON schema of /json,
# RELEASE.txt), SHA256SUMS, RELEASE.txt, the winget manifest (winget/), the Scoop manifest
# (msitool.json) and the SPDX bill of materials (msitool-<version>-win32-x86.spdx.json)
# into build/release (MSITOOL_RELEASE_DIR picks another folder), from a fresh build in
# build/release-x86 (MSITOOL_RELEASE_BUILD_DIR).
#
# --download-url is the address the package managers download the zip from: an https URI of at
# most 2048 characters, anything outside ASCII percent-encoded. The default is a placeholder under
# example.invalid, which a publisher replaces. The zip does not depend on it. An address, or a value
# from the tree, that the manifests cannot carry stops the script before it builds (exit code 2 for
# an address given here).
#
# Signing: MSITOOL_SIGN_PFX names a PKCS#12 file with the code-signing certificate and its key,
# MSITOOL_SIGN_PASSWORD its password; MSITOOL_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp server
# (without one the signature has no time stamp); MSITOOL_SIGN_CAFILE the CA certificates the
# signature is verified against (osslsigncode's default bundle otherwise). Without MSITOOL_SIGN_PFX
# the release is unsigned and says so.
#
# --allow-dirty builds from a tree with uncommitted changes (for tests); RELEASE.txt then says so.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

usage="usage: release.sh [--allow-dirty] [--download-url URL]"
allow_dirty=no
unset download_url
while (($# > 0)); do
  case $1 in
    --allow-dirty) allow_dirty=yes ;;
    --download-url=*) download_url=${1#*=} ;;
    --download-url)
      (($# > 1)) || { echo "release.sh: --download-url needs an address ($usage)" >&2; exit 2; }
      download_url=$2
      shift ;;
    *) echo "release.sh: unknown argument: $1 ($usage)" >&2; exit 2 ;;
  esac
  shift
done

# address_problem WHAT ADDRESS: one line on why the manifests cannot carry ADDRESS, or nothing.
# Their schemas take a URI (Scoop: RFC 3986, so ASCII with anything else percent-encoded) without
# "$" (Scoop), of at most 2048 characters (winget); winget's community repository takes only https.
# "#" is refused too: no client sends a fragment, and Scoop reads one as a file name.
address_problem() {
  local LC_ALL=C # a byte a character, so that each byte of a non-ASCII character is encoded alone
  local what=$1 address=$2 encoded= byte i
  for ((i = 0; i < ${#address}; i++)); do
    byte=${address:i:1}
    if [[ $byte == [A-Za-z0-9._~:/?@!\&\'\(\)*+,\;=-] || ${address:i:3} == %[0-9A-Fa-f][0-9A-Fa-f] ]]; then
      encoded+=$byte
    else
      printf -v byte '%%%02X' "'$byte"
      encoded+=$byte
    fi
  done
  if [[ -z $address ]]; then
    echo "$what is empty"
  elif [[ $encoded != "$address" ]]; then
    echo "$what must be a URI, with what is not ASCII, spaces, line breaks and \"<>\\^\`{|}[]\$# percent-encoded: $encoded"
  elif [[ ${address,,} != https://?* ]]; then
    echo "$what must be an https address (winget's community repository takes no other): $address"
  elif ((${#address} > 2048)); then
    echo "$what has ${#address} characters; the winget manifest takes at most 2048"
  fi
}

if [[ -v download_url ]]; then
  problem=$(address_problem --download-url "$download_url")
  [[ -z $problem ]] || { echo "release.sh: $problem ($usage)" >&2; exit 2; }
fi

fail() {
  echo "release.sh: $*" >&2
  exit 1
}

changes=$(git status --porcelain) || fail "cannot read the state of the git tree in $root"
tree_state=clean
if [[ -n $changes ]]; then
  [[ $allow_dirty == yes ]] ||
    fail "the tree has uncommitted changes; commit or stash them first (git status):"$'\n'"$changes"
  tree_state=dirty
  echo "== Warning: building from a tree with uncommitted changes (--allow-dirty)"
fi

# The one place the version, the description and the page are written is project() in
# CMakeLists.txt; CMake's own reading of the last two is compared with this one after configuring.
version=$(sed -n 's/^project(msitool VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
[[ -n $version ]] || fail "no 'project(msitool VERSION ...)' line in CMakeLists.txt"
project_value() {
  sed -n "/^project(msitool /,/)\$/s/^[[:space:]]*$1 \"\([^\"]*\)\")\?\$/\1/p" CMakeLists.txt
}
description=$(project_value DESCRIPTION)
homepage=$(project_value HOMEPAGE_URL)
copyright=$(grep -m1 '^Copyright' LICENSE) || fail "no Copyright line in LICENSE"

# text_problem WHAT TEXT MAX [MIN]: one line on why the manifests cannot carry TEXT, or nothing.
# The winget schema counts characters (code points): PackageVersion takes at most 128,
# ShortDescription 3 to 256, Copyright 3 to 512.
text_problem() {
  local LC_ALL=C.UTF-8
  if ! iconv -f UTF-8 -t UTF-8 <<<"$2" >/dev/null 2>&1; then
    echo "$1 is not UTF-8 text"
  elif ((${#2} < ${4:-1} || ${#2} > $3)); then
    echo "$1 has ${#2} characters; the winget manifest takes ${4:-1} to $3"
  fi
}
problems=$(
  text_problem "the version in project() of CMakeLists.txt" "$version" 128
  text_problem "DESCRIPTION in project() of CMakeLists.txt" "$description" 256 3
  text_problem "the Copyright line of LICENSE" "$copyright" 512 3
  address_problem "HOMEPAGE_URL in project() of CMakeLists.txt" "$homepage"
)
[[ -z $problems ]] || { sed 's/^/release.sh: /' <<<"$problems" >&2; exit 1; }

if [[ -n ${MSITOOL_SIGN_PFX:-} && ! -r $MSITOOL_SIGN_PFX ]]; then
  fail "MSITOOL_SIGN_PFX names a file that cannot be read: $MSITOOL_SIGN_PFX"
fi

bash "$root/scripts/install-toolchain.sh"

commit=$(git rev-parse HEAD)
# The linker stamps the executable, and the zip stamps every file, with the last commit's time, so
# that one commit gives one zip.
epoch=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH=$epoch
commit_date=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC')
zip_name=msitool-$version-win32-x86.zip
placeholder_url=https://example.invalid/quorvin/msitool/releases/download/$version/$zip_name
download_url=${download_url:-$placeholder_url}

build=${MSITOOL_RELEASE_BUILD_DIR:-$root/build/release-x86}
out=${MSITOOL_RELEASE_DIR:-$root/build/release}
# The build folder is emptied first; refuse to empty one that is not a build folder.
if [[ -d $build && -n $(ls -A "$build") && ! -f $build/CMakeCache.txt ]]; then
  fail "$build is neither empty nor a CMake build folder; name another one in MSITOOL_RELEASE_BUILD_DIR"
fi
rm -rf "$build"
mkdir -p "$build" "$out"
build=$(cd "$build" && pwd) out=$(cd "$out" && pwd)

# The output of each step goes to a log in the build folder, and is shown when the step fails.
log=$build/release.log
quietly() {
  local step=$build/step.log
  if ! "$@" >"$step" 2>&1; then
    cat "$step" >&2
    fail "'$1 $2' failed (its output is above; all steps in $log)"
  fi
  cat "$step" >>"$log"
}

echo "== Building msitool $version (commit ${commit:0:12}) in $build"
quietly cmake --preset windows-x86 -B "$build"
quietly cmake --build "$build" --target msitool -j 2

# The compiler whose libraries the bill of materials lists, and the project's description and page
# as CMake read them: what was checked above, or nothing is written.
cache_value() {
  sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"
}
[[ $(cache_value CMAKE_PROJECT_DESCRIPTION) == "$description" && $(cache_value CMAKE_PROJECT_HOMEPAGE_URL) == "$homepage" ]] ||
  fail "CMake reads DESCRIPTION or HOMEPAGE_URL of project() in CMakeLists.txt otherwise than this script; write each as one plain quoted line"
compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$build"/CMakeFiles/*/CMakeCXXCompiler.cmake)
[[ -n $compiler ]] || fail "no C++ compiler in $build"

stage=$build/stage
mkdir -p "$stage"
cp "$build/bin/msitool.exe" "$stage/msitool.exe.unsigned"

if [[ -n ${MSITOOL_SIGN_PFX:-} ]]; then
  timestamp=()
  timestamp_note="no time stamp"
  if [[ -n ${MSITOOL_SIGN_TIMESTAMP_URL:-} ]]; then
    timestamp=(-ts "$MSITOOL_SIGN_TIMESTAMP_URL")
    timestamp_note="time-stamped by $MSITOOL_SIGN_TIMESTAMP_URL"
  fi
  echo "== Signing msitool.exe with $MSITOOL_SIGN_PFX ($timestamp_note)"
  # The password goes through a pipe, not the command line that other users can read. Both tools
  # refuse an empty file as a password, so a key without one gets no password option.
  sign_password=() read_password=(-passin pass:)
  if [[ -n ${MSITOOL_SIGN_PASSWORD:-} ]]; then
    sign_password=(-readpass /dev/fd/3) read_password=(-passin fd:3)
  fi
  quietly osslsigncode sign -pkcs12 "$MSITOOL_SIGN_PFX" "${sign_password[@]}" \
    -h sha256 -n "Quorvin Msi Tool" "${timestamp[@]}" \
    -in "$stage/msitool.exe.unsigned" -out "$stage/msitool.exe" </dev/null 3< <(printf '%s' "${MSITOOL_SIGN_PASSWORD:-}")
  verify=(osslsigncode verify -in "$stage/msitool.exe")
  [[ -n ${MSITOOL_SIGN_CAFILE:-} ]] && verify+=(-CAfile "$MSITOOL_SIGN_CAFILE")
  echo "== Verifying the signature"
  if ! "${verify[@]}" >"$build/verify.txt" 2>&1; then
    cat "$build/verify.txt" >&2
    fail "the signature of msitool.exe does not verify"
  fi
  signer=$(openssl pkcs12 -in "$MSITOOL_SIGN_PFX" "${read_password[@]}" -nokeys -clcerts 3< <(printf '%s' "${MSITOOL_SIGN_PASSWORD:-}") |
    openssl x509 -noout -subject -nameopt RFC2253 | sed 's/^subject=//') ||
    fail "cannot read the signer's name from $MSITOOL_SIGN_PFX"
  signature_line="Signature: Authenticode (SHA-256), signed by $signer, $timestamp_note."
else
  mv "$stage/msitool.exe.unsigned" "$stage/msitool.exe"
  signature_line="Signature: none. This release is UNSIGNED: msitool.exe carries no Authenticode signature."
  echo "== No code-signing certificate (MSITOOL_SIGN_PFX): the release is UNSIGNED"
fi
rm -f "$stage/msitool.exe.unsigned"
cp README.md LICENSE docs/msitool-result.schema.json "$stage/"

spdx_name=${zip_name%.zip}.spdx.json
dirty_line=
[[ $tree_state == dirty ]] && dirty_line="Built from a tree with uncommitted changes: not a release of the commit alone."$'\n'
# RELEASE.txt goes into the zip, so it names no download address: one zip serves any address.
cat >"$stage/RELEASE.txt" <<EOF
msitool $version for 32-bit x86 Windows ($zip_name)
Commit: $commit ($commit_date)
$dirty_line$signature_line

The zip holds:
  msitool.exe                 the tool: one file; copy it anywhere and run it as an administrator
  README.md                   how to use it
  LICENSE                     its licence (MIT)
  msitool-result.schema.json  the JSON Schema of what /json writes
  RELEASE.txt                 this file

Beside the zip, in the release:
  SHA256SUMS                  the zip's SHA-256 (check it with: sha256sum -c SHA256SUMS)
  RELEASE.txt                 this file
  $spdx_name
                              the SPDX 2.3 bill of materials: msitool.exe and its hashes, the
                              libraries linked into it (the Debian packages, their versions and
                              licences) and the Windows DLLs it imports
  winget/                     the winget manifest of Quorvin.MsiTool: three files
  msitool.json                the Scoop manifest

To publish: make the release with the address the zip will be downloaded from
(bash scripts/release.sh --download-url https://.../$zip_name) and upload the zip there; then
  winget: copy the three files of winget/ into manifests/q/Quorvin/MsiTool/$version/ of a fork of
          github.com/microsoft/winget-pkgs and open a pull request (or: wingetcreate submit winget);
  Scoop:  copy msitool.json into the bucket/ folder of your Scoop bucket.
Both manifests carry that address and the zip's SHA-256: a zip rebuilt or moved needs new ones.
EOF

# Fixed times, modes and order, and no extra attributes (-X) or folder entries (-D): the zip depends
# only on its five files and the commit.
files=(msitool.exe README.md LICENSE msitool-result.schema.json RELEASE.txt)
chmod 0644 "${files[@]/#/$stage/}"
touch -d "@$epoch" "${files[@]/#/$stage/}"
rm -rf "${out:?}/$zip_name" "${out:?}/winget" "${out:?}/msitool.json" "${out:?}/$spdx_name"
(cd "$stage" && TZ=UTC quietly zip -X -D -q "$out/$zip_name" "${files[@]}")
cp "$stage/RELEASE.txt" "$out/RELEASE.txt"
(cd "$out" && sha256sum "$zip_name" >SHA256SUMS && quietly sha256sum -c SHA256SUMS)

echo "== Writing the winget and Scoop manifests and the bill of materials"
if [[ $download_url == "$placeholder_url" ]]; then
  echo "== Warning: the manifests name the placeholder address $download_url; give the real one with --download-url"
fi
if [[ $homepage == *example.invalid* ]]; then
  echo "== Warning: the project's page is a placeholder ($homepage); set HOMEPAGE_URL in CMakeLists.txt"
fi
MSITOOL_VERSION=$version MSITOOL_COMMIT=$commit MSITOOL_DOWNLOAD_URL=$download_url MSITOOL_HOMEPAGE=$homepage \
  MSITOOL_DESCRIPTION=$description MSITOOL_COPYRIGHT=$copyright \
  quietly python3 "$root/scripts/release-manifests.py" "$out" "$stage" "$out/$zip_name" "$compiler" "${files[@]}"

echo "== Release in $out:"
(cd "$out" && ls -l "$zip_name" SHA256SUMS RELEASE.txt "$spdx_name" msitool.json winget/* && head -n 3 RELEASE.txt)
