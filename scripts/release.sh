#!/usr/bin/env bash
# Builds a release from a clean tree: bash scripts/release.sh [--allow-dirty] [--download-url FOLDER]
# Writes into build/release (MSITOOL_RELEASE_DIR picks another folder):
#   msitool-<version>-win64-x64.zip and msitool-<version>-win32-x86.zip, each with its architecture's
#     msitool.exe and the same README.md, LICENSE and JSON schema of /json, and a RELEASE.txt whose
#     first line names its zip;
#   SHA256SUMS, RELEASE.txt, the winget manifest (winget/), the Scoop manifest (msitool.json) and the
#     SPDX bill of materials (msitool-<version>.spdx.json), each of them naming both zips;
# from fresh builds of the presets windows-x64 and windows-x86, in the folders of those names under
# build/release-builds (MSITOOL_RELEASE_BUILD_DIR picks another folder for the two).
#
# --download-url is the folder the package managers download the zips from: an https URI that ends
# in "/" and has no query, since each manifest adds its zip's name to it; at most 2048 characters
# with that name; a host name, and no user name or password, before the path; a host name outside
# ASCII in its xn-- form, anything else outside ASCII percent-encoded. An address without the final
# "/" is refused rather than completed: it is most likely a zip's own address. The default is a
# placeholder under example.invalid, which a publisher replaces. The zips do not depend on it. An
# address, or a value from the tree, that the manifests cannot carry stops the script before it
# builds (exit code 2 for an address given here).
#
# Signing: MSITOOL_SIGN_PFX names a PKCS#12 file with the code-signing certificate and its key,
# MSITOOL_SIGN_PASSWORD its password; MSITOOL_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp server
# (without one the signature has no time stamp); MSITOOL_SIGN_CAFILE the CA certificates the
# signature is verified against (osslsigncode's default bundle otherwise). Without MSITOOL_SIGN_PFX
# the release is unsigned and says so. Both executables are signed with the same certificate.
#
# --allow-dirty builds from a tree with uncommitted changes (for tests); RELEASE.txt then says so.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

