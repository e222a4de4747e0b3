# Sourced by the scripts and the test runner: Wine settings for a throwaway 64-bit prefix, never ~/.wine.
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko install offer.
export WINEDLLOVERRIDES="mscoree,mshtml="

source "$(dirname "${BASH_SOURCE[0]}")/kernel.sh"
# A kernel that runs 64-bit programs only (no IA-32 emulation) cannot start Wine's 32-bit loader,
# which the wine command prefers; there Wine runs through its 64-bit loader, for 64-bit programs.
# The kernel is asked first, so that a loader started by an emulator never counts.
wine_runs_32bit() { kernel_runs_32bit && /usr/lib/wine/wine --version >/dev/null 2>&1; }
if ! wine_runs_32bit && [[ -x /usr/lib/wine/wine64 ]]; then
  export WINELOADER=/usr/lib/wine/wine64
  wine() { "$WINELOADER" "$@"; }
fi

# boot_prefix DIR: creates a booted prefix in DIR unless one is there, and stops its wineserver.
boot_prefix() {
  local dir=$1
  [[ -f $dir/system.reg ]] && return 0
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  WINEPREFIX=$dir wine wineboot -i >/dev/null 2>&1
  # Without a debugger to start, a program that crashes ends with its exception code; with
  # winedbg --auto it ended with 0, so a crashed test program passed.
  WINEPREFIX=$dir wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /t REG_SZ /d '' /f >/dev/null 2>&1 || return 1
  WINEPREFIX=$dir wineserver -w
  [[ -f $dir/system.reg ]]
}

# The DLL folders are most of a booted prefix (about 1.3 GB in all) and nothing that runs in a copy
# writes to them, so copies share them by hard links instead of holding their own.
shared_prefix_folders=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs)

# fresh_prefix TEMPLATE DIR: DIR becomes a copy of the booted TEMPLATE.
fresh_prefix() {
  local template=$1 dir=$2 folder
  [[ -n $dir && $dir != / ]] || return 1
  if [[ -d $dir ]]; then
    WINEPREFIX=$dir wineserver -k 2>/dev/null || true
    rm -rf "$dir"
  fi
  mkdir -p "$dir"
  tar -C "$template" "${shared_prefix_folders[@]/#/--exclude=./}" -cf - . | tar -C "$dir" -xf - || return 1
  for folder in "${shared_prefix_folders[@]}"; do
    cp -al "$template/$folder" "$dir/$folder" || return 1
  done
}
