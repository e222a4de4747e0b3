#!/usr/bin/env bash
# The demo: builds msitool.exe and the sample packages, installs a product family into a throwaway
# Wine prefix, finds its UpgradeCode with /families and /families /find:, lists it with /list, and
# shows its uninstall entries at each step: /hideoldaddremoves; the newest member removed with
# msiexec /x, which leaves the family without a visible entry (/families flags it); the undo,
# /showaddremoves, and /hideoldaddremoves again; and /uninstall /report.
# Run from the repository root on Debian 12. MSITOOL_BUILD_DIR picks another build folder than the
# preset's build/windows-x86 (build/windows-x64, the 64-bit build of the same sources, on a machine
# that cannot run 32-bit programs); MSITOOL_DEMO_DIR another folder for the prefix than build/demo.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-toolchain.sh"

source "$root/scripts/wine-env.sh"
preset=windows-x86
wine_runs_32bit || preset=windows-x64
build=${MSITOOL_BUILD_DIR:-$root/build/$preset}
echo "== Building msitool.exe and the test packages in $build"
cmake --preset $preset -B "$build" >/dev/null
cmake --build "$build" --target msitool test_packages -j2 >/dev/null
packages=$build/bin/packages
tool=$build/bin/msitool.exe
# The product and upgrade codes, as the packages' CMakeLists.txt gives them.
source "$packages/packages.sh"

demo=${MSITOOL_DEMO_DIR:-$root/build/demo}
echo "== Preparing a throwaway Wine prefix in $demo/prefix"
# Called in a condition, since both run commands that may fail on the way (wineserver -k with no
# server running) and set -e would stop the script there.
boot_prefix "$demo/template" || { echo "Cannot boot a Wine prefix in $demo/template" >&2; exit 1; }
fresh_prefix "$demo/template" "$demo/prefix" || { echo "Cannot copy the prefix to $demo/prefix" >&2; exit 1; }
export WINEPREFIX=$demo/prefix
trap 'wineserver -k 2>/dev/null || true' EXIT

products=(SAMPLE1 SAMPLE2 SAMPLE3 OTHER LONER)
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'

echo "== Installing Quorvin Sample 2.0.0 (x64), 1.0.0 and 3.0.0 (x86), Quorvin Other 1.0.0, and Quorvin Loner 1.0.0 (no UpgradeCode)"
# Wine's own diagnostics from the first programs in a new prefix go to a log, not between the tables.
log=$demo/wine.log
: >"$log"
for id in SAMPLE2 SAMPLE1 SAMPLE3 OTHER LONER; do
  file_var=${id}_FILE
  status=0
  wine msiexec /i "$(wine winepath -w "$packages/${!file_var}" 2>>"$log")" /qn 2>>"$log" || status=$?
  if ((status != 0)); then
    echo "msiexec failed on ${!file_var} with exit code $status (see $log)" >&2
    exit 1
  fi
done

# packed_guid {GUID}: the GUID as Windows Installer's registration names it (each group's hex digits
# reversed, the last 16 digits reversed pair by pair).
packed_guid() {
  local hex=${1//[\{\}-]/} packed i
  packed=$(rev <<<"${hex:0:8}")$(rev <<<"${hex:8:4}")$(rev <<<"${hex:12:4}")
  for ((i = 16; i < 32; i += 2)); do packed+=${hex:i+1:1}${hex:i:1}; done
  echo "${packed^^}"
}

table() {
  echo
  echo "-- Uninstall entries $1"
  local view id code_var name_var version_var line name version hidden found
  for view in 32 64; do
    wine reg query "$uninstall" /s "/reg:$view" >"$demo/dump.$view.txt" 2>/dev/null || true
  done
  printf '   %-16s %-8s %-6s %s\n' Product Version View Hidden
  for id in "${products[@]}"; do
    code_var=${id}_PRODUCT_CODE name_var=${id}_NAME version_var=${id}_VERSION
    found=no
    for view in 32 64; do
      line=$(python3 "$root/scripts/reg_dump.py" entry "$demo/dump.$view.txt" "${!code_var}")
      [[ -n $line ]] || continue
      IFS='|' read -r name version hidden <<<"$line"
      printf '   %-16s %-8s %-6s %s\n' "$name" "$version" "$view-bit" "$hidden"
      found=yes
    done
    [[ $found == yes ]] || printf '   %-16s %-8s %-6s %s\n' "${!name_var}" "${!version_var}" - "(no entry)"
  done
  echo
}

run_tool() {
  echo "\$ wine msitool.exe $*"
  local status=0
  wine "$tool" "$@" || status=$?
  echo "(exit code $status)"
}

table "after installing"
run_tool /families
run_tool /families /find:sample
run_tool /list "/u:$SAMPLE_UPGRADE_CODE"
run_tool /hideoldaddremoves "/u:$SAMPLE_UPGRADE_CODE"
table "after /hideoldaddremoves"

# The hazard of hiding: the one visible member goes, and the older ones stay installed out of sight.
# Windows then keeps the family's registration of the members left; Wine's msiexec deletes the
# family's whole key, so the demo saves it first and gives it back without the removed member.
# It is in one of these keys (Wine's in the second).
family_keys=('HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes'
             'HKLM\SOFTWARE\Classes\Installer\UpgradeCodes')
packed_family=$(packed_guid "$SAMPLE_UPGRADE_CODE")
saved=()
for i in "${!family_keys[@]}"; do
  wine reg export "${family_keys[i]}\\$packed_family" "$(wine winepath -w "$demo/family.$i.reg" 2>>"$log")" /y \
    >>"$log" 2>&1 && saved+=("$i")
done
((${#saved[@]} > 0)) || { echo "Cannot find the registration of $SAMPLE_UPGRADE_CODE" >&2; exit 1; }
echo "\$ wine msiexec /x $SAMPLE3_PRODUCT_CODE /qn   (removes the newest member, $SAMPLE3_NAME $SAMPLE3_VERSION)"
status=0
wine msiexec /x "$SAMPLE3_PRODUCT_CODE" /qn 2>>"$log" || status=$?
echo "(exit code $status)"
for i in "${saved[@]}"; do
  wine reg import "$(wine winepath -w "$demo/family.$i.reg" 2>>"$log")" >>"$log" 2>&1 &&
    wine reg delete "${family_keys[i]}\\$packed_family" /v "$(packed_guid "$SAMPLE3_PRODUCT_CODE")" /f >>"$log" 2>&1 ||
    { echo "Cannot give back ${family_keys[i]}\\$packed_family" >&2; exit 1; }
done
table "after removing the newest member"
run_tool /families /find:sample
run_tool /showaddremoves /report "/u:$SAMPLE_UPGRADE_CODE"
table "after /showaddremoves"
run_tool /hideoldaddremoves /report "/u:$SAMPLE_UPGRADE_CODE"
table "after /hideoldaddremoves again"
run_tool /uninstall /report "/u:$SAMPLE_UPGRADE_CODE"
table "after /uninstall"
