#!/usr/bin/env bash
# The install script's decisions, with apt, dpkg and the kernel probe answered by stand-ins:
# install-toolchain-test.sh SOURCE_DIR WORK_DIR
set -uo pipefail

source_dir=$1 work=$2
rm -rf "$work"
mkdir -p "$work/bin"

# Each stand-in writes the command line it was given to calls.log. dpkg-query says every package
# is missing unless ALL_INSTALLED is set; apt-get update fails UPDATE_FAILS times; apt-get install
# fails with an apt error when INSTALL_FAILS is set.
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
[[ -n ${ALL_INSTALLED:-} ]] && echo 'install ok installed'
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >>"$CALLS"
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$CALLS"
if [[ $1 == update ]]; then
  count=$(grep -c '^apt-get update' "$CALLS")
  ((count > ${UPDATE_FAILS:-0})) || { echo "E: File has unexpected size (1 != 2). Mirror sync in progress?"; exit 100; }
elif [[ -n ${INSTALL_FAILS:-} ]]; then
  echo "E: Version '8.0~repack-4' for 'wine32:i386' was not found"
  exit 100
fi
EOF
cp "$work/bin/dpkg" "$work/bin/sudo" && echo 'exec "$@"' >>"$work/bin/sudo"
chmod +x "$work/bin/"*

cases=0
failures=0
# expect NAME KERNEL_RUNS_32BIT 'VAR=VALUE ...' EXIT_CODE GREP_OF_CALLS_AND_OUTPUT...: a line
# starting with ! must not be found. KERNEL_RUNS_32BIT is yes or no for the probe's stand-in, or
# probe for the real probe on this machine.
expect() {
  local name=$1 kernel=$2 settings=$3 want_exit=$4 status=0 pattern
  shift 4
  local stand_in=(MSITOOL_KERNEL_RUNS_32BIT=$kernel)
  [[ $kernel == probe ]] && stand_in=(-u MSITOOL_KERNEL_RUNS_32BIT)
  cases=$((cases + 1))
  export CALLS=$work/$name.calls
  : >"$CALLS"
  env "${stand_in[@]}" $settings PATH="$work/bin:$PATH" MSITOOL_APT_RETRY_PAUSE=0 \
    bash "$source_dir/scripts/install-toolchain.sh" >"$work/$name.out" 2>&1 || status=$?
  local seen=$work/$name.seen
  cat "$CALLS" "$work/$name.out" >"$seen"
  local ok=yes
  ((status == want_exit)) || ok=no
  for pattern in "$@"; do
    if [[ $pattern == !* ]]; then
      grep -qE -- "${pattern#!}" "$seen" && ok=no
    else
      grep -qE -- "$pattern" "$seen" || ok=no
    fi
  done
  if [[ $ok == yes ]]; then
    echo "ok: $name"
  else
    echo "FAILED: $name (exit $status, wanted $want_exit; calls and output:)"
    sed 's/^/  /' "$seen"
    failures=$((failures + 1))
  fi
}

expect 64-bit-kernel no '' 0 '^apt-get install .* wine64 ' '64-bit build will be tested' '!wine32' '!add-architecture'
expect 32-bit-kernel yes '' 0 '^dpkg --add-architecture i386$' '^apt-get install .* wine32:i386'
expect index-fails-twice no 'UPDATE_FAILS=2' 0 '^apt-get install ' '(try 2 of 3)' '!failed 3 times'
expect index-always-fails no 'UPDATE_FAILS=9' 0 'failed 3 times' '^apt-get install '
expect install-fails yes 'INSTALL_FAILS=1' 1 \
  "^install-toolchain.sh: could not install .*wine32:i386: E: Version '8.0~repack-4' for 'wine32:i386' was not found$"
expect nothing-missing no 'ALL_INSTALLED=1' 0 '!^apt-get' '!^dpkg'
# The real probe, on the machine as it is, inside the script: the script does what the probe says.
if (unset MSITOOL_KERNEL_RUNS_32BIT && source "$source_dir/scripts/kernel.sh" && kernel_runs_32bit); then
  expect real-probe-32-bit probe '' 0 '^dpkg --add-architecture i386$' '^apt-get install .* wine32:i386'
else
  expect real-probe-64-bit-only probe '' 0 '^apt-get install .* wine64 ' '64-bit build will be tested' '!wine32' \
    '!add-architecture'
fi

echo "$((cases - failures)) passed, $failures failed"
((failures == 0))
