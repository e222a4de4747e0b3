#!/usr/bin/env bash
# Builds a release from a clean tree: bash scripts/release.sh [--allow-dirty]
# Writes msitool-<version>-win32-x86.zip (msitool.exe, README.md, LICENSE, the JSON schema of /json),
# SHA256SUMS and RELEASE.txt
# into build/release (MSITOOL_RELEASE_DIR picks another folder), from a fresh build in
# build/release-x86 (MSITOOL_RELEASE_BUILD_DIR).
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

allow_dirty=no
for argument in "$@"; do
  case $argument in
    --allow-dirty) allow_dirty=yes ;;
    *) echo "release.sh: unknown argument: $argument (usage: release.sh [--allow-dirty])" >&2; exit 2 ;;
  esac
done

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

if [[ -n ${MSITOOL_SIGN_PFX:-} && ! -r $MSITOOL_SIGN_PFX ]]; then
  fail "MSITOOL_SIGN_PFX names a file that cannot be read: $MSITOOL_SIGN_PFX"
fi

bash "$root/scripts/install-toolchain.sh"

# The one place the version is written is project() in CMakeLists.txt.
version=$(sed -n 's/^project(msitool VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
[[ -n $version ]] || fail "no 'project(msitool VERSION ...)' line in CMakeLists.txt"
commit=$(git rev-parse HEAD)
# The linker stamps the executable, and the zip stamps every file, with the last commit's time, so
# that one commit gives one zip.
epoch=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH=$epoch
commit_date=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC')

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

# Fixed times, modes and order, and no extra attributes (-X) or folder entries (-D): the zip depends
# only on the four files and the commit.
files=(msitool.exe README.md LICENSE msitool-result.schema.json)
chmod 0644 "${files[@]/#/$stage/}"
touch -d "@$epoch" "${files[@]/#/$stage/}"
zip_name=msitool-$version-win32-x86.zip
rm -f "$out/$zip_name"
(cd "$stage" && TZ=UTC quietly zip -X -D -q "$out/$zip_name" "${files[@]}")

dirty_line=
[[ $tree_state == dirty ]] && dirty_line="Built from a tree with uncommitted changes: not a release of the commit alone."$'\n'
cat >"$out/RELEASE.txt" <<EOF
msitool $version for 32-bit x86 Windows ($zip_name)
Commit: $commit ($commit_date)
$dirty_line$signature_line
EOF
(cd "$out" && sha256sum "$zip_name" >SHA256SUMS && quietly sha256sum -c SHA256SUMS)

echo "== Release in $out:"
(cd "$out" && ls -l "$zip_name" SHA256SUMS RELEASE.txt && cat RELEASE.txt)
