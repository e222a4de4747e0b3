#!/usr/bin/env bash
# Benchmark of msitool.exe under Wine against what an administrator would otherwise script, and against
# the floor, the least any program could spend on the same work:
#   /hideoldaddremoves  versus  one `wine reg query` per older member and view, plus one `wine reg add`
#                               where the entry exists; floor: bench/floor-hide.c, given the older
#                               members' codes, sets SystemComponent in each view in one process;
#   /showaddremoves     of a family whose every entry is hidden, against the start-up of `/?` in the
#                       same run and against one `wine reg delete ... /v SystemComponent /f` per member
#                       and view; floor: bench/floor-show.c, given every member's code, deletes
#                       SystemComponent in each view in one process;
#   /uninstall          versus  one `wine msiexec /x {ProductCode} /qn` per member; floor:
#                               bench/floor-uninstall.c, given the codes newest first, calls
#                               MsiConfigureProductExW with the tool's command line in one process;
#   /list, /list /json  against the start-up of `/?` in the same run;
#   /families           with 1, 50 and 300 installed products, against the start-up of `/?` in the same
#                       prefix and against its floor: bench/floor-families.c takes the running user's
#                       SID, reads the UpgradeCodes keys, asks MsiEnumRelatedProductsW for each code's
#                       members and reads the machine's key of the family for the members registered
#                       there, locates each member (MsiGetProductInfoExW "State" per context; where
#                       none answers, MsiEnumProductsExW for every user and the UserData records), asks
#                       MsiGetProductInfoW for its name and version, MsiEnumProductsW for the products
#                       no family holds, and scans the uninstall keys of both views for orphaned
#                       installer entries, in one process.
# Families of 1, 10 and 50 real packages (built with wixl, half x86 and half x64) are installed once per
# size (and, for /showaddremoves, copied once more with every entry hidden); every measured run starts
# from a fresh copy of that prefix, with its wineserver and Wine's system processes already running, and
# is checked afterwards (entries hidden or shown, keys gone).
# The /families products (helper.py products) come in families of 1 to 5 members, with some packages
# whose UpgradeCode row is deleted, so that they belong to no family; they are installed once per size
# too, and every run of the tool, the floor or `/?` starts from a fresh copy, as above.
# Prints Markdown tables: medians per size and side with the ratios, the cost above the floor per member,
# the goals, then the executable's size and start-up time against a trivial program, and the size of
# both executables, 32-bit and 64-bit, against their goal. Run from anywhere; everything goes into
# build/bench/. Where the machine cannot run 32-bit programs, the 64-bit build of the same sources and
# 64-bit floors are measured instead.
#
# Wine's installer now and then fails one command of many (one `msiexec /x` of the uninstall loop did,
# four minutes into a run), which says nothing about the tool: a failed command of a baseline (the loops,
# the trivial program) or of the setup (packages, installs) is run once more, its repetition from a fresh
# copy, and the report's notes say so. A failure of the tool or of a floor, or a failed retry, stops the
# bench.
#
# Knobs (environment): BENCH_PARTS, the parts to run (default "hide show uninstall list families
# startup"), BENCH_SIZES (family sizes for hide, show, uninstall and list; default "1 10 50"),
# BENCH_FAMILIES_SIZES (installed products for /families; default "1 50 300"), BENCH_REPS (5),
# BENCH_REPS_50 (repetitions for family size 50, default BENCH_REPS), BENCH_STARTUP_RUNS (10).
set -euo pipefail

