# Sourced by the scripts: what this machine's kernel can run.

# kernel_runs_32bit: true where the kernel itself starts 32-bit x86 programs. It runs a 93-byte i386
# program that only exits 0; without IA-32 emulation execve answers ENOEXEC. An emulator registered
# with binfmt_misc for i386 programs (qemu-user) would start it too, so such a registration means no.
# MSITOOL_KERNEL_RUNS_32BIT=yes or no stands in for the probe (the install script's tests).
kernel_runs_32bit() {
  case ${MSITOOL_KERNEL_RUNS_32BIT:-} in
    yes) return 0 ;;
    no) return 1 ;;
  esac
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    grep -qs '^magic 7f454c4601010100000000000000000002000300' "$entry" && grep -qsx enabled "$entry" && return 1
  done
  local probe status=0
  probe=$(mktemp) || return 1
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  ((status == 0))
}