usage="usage: release.sh [--allow-dirty] [--download-url FOLDER]"
allow_dirty=no
unset download_url
while (($# > 0)); do
  case $1 in
    --allow-dirty) allow_dirty=yes ;;
    --download-url=*) download_url=${1#*=} ;;
    --download-url)
      (($# > 1)) || { echo "release.sh: --download-url needs a folder's address ($usage)" >&2; exit 2; }
      download_url=$2
      shift ;;
    *) echo "release.sh: unknown argument: $1 ($usage)" >&2; exit 2 ;;
  esac
  shift
done

# percent_encoded TEXT: TEXT with what a URI cannot hold as it is percent-encoded, byte by byte.
percent_encoded() {
  local LC_ALL=C # a byte a character, so that each byte of a non-ASCII character is encoded alone
  local text=$1 encoded= byte i
  for ((i = 0; i < ${#text}; i++)); do
    byte=${text:i:1}
    if [[ $byte == [A-Za-z0-9._~:/?@!\&\'\(\)*+,\;=-] || ${text:i:3} == %[0-9A-Fa-f][0-9A-Fa-f] ]]; then
      encoded+=$byte
    else
      printf -v byte '%%%02X' "'$byte"
      encoded+=$byte
    fi
  done
  echo "$encoded"
}

# xn_host HOST: HOST, percent-decoded, as a URI writes a host name (IDNA): each label outside ASCII
# lower-cased, composed (NFC) and punycoded behind "xn--"; fails when HOST is not UTF-8.
xn_host() {
  printf %s "$1" | python3 -c '
import sys, unicodedata, urllib.parse
try:
    host = urllib.parse.unquote_to_bytes(sys.stdin.buffer.read()).decode("utf-8")
except UnicodeDecodeError:
    sys.exit(1)
labels = unicodedata.normalize("NFC", host.lower()).split(".")
print(".".join(label if label.isascii() else "xn--" + label.encode("punycode").decode() for label in labels))'
}

# address_problem WHAT ADDRESS: one line on why the manifests cannot carry ADDRESS, or nothing.
# Their schemas take a URI (Scoop: RFC 3986, so ASCII with anything else percent-encoded, and a host
# name in its xn-- form) without "$" (Scoop), of at most 2048 characters (winget); winget's community
# repository takes only https. "#" is refused too: no client sends a fragment, and Scoop reads one
# as a file name. A user name or password would be published in every manifest.
address_problem() {
  local LC_ALL=C
  local what=$1 address=$2 scheme= authority= rest=$2 host port= xn
  if [[ $address =~ ^[A-Za-z][A-Za-z0-9+.-]*:// ]]; then
    scheme=${BASH_REMATCH[0]} rest=${address:${#BASH_REMATCH[0]}}
    authority=${rest%%[/?#]*}
    rest=${rest:${#authority}}
  fi
  host=${authority##*@}
  [[ $host =~ :[0-9]*$ ]] && port=${BASH_REMATCH[0]} host=${host%"$port"}
  if [[ -z $address ]]; then
    echo "$what is empty"
  elif [[ $authority == *@* ]]; then
    echo "$what holds a user name or password (before \"@\"), which every manifest would publish; without it: $scheme$host$port$rest"
  elif [[ $host == *[![:ascii:]]* ]]; then
    if xn=$(xn_host "$host"); then
      echo "$what must be a URI, with its host name in its xn-- (IDNA) form and what else is not ASCII, spaces, line breaks and \"<>\\^\`{|}[]\$# percent-encoded: $(percent_encoded "$scheme$xn$port$rest")"
    else
      echo "$what has a host name outside ASCII that is not UTF-8 text"
    fi
  elif [[ $(percent_encoded "$address") != "$address" ]]; then
    echo "$what must be a URI, with what is not ASCII, spaces, line breaks and \"<>\\^\`{|}[]\$# percent-encoded: $(percent_encoded "$address")"
  elif [[ ${address,,} != https://?* ]]; then
    echo "$what must be an https address (winget's community repository takes no other): $address"
  elif [[ -z $host ]]; then
    echo "$what has no host name: $address"
  elif [[ $host == *%* ]]; then
    if xn=$(xn_host "$host"); then
      echo "$what has a percent-encoded host name; a host name outside ASCII is written in its xn-- (IDNA) form: $scheme$xn$port$rest"
    else
      echo "$what has a percent-encoded host name that is not UTF-8 text"
    fi
  elif ((${#address} > 2048)); then
    echo "$what has ${#address} characters; the winget manifest takes at most 2048"
  fi
}

# folder_problem WHAT FOLDER: the same for the folder the zips are downloaded from, to which each
# manifest adds its zip's name.
folder_problem() {
  local what=$1 folder=$2
  local problem
  problem=$(address_problem "$what" "$folder")
  if [[ -n $problem ]]; then
    echo "$problem"
  elif [[ $folder != */ ]]; then
    echo "$what is the folder the zips are downloaded from, and ends in \"/\" (each manifest adds its zip's name): $folder"
  elif [[ $folder == *\?* ]]; then
    echo "$what has a query (\"?\"); each manifest adds its zip's name to the folder's path: $folder"
  fi
}

if [[ -v download_url ]]; then
  problem=$(folder_problem --download-url "$download_url")
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

# Each architecture's zip: its name, and the words RELEASE.txt describes it with. x64 comes first
# everywhere: most machines are 64-bit.
architectures=(x64 x86)
declare -A zip_names=([x64]=msitool-$version-win64-x64.zip [x86]=msitool-$version-win32-x86.zip)
declare -A arch_words=([x64]="64-bit x64 Windows" [x86]="32-bit x86 Windows")
longest_zip_name=0
for arch in "${architectures[@]}"; do
  ((${#zip_names[$arch]} <= longest_zip_name)) || longest_zip_name=${#zip_names[$arch]}
done
if [[ -v download_url ]] && ((${#download_url} + longest_zip_name > 2048)); then
  echo "release.sh: --download-url has ${#download_url} characters, and with a zip's name after it" \
    "$((${#download_url} + longest_zip_name)); the winget manifest takes at most 2048 ($usage)" >&2
  exit 2
fi

if [[ -n ${MSITOOL_SIGN_PFX:-} ]]; then
  [[ -r $MSITOOL_SIGN_PFX ]] || fail "MSITOOL_SIGN_PFX names a file that cannot be read: $MSITOOL_SIGN_PFX"
  # The password goes through a pipe, not the command line that other users can read. Both tools
  # refuse an empty file as a password, so a key without one gets no password option. A wrong
  # password stops the release here, before two builds.
  sign_password=() read_password=(-passin pass:)
  if [[ -n ${MSITOOL_SIGN_PASSWORD:-} ]]; then
    sign_password=(-readpass /dev/fd/3) read_password=(-passin fd:3)
  fi
  read_certificate() {
    openssl pkcs12 -in "$MSITOOL_SIGN_PFX" "${read_password[@]}" -nokeys -clcerts 3< <(printf '%s' "${MSITOOL_SIGN_PASSWORD:-}")
  }
  if ! certificate=$(read_certificate 2>/dev/null); then
    error=$(read_certificate 2>&1 >/dev/null) || true
    fail "cannot open $MSITOOL_SIGN_PFX with MSITOOL_SIGN_PASSWORD (a wrong password?): ${error%%$'\n'*}"
  fi
  signer=$(openssl x509 -noout -subject -nameopt RFC2253 <<<"$certificate" | sed 's/^subject=//') ||
    fail "cannot read the signer's name from $MSITOOL_SIGN_PFX"
  timestamp=()
  timestamp_note="no time stamp"
  if [[ -n ${MSITOOL_SIGN_TIMESTAMP_URL:-} ]]; then
    timestamp=(-ts "$MSITOOL_SIGN_TIMESTAMP_URL")
    timestamp_note="time-stamped by $MSITOOL_SIGN_TIMESTAMP_URL"
  fi
  signature_line="Signature: Authenticode (SHA-256) on both executables, signed by $signer, $timestamp_note."
else
  signature_line="Signature: none. This release is UNSIGNED: neither msitool.exe carries an Authenticode signature."
fi

bash "$root/scripts/install-toolchain.sh"

commit=$(git rev-parse HEAD)
# The zip stamps every file with the last commit's time, so that one commit gives one zip; the
# executables carry no time at all (CMakeLists.txt).
epoch=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH=$epoch
commit_date=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC')
placeholder_folder=https://example.invalid/quorvin/msitool/releases/download/$version/
download_folder=${download_url:-$placeholder_folder}

builds=${MSITOOL_RELEASE_BUILD_DIR:-$root/build/release-builds}
out=${MSITOOL_RELEASE_DIR:-$root/build/release}
# Each build folder is emptied first; refuse to empty one that is not a build folder.
for arch in "${architectures[@]}"; do
  build=$builds/windows-$arch
  if [[ -d $build && -n $(ls -A "$build") && ! -f $build/CMakeCache.txt ]]; then
    fail "$build is neither empty nor a CMake build folder; name another folder in MSITOOL_RELEASE_BUILD_DIR"
  fi
done
for arch in "${architectures[@]}"; do
  rm -rf "${builds:?}/windows-$arch"
  mkdir -p "$builds/windows-$arch"
done
mkdir -p "$out"
builds=$(cd "$builds" && pwd) out=$(cd "$out" && pwd)

# The output of each step goes to a log beside the build folders, and is shown when the step fails.
log=$builds/release.log
: >"$log"
quietly() {
  local step=$builds/step.log
  if ! "$@" >"$step" 2>&1; then
    cat "$step" >&2
    fail "'$1 $2' failed (its output is above; all steps in $log)"
  fi
  cat "$step" >>"$log"
}

# The compiler whose libraries the bill of materials lists, and the project's description and page
# as CMake read them: what was checked above, or nothing is written.
cache_value() {
  sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"
}

# Each architecture is built, then signed and verified, before the next is built: a signature that
# fails stops the release after one build.
declare -A compilers
for arch in "${architectures[@]}"; do
  build=$builds/windows-$arch
  echo "== Building msitool $version for ${arch_words[$arch]} (commit ${commit:0:12}) in $build"
  quietly cmake --preset "windows-$arch" -B "$build"
  quietly cmake --build "$build" --target msitool -j 2
  [[ $(cache_value CMAKE_PROJECT_DESCRIPTION) == "$description" && $(cache_value CMAKE_PROJECT_HOMEPAGE_URL) == "$homepage" ]] ||
    fail "CMake reads DESCRIPTION or HOMEPAGE_URL of project() in CMakeLists.txt otherwise than this script; write each as one plain quoted line"
  compilers[$arch]=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$build"/CMakeFiles/*/CMakeCXXCompiler.cmake)
  [[ -n ${compilers[$arch]} ]] || fail "no C++ compiler in $build"

  stage=$build/stage
  mkdir -p "$stage"
  if [[ -n ${MSITOOL_SIGN_PFX:-} ]]; then
    echo "== Signing the $arch msitool.exe with $MSITOOL_SIGN_PFX ($timestamp_note)"
    quietly osslsigncode sign -pkcs12 "$MSITOOL_SIGN_PFX" "${sign_password[@]}" \
      -h sha256 -n "Quorvin Msi Tool" "${timestamp[@]}" \
      -in "$build/bin/msitool.exe" -out "$stage/msitool.exe" </dev/null 3< <(printf '%s' "${MSITOOL_SIGN_PASSWORD:-}")
    verify=(osslsigncode verify -in "$stage/msitool.exe")
    [[ -n ${MSITOOL_SIGN_CAFILE:-} ]] && verify+=(-CAfile "$MSITOOL_SIGN_CAFILE")
    echo "== Verifying the signature"
    if ! "${verify[@]}" >"$build/verify.txt" 2>&1; then
      cat "$build/verify.txt" >&2
      fail "the signature of the $arch msitool.exe does not verify"
    fi
  else
    cp "$build/bin/msitool.exe" "$stage/msitool.exe"
  fi
  cp README.md LICENSE docs/msitool-result.schema.json "$stage/"
done
[[ -n ${MSITOOL_SIGN_PFX:-} ]] || echo "== No code-signing certificate (MSITOOL_SIGN_PFX): the release is UNSIGNED"

spdx_name=msitool-$version.spdx.json
dirty_line=
[[ $tree_state == dirty ]] && dirty_line="Built from a tree with uncommitted changes: not a release of the commit alone."$'\n'
# release_text FIRST_LINE: RELEASE.txt under that line. It goes into the zips, so it names no
# download address: one zip serves any address.
release_text() {
  cat <<EOF
$1
Commit: $commit ($commit_date)
$dirty_line$signature_line

Which zip: ${zip_names[x64]} for 64-bit Windows, ${zip_names[x86]} for
32-bit Windows. Both hold the same tool, built from the same sources, and behave the same.

Each zip holds:
  msitool.exe                 the tool: one file; copy it anywhere and run it as an administrator
  README.md                   how to use it
  LICENSE                     its licence (MIT)
  msitool-result.schema.json  the JSON Schema of what /json writes
  RELEASE.txt                 this file, its first line naming its zip

Beside the zips, in the release:
  SHA256SUMS                  the zips' SHA-256 (check them with: sha256sum -c SHA256SUMS)
  RELEASE.txt                 this file, its first line naming both zips
  $spdx_name
                              the SPDX 2.3 bill of materials: both zips and their files with their
                              hashes; for each msitool.exe, the libraries linked into it (the
                              Debian packages, their versions and licences) and the Windows DLLs
                              it imports
  winget/                     the winget manifest of Quorvin.MsiTool: three files, one installer
                              an architecture
  msitool.json                the Scoop manifest, one download an architecture

To publish: make the release with the folder the zips will be downloaded from
(bash scripts/release.sh --download-url https://.../) and upload both zips into it; then
  winget: copy the three files of winget/ into manifests/q/Quorvin/MsiTool/$version/ of a fork of
          github.com/microsoft/winget-pkgs and open a pull request (or: wingetcreate submit winget);
  Scoop:  copy msitool.json into the bucket/ folder of your Scoop bucket.
Both manifests carry each zip's address and SHA-256: a zip rebuilt or moved needs new ones.
EOF
}

# Fixed times, modes and order, and no extra attributes (-X) or folder entries (-D): a zip depends
# only on its five files and the commit.
files=(msitool.exe README.md LICENSE msitool-result.schema.json RELEASE.txt)
# A reused folder may hold the bill of a release that had one zip, the x86 one, named after it.
rm -rf "${out:?}/winget" "${out:?}/msitool.json" "${out:?}/$spdx_name" "${out:?}/${zip_names[x86]%.zip}.spdx.json"
manifest_arguments=()
for arch in "${architectures[@]}"; do
  stage=$builds/windows-$arch/stage
  release_text "msitool $version for ${arch_words[$arch]} (${zip_names[$arch]})" >"$stage/RELEASE.txt"
  chmod 0644 "${files[@]/#/$stage/}"
  touch -d "@$epoch" "${files[@]/#/$stage/}"
  rm -f "${out:?}/${zip_names[$arch]}"
  (cd "$stage" && TZ=UTC quietly zip -X -D -q "$out/${zip_names[$arch]}" "${files[@]}")
  manifest_arguments+=("$arch" "$stage" "$out/${zip_names[$arch]}" "${compilers[$arch]}")
done
release_text "msitool $version for Windows: ${zip_names[x64]} (64-bit) and ${zip_names[x86]} (32-bit)" >"$out/RELEASE.txt"
(cd "$out" && sha256sum "${zip_names[x64]}" "${zip_names[x86]}" >SHA256SUMS && quietly sha256sum -c SHA256SUMS)

echo "== Writing the winget and Scoop manifests and the bill of materials"
if [[ $download_folder == "$placeholder_folder" ]]; then
  echo "== Warning: the manifests name the placeholder folder $download_folder; give the real one with --download-url"
fi
if [[ $homepage == *example.invalid* ]]; then
  echo "== Warning: the project's page is a placeholder ($homepage); set HOMEPAGE_URL in CMakeLists.txt"
fi
MSITOOL_VERSION=$version MSITOOL_COMMIT=$commit MSITOOL_DOWNLOAD_FOLDER=$download_folder MSITOOL_HOMEPAGE=$homepage \
  MSITOOL_DESCRIPTION=$description MSITOOL_COPYRIGHT=$copyright \
  quietly python3 "$root/scripts/release-manifests.py" "$out" "${manifest_arguments[@]}"

echo "== Release in $out:"
(cd "$out" && ls -l "${zip_names[x64]}" "${zip_names[x86]}" SHA256SUMS RELEASE.txt "$spdx_name" msitool.json winget/* &&
  head -n 1 RELEASE.txt)