started_us=${EPOCHREALTIME//[!0-9]/}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

all_parts="hide show uninstall list families startup"
read -r -a parts <<<"${BENCH_PARTS:-$all_parts}"
read -r -a sizes <<<"${BENCH_SIZES:-1 10 50}"
read -r -a families_sizes <<<"${BENCH_FAMILIES_SIZES:-1 50 300}"
reps=${BENCH_REPS:-5}
reps_50=${BENCH_REPS_50:-$reps}
startup_runs=${BENCH_STARTUP_RUNS:-10}

out=$repo/build/bench
helper=$repo/bench/helper.py
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
notes=$out/notes.txt
mkdir -p "$out"
: >"$notes"

log() { printf '%s\n' "$*" >&2; }
die() {
  log ""
  log "########################################################################"
  log "BENCH FAILURE: $*"
  log "########################################################################"
  exit 1
}
for part in "${parts[@]}"; do
  [[ " $all_parts " == *" $part "* ]] || die "BENCH_PARTS: no part named $part (parts: $all_parts)"
done
runs_part() { [[ " ${parts[*]} " == *" $1 "* ]]; }
now_us() { echo "${EPOCHREALTIME//[!0-9]/}"; }
# seconds START_US END_US: the difference in seconds, to the microsecond.
seconds() { printf '%d.%06d' $((($2 - $1) / 1000000)) $((($2 - $1) % 1000000)); }
# note TEXT: a line for the report's notes.
note() {
  log "   note: $1"
  printf '%s\n' "$1" >>"$notes"
}
# retry_once WHAT COMMAND...: a command of the setup or of a baseline; when it fails it is run once more
# (and the notes say so), and when that fails too the bench stops.
retry_once() {
  local what=$1 rc=0
  shift
  "$@" || rc=$?
  ((rc == 0)) && return 0
  note "$what failed (exit code $rc) and was run again"
  "$@" || die "$what failed again when retried (exit code $?)"
}

# --- Toolchain and build ---------------------------------------------------------------------------
log "== toolchain"
scripts/install-toolchain.sh
# shellcheck source-path=SCRIPTDIR/..
source scripts/wine-env.sh
unset WINEPREFIX
preset=windows-x86 cc=i686-w64-mingw32-gcc-posix
wine_runs_32bit || preset=windows-x64 cc=x86_64-w64-mingw32-gcc-posix
log "== build (preset $preset, target msitool)"
cmake --preset $preset >"$out/configure.log" 2>&1 || { cat "$out/configure.log" >&2; die "cmake configure failed"; }
cmake --build --preset $preset --target msitool >"$out/build.log" 2>&1 ||
  { tail -n 60 "$out/build.log" >&2; die "build of msitool failed (log: $out/build.log)"; }
[[ -f build/$preset/bin/msitool.exe ]] || die "build/$preset/bin/msitool.exe is missing after the build"
# A private copy: the build tree may be rebuilt by others while this runs.
cp build/$preset/bin/msitool.exe "$out/msitool.exe"
exe=$out/msitool.exe
# Both executables have a size goal; the other architecture's is built for its size alone, when the
# start-up part runs (a run of one other part, such as families, measures this build only).
other_preset=windows-x64
[[ $preset == windows-x64 ]] && other_preset=windows-x86
size_presets=("$preset")
if runs_part startup; then
  log "== build (preset $other_preset, target msitool, for its size)"
  cmake --preset $other_preset >>"$out/configure.log" 2>&1 || { cat "$out/configure.log" >&2; die "cmake configure failed"; }
  cmake --build --preset $other_preset --target msitool >>"$out/build.log" 2>&1 ||
    { tail -n 60 "$out/build.log" >&2; die "build of msitool ($other_preset) failed (log: $out/build.log)"; }
  size_presets=(windows-x86 windows-x64)
fi
exe_sizes=$out/sizes.tsv
for size_preset in "${size_presets[@]}"; do
  printf '%s\t%s\n' "$size_preset" "$(stat -c %s build/$size_preset/bin/msitool.exe)"
done >"$exe_sizes"

# The trivial program and the floors, built like the tool: static, windowed, optimised.
printf 'int main(){return 0;}\n' >"$out/trivial.c"
$cc -static -mwindows -o "$out/trivial.exe" "$out/trivial.c"
$cc -O2 -static -municode -mwindows -o "$out/floor-hide.exe" bench/floor-hide.c
$cc -O2 -static -municode -mwindows -o "$out/floor-show.exe" bench/floor-show.c
$cc -O2 -static -municode -mwindows -o "$out/floor-uninstall.exe" bench/floor-uninstall.c -lmsi
$cc -O2 -static -municode -mwindows -o "$out/floor-families.exe" bench/floor-families.c -lmsi

# --- Wine prefixes ------------------------------------------------------------------------------------

prefixes=$out/prefix
base=$prefixes/base
run=$prefixes/run
used_prefixes=()

stop_server() {
  WINEPREFIX=$1 wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$1 wineserver -w >/dev/null 2>&1 || true
}
cleanup() {
  local prefix
  for prefix in "${used_prefixes[@]}"; do
    [[ -d $prefix ]] && stop_server "$prefix"
  done
  rm -rf "$run"
}
trap cleanup EXIT

use_prefix() {
  local prefix
  for prefix in "${used_prefixes[@]}"; do [[ $prefix == "$1" ]] && return 0; done
  used_prefixes+=("$1")
}

# clone_prefix SOURCE DEST: DEST becomes a copy of SOURCE (see fresh_prefix), and is stopped at the end.
clone_prefix() {
  stop_server "$2"
  fresh_prefix "$1" "$2"
  use_prefix "$2"
}

# start_server PREFIX: a persistent wineserver plus Wine's system processes (services, explorer, ...),
# so that the timed part pays neither.
start_server() {
  WINEPREFIX=$1 wineserver -p
  WINEPREFIX=$1 wine cmd /c exit </dev/null >/dev/null 2>&1
}

# check STATE FAMILY_TSV PREFIX: dumps both registry views of the Uninstall key and checks them.
check_state() {
  local state=$1 family=$2 prefix=$3 view
  for view in 32 64; do
    WINEPREFIX=$prefix wine reg query "$uninstall_key" /s /reg:$view </dev/null >"$out/dump.$view.txt" 2>&1 ||
      true
  done
  python3 "$helper" check "$state" "$family" "$out/dump.32.txt" "$out/dump.64.txt" "$prefix"
}

# install_package PREFIX PACKAGE: msiexec /i, quietly, into the prefix (whose server is running).
install_package() { WINEPREFIX=$1 wine msiexec /i "$2" /qn </dev/null >/dev/null 2>&1; }

log "== base prefix"
retry_once "booting a Wine prefix in $base" boot_prefix "$base"
use_prefix "$base"

# --- Families -----------------------------------------------------------------------------------------
# build_family SIZE: packages into build/bench/packages/SIZE, installed into build/bench/prefix/family-SIZE.
build_family() {
  local size=$1 dir=$out/packages/$1 template=$prefixes/family-$1
  local index version arch product component folder
  rm -rf "$dir"
  mkdir -p "$dir"
  python3 "$helper" family "$size" >"$dir/family.tsv"
  while IFS=$'\t' read -r index version arch product component folder; do
    [[ $index == upgrade ]] && continue
    retry_once "making $folder.msi" bash scripts/make-package.sh "$dir/$folder.msi" "$arch" \
      "Quorvin Bench $size" "$version" "$product" "$(family_upgrade "$size")" "$component" "$folder"
  done <"$dir/family.tsv"

  clone_prefix "$base" "$template"
  start_server "$template"
  while IFS=$'\t' read -r index version arch product component folder; do
    [[ $index == upgrade ]] && continue
    retry_once "installing $folder.msi into $template" install_package "$template" "$dir/$folder.msi"
  done <"$dir/family.tsv"
  check_state installed "$dir/family.tsv" "$template" || die "family of $size is not installed as expected"
  # Stopping the server writes the registry to disk; the copies are made from the files.
  stop_server "$template"
}
# hide_family SIZE: build/bench/prefix/family-SIZE-hidden, a copy of the installed family with every
# member's entry hidden, which /showaddremoves is timed from. floor-hide.exe, given every member's code,
# writes SystemComponent = 1 as the tool's hiding does (a REG_DWORD in the uninstall key, nothing in
# the installer's record), in one process: the tool's /hideoldaddremoves would leave the newest visible
# and need a second program anyway, and the state the showing starts from should not rest on the
# tool's own hiding.
hide_family() {
  local size=$1 template=$prefixes/family-$1-hidden
  local -a codes
  mapfile -t codes < <(family_codes "$size")
  clone_prefix "$prefixes/family-$size" "$template"
  start_server "$template"
  WINEPREFIX=$template wine "$out/floor-hide.exe" "${codes[@]}" </dev/null >/dev/null 2>&1 ||
    die "floor-hide.exe could not hide the family of $size in $template"
  check_state all-hidden "$out/packages/$size/family.tsv" "$template" ||
    die "family of $size is not hidden whole as expected"
  stop_server "$template"
}
family_upgrade() { awk -F'\t' '$1 == "upgrade" { print $2 }' "$out/packages/$1/family.tsv"; }
family_codes() { awk -F'\t' '$1 != "upgrade" { print $4 }' "$out/packages/$1/family.tsv"; }
# The members other than the newest (the newest has the highest index), as the loop an administrator
# writes to hide the old entries would list them.
family_older_codes() { awk -F'\t' '$1 != "upgrade" && $1 != '"$1"' { print $4 }' "$out/packages/$1/family.tsv"; }
# Every member, newest (highest index, highest version) first: the removal order.
family_codes_newest_first() { awk -F'\t' '$1 != "upgrade" { print $1 "\t" $4 }' "$out/packages/$1/family.tsv" |
  sort -rn | cut -f2; }

results=$out/results.tsv
startup=$out/startup.tsv
: >"$results"
: >"$startup"

# measure OPERATION SIZE SIDE REP: one run from a fresh copy of the installed family (the hidden one for
# showaddremoves); appends a sample. OPERATION is hideoldaddremoves, showaddremoves, uninstall, list or
# list-json; SIDE is tool, loop, floor or help (`/?` in a copy of the same prefix, which it leaves as it
# was). A failure of the tool or the floor stops the bench; one of the loop sets baseline_failure
# instead, and no sample.
baseline_failure=
measure() {
  local operation=$1 size=$2 side=$3 rep=$4
  local template=$prefixes/family-$size family=$out/packages/$size/family.tsv
  local upgrade calls=0 failed=0 code view t0 t1 state floor rc=0 first_failure=
  local -a codes switches
  upgrade=$(family_upgrade "$size")
  case $operation in
    hideoldaddremoves)
      mapfile -t codes < <(family_older_codes "$size")
      state=hidden switches=(/hideoldaddremoves) floor=$out/floor-hide.exe ;;
    showaddremoves)
      mapfile -t codes < <(family_codes "$size")
      template=$prefixes/family-$size-hidden
      state=shown switches=(/showaddremoves) floor=$out/floor-show.exe ;;
    uninstall)
      mapfile -t codes < <(family_codes_newest_first "$size")
      state=removed switches=(/uninstall) floor=$out/floor-uninstall.exe ;;
    list) state=installed switches=(/list) ;;
    list-json) state=installed switches=(/list /json) ;;
  esac
  clone_prefix "$template" "$run"
  start_server "$run"
  export WINEPREFIX=$run

  if [[ $side == tool ]]; then
    calls=1
    t0=$(now_us)
    wine "$exe" "${switches[@]}" "/u:$upgrade" </dev/null >"$out/tool.out" 2>/dev/null || rc=$?
    t1=$(now_us)
    ((rc == 0)) || failed=1
  elif [[ $side == help ]]; then
    calls=1
    t0=$(now_us)
    wine "$exe" '/?' </dev/null >/dev/null 2>&1 || rc=$?
    t1=$(now_us)
    ((rc == 0)) || failed=1
    [[ $operation == showaddremoves ]] && state=all-hidden
  elif [[ $side == floor ]]; then
    calls=1
    t0=$(now_us)
    wine "$floor" "${codes[@]}" </dev/null >/dev/null 2>&1 || rc=$?
    t1=$(now_us)
    ((rc == 0)) || failed=1
  elif [[ $operation == hideoldaddremoves ]]; then
    t0=$(now_us)
    for code in "${codes[@]}"; do
      for view in 32 64; do
        calls=$((calls + 1))
        if wine reg query "$uninstall_key\\$code" /v DisplayName /reg:$view </dev/null >/dev/null 2>&1; then
          calls=$((calls + 1))
          wine reg add "$uninstall_key\\$code" /v SystemComponent /t REG_DWORD /d 1 /f /reg:$view \
            </dev/null >/dev/null 2>&1 || rc=$?
          if ((rc != 0 && failed == 0)); then
            failed=1 first_failure="wine reg add ... $code /reg:$view failed (exit code $rc)"
          fi
        fi
      done
    done
    t1=$(now_us)
  elif [[ $operation == showaddremoves ]]; then
    # No probe first, unlike the hide loop: a deletion creates no key, so the administrator deletes in
    # both views and lets the view without the key fail (`2>nul`). The check afterwards tells whether
    # every entry shows, which a failed deletion where the key is would not.
    t0=$(now_us)
    for code in "${codes[@]}"; do
      for view in 32 64; do
        calls=$((calls + 1))
        wine reg delete "$uninstall_key\\$code" /v SystemComponent /f /reg:$view </dev/null >/dev/null 2>&1 ||
          true
      done
    done
    t1=$(now_us)
  else
    t0=$(now_us)
    for code in "${codes[@]}"; do
      calls=$((calls + 1))
      wine msiexec /x "$code" /qn </dev/null >/dev/null 2>&1 || rc=$?
      if ((rc != 0 && failed == 0)); then
        failed=1 first_failure="wine msiexec /x $code /qn failed (exit code $rc)"
      fi
    done
    t1=$(now_us)
  fi
  unset WINEPREFIX

  local what="$operation, size $size, $side, repetition $rep"
  if [[ $side == loop ]]; then
    baseline_failure=$first_failure
    if [[ -z $baseline_failure ]] && ! check_state "$state" "$family" "$run"; then
      baseline_failure="the family is not $state afterwards"
    fi
    if [[ -n $baseline_failure ]]; then
      stop_server "$run"
      return 0
    fi
  fi
  ((failed == 0)) || die "$what: a command failed (exit code $rc)"
  check_state "$state" "$family" "$run" || die "$what: the family is not $state afterwards"
  if [[ $operation == list* ]]; then
    python3 "$helper" listed "$operation" "$family" "$out/tool.out" ||
      die "$operation, size $size, repetition $rep: the listing does not name every member"
  fi
  stop_server "$run"
  local elapsed
  elapsed=$(seconds "$t0" "$t1")
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$operation" "$size" "$side" "$rep" "$elapsed" "$calls" >>"$results"
  log "   $operation size $size rep $rep $side: $elapsed s ($calls wine invocations)"
}

# measure_retrying_loop OPERATION SIZE SIDE REP: measure, and a loop's failed repetition once more from
# a fresh copy, noted.
measure_retrying_loop() {
  measure "$@"
  [[ -z $baseline_failure ]] && return 0
  note "$1, size $2, loop, repetition $4: $baseline_failure; the repetition was run again from a fresh copy"
  measure "$@"
  [[ -z $baseline_failure ]] || die "$1, size $2, loop, repetition $4, run again: $baseline_failure"
}

operations=()
runs_part hide && operations+=(hideoldaddremoves)
runs_part show && operations+=(showaddremoves)
runs_part uninstall && operations+=(uninstall)
runs_part list && operations+=(list list-json)
((${#operations[@]} > 0)) || sizes=()
for size in "${sizes[@]}"; do
  log "== family of $size: packages and install"
  build_family "$size"
  if runs_part show; then hide_family "$size"; fi
  n=$reps
  ((size == 50)) && n=$reps_50
  for operation in "${operations[@]}"; do
    sides=(tool floor loop)
    [[ $operation == list* ]] && sides=(tool)
    # `/?` beside each run of the tool, from a fresh copy of the same prefix as the tool's: the start-up
    # part runs minutes away, in a few seconds, at whatever load the shared machine has then.
    [[ $operation == showaddremoves ]] && sides=(tool floor loop help)
    for ((rep = 1; rep <= n; rep++)); do
      # Rotate which side goes first, so that drift on the shared machine hits every side alike.
      for ((turn = 0; turn < ${#sides[@]}; turn++)); do
        measure_retrying_loop "$operation" "$size" "${sides[(rep + turn) % ${#sides[@]}]}" "$rep"
      done
    done
  done
done

# --- /families -----------------------------------------------------------------------------------------
# build_products SIZE: the packages of helper.py products SIZE into build/bench/packages/families-SIZE,
# installed into build/bench/prefix/families-SIZE.
build_products() {
  local size=$1 dir=$out/packages/families-$1 template=$prefixes/families-$1
  local index version arch product component folder upgrade name
  rm -rf "$dir"
  mkdir -p "$dir"
  python3 "$helper" products "$size" >"$dir/products.tsv"
  while IFS=$'\t' read -r index version arch product component folder upgrade name; do
    # The package recipe always writes an UpgradeCode: a product without a family loses its row after.
    retry_once "making $folder.msi" bash scripts/make-package.sh "$dir/$folder.msi" "$arch" "$name" \
      "$version" "$product" "$([[ $upgrade == - ]] && echo "$product" || echo "$upgrade")" "$component" "$folder" </dev/null
    if [[ $upgrade == - ]]; then
      retry_once "deleting the UpgradeCode of $folder.msi" msibuild "$dir/$folder.msi" -q \
        "DELETE FROM \`Property\` WHERE \`Property\` = 'UpgradeCode'" </dev/null
    fi
  done <"$dir/products.tsv"

  clone_prefix "$base" "$template"
  start_server "$template"
  while IFS=$'\t' read -r index version arch product component folder upgrade name; do
    retry_once "installing $folder.msi into $template" install_package "$template" "$dir/$folder.msi"
    if ((index % 50 == 0)); then log "   $index of $size installed"; fi
  done <"$dir/products.tsv"
  check_state installed "$dir/products.tsv" "$template" || die "the $size products are not installed as expected"
  stop_server "$template"
}

# measure_families SIZE SIDE REP: one run of /families (SIDE tool), of its floor (floor) or of `/?`
# (help) from a fresh copy of the prefix with SIZE products; appends a sample. Each is the tool or a
# floor: a failure, or a listing that misses or misplaces a product, stops the bench.
measure_families() {
  local size=$1 side=$2 rep=$3 t0 t1 rc=0 elapsed
  local products=$out/packages/families-$size/products.tsv what="families, size $size, $side, repetition $rep"
  local -a command
  case $side in
    tool) command=("$exe" /families) ;;
    floor) command=("$out/floor-families.exe") ;;
    help) command=("$exe" '/?') ;;
  esac
  clone_prefix "$prefixes/families-$size" "$run"
  start_server "$run"
  t0=$(now_us)
  WINEPREFIX=$run wine "${command[@]}" </dev/null >"$out/families.out" 2>/dev/null || rc=$?
  t1=$(now_us)
  ((rc == 0)) || die "$what: ${command[*]##*/} failed (exit code $rc)"
  if [[ $side != help ]]; then
    python3 "$helper" families-listed "$side" "$products" "$out/families.out" ||
      die "$what: the listing does not hold each product once, in its family (output: $out/families.out)"
  fi
  stop_server "$run"
  elapsed=$(seconds "$t0" "$t1")
  printf 'families\t%s\t%s\t%s\t%s\t1\n' "$size" "$side" "$rep" "$elapsed" >>"$results"
  log "   families size $size rep $rep $side: $elapsed s"
}

runs_part families || families_sizes=()
for size in "${families_sizes[@]}"; do
  log "== /families with $size products: packages and install"
  build_products "$size"
  sides=(tool floor help)
  for ((rep = 1; rep <= reps; rep++)); do
    for ((turn = 0; turn < ${#sides[@]}; turn++)); do
      measure_families "$size" "${sides[(rep + turn) % ${#sides[@]}]}" "$rep"
    done
  done
done

# --- Start-up -----------------------------------------------------------------------------------------
# run_trivial: the trivial program, a baseline, in the current prefix.
run_trivial() { wine "$out/trivial.exe" </dev/null >/dev/null 2>&1; }
# time_trivial: its run time in seconds; a failed run is run again once, noted.
time_trivial() {
  local t0 t1 rc=0
  t0=$(now_us); run_trivial || rc=$?; t1=$(now_us)
  if ((rc != 0)); then
    note "trivial.exe failed (exit code $rc) in a start-up run and was run again"
    t0=$(now_us); run_trivial || die "trivial.exe failed again when retried"; t1=$(now_us)
  fi
  seconds "$t0" "$t1"
}

runs_part startup || startup_runs=0
if ((startup_runs > 0)); then log "== start-up: $startup_runs runs each"; fi
startup_prefix=$prefixes/startup
if ((startup_runs > 0)); then
  clone_prefix "$base" "$startup_prefix"
  start_server "$startup_prefix"
  export WINEPREFIX=$startup_prefix
  exe_size=$(stat -c %s "$exe")
  trivial_size=$(stat -c %s "$out/trivial.exe")
  # One untimed run each for the page cache.
  wine "$exe" '/?' </dev/null >/dev/null 2>&1 || die "msitool.exe /? failed"
  retry_once "trivial.exe (untimed run)" run_trivial
  for ((i = 1; i <= startup_runs; i++)); do
    t0=$(now_us); wine "$exe" '/?' </dev/null >/dev/null 2>&1 || die "msitool.exe /? failed"; t1=$(now_us)
    printf 'msitool.exe /?\t%s\t%s\n' "$exe_size" "$(seconds "$t0" "$t1")" >>"$startup"
    printf 'trivial.exe (int main(){return 0;})\t%s\t%s\n' "$trivial_size" "$(time_trivial)" >>"$startup"
  done
  unset WINEPREFIX
  stop_server "$startup_prefix"
fi

# --- Report -------------------------------------------------------------------------------------------
echo
echo "## msitool benchmark ($(wine --version), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))"
echo
python3 "$helper" report "$results" "$startup" "$exe_sizes"
echo
if ((${#sizes[@]} > 0)); then
  echo "Medians of $reps repetitions$([[ $reps_50 != "$reps" ]] && echo " ($reps_50 for size 50)"), the sides taking turns to go first."
  echo "Each run starts from a fresh copy of the installed family with its wineserver already running and is"
  echo "checked afterwards (hidden: SystemComponent=1 on every older member, none on the newest; show: none on"
  echo "any member, its DisplayName still there; uninstall: no member's Uninstall key in either view, no"
  echo "member's folder left). /showaddremoves starts from a copy with every member hidden (by floor-hide.exe)."
  echo "The hide loop lists only the members older than the newest (the administrator knows the product"
  echo "codes and which is newest): per member one \`wine reg query ... /v DisplayName\` per view and one"
  echo "\`wine reg add ... SystemComponent\` where it exists; for one member it has nothing to do."
  echo "The show loop runs one \`wine reg delete ... /v SystemComponent /f\` per member and view, with no probe:"
  echo "a deletion creates nothing, and where the key is not in that view it fails harmlessly."
  echo "The uninstall loop runs one \`wine msiexec /x {ProductCode} /qn\` per member."
  echo "The floors (bench/floor-*.c, built like the tool) are given the codes the loops are given, in one process:"
  echo "hide sets SystemComponent where each older member's key opens in each view; show deletes it where"
  echo "each member's key opens in each view, reading neither the installer's record nor the cached package"
  echo "(the tool reads both for each hidden member); uninstall switches the installer's interface off and"
  echo "calls MsiConfigureProductExW with the tool's command line, newest first."
  echo "Above the floor: the median of msitool minus the floor of the same repetition, per member. /list rows"
  echo "and the hide and show goals compare with the start-up of \`/?\` below; /showaddremoves also with \`/?\`"
  echo "run in each of its rounds, from a fresh copy of the hidden prefix as the tool's run is (paired: the"
  echo "median over rounds of the ratio)."
fi
if ((${#families_sizes[@]} > 0)); then
  echo "/families: medians of $reps repetitions of each side, \`/families\`, its floor and \`/?\` taking turns to"
  echo "go first, each from a fresh copy of the prefix with the products installed (per machine, half x86 and"
  echo "half x64; in rounds of 17: families of 1, 2, 3, 4 and 5 members and 2 products without an UpgradeCode)."
  echo "The output of \`/families\` and of the floor is checked: each product once, in its own family or in none."
  echo "The floor (bench/floor-families.c) takes the running user's SID, reads the UpgradeCodes keys of both"
  echo "roots, unpacks each code, asks MsiEnumRelatedProductsW for its members and reads the machine's key of"
  echo "the family for members registered there only; it locates each member (MsiGetProductInfoExW \"State\""
  echo "per context, then, for one found in none, MsiEnumProductsExW for every user and the UserData records),"
  echo "asks MsiGetProductInfoW for its name and version, MsiEnumProductsW for the products no family holds"
  echo "(located and named too), and scans the uninstall keys of both views for entries with WindowsInstaller"
  echo "= 1 whose product nobody installed, printing a line a product and a line an orphaned entry; unlike the"
  echo "tool it reads no member's uninstall entry state and sorts nothing."
  echo "ms per product: the median run divided by the products. Above \`/?\`, paired: the median over repetitions"
  echo "of a run less the \`/?\` of the same repetition (a copy of the same prefix), divided by the products; the"
  echo "flat goal compares it at 300 and at 50. Per added product: the difference of the medians of two sizes"
  echo "over the products between them."
fi
echo "Build measured: $preset."
if ((startup_runs > 0)); then
  echo "Start-up: $startup_runs runs each of \`wine PROGRAM\` (msitool with \`/?\`), output to /dev/null."
fi
if [[ -s $notes ]]; then
  echo "Retried (a baseline's or the setup's command that failed, run once more; only the tool, a floor or a"
  echo "failed retry stops the bench):"
  sed 's/^/- /' "$notes"
else
  echo "No command was retried (a failed command of a baseline or the setup would be run once more)."
fi
echo
echo "Total runtime: $(seconds "$started_us" "$(now_us)") s. Raw samples: build/bench/results.tsv, build/bench/startup.tsv."
