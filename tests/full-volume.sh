#!/usr/bin/env bash
# full-volume.sh mount|unmount DIR: a 64 KiB tmpfs at DIR, for the tests of a volume that fills up.
# Mounting takes root; without it nothing is mounted and those tests skip, saying why.
set -u
action=$1 dir=$2
case $action in
  mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" || mount -t tmpfs -o size=64k msitool-full-volume "$dir" 2>/dev/null ||
      echo "no tmpfs at $dir (mounting takes root): the full-volume tests will skip"
    ;;
  unmount)
    mountpoint -q "$dir" && umount "$dir"
    ;;
esac
exit 0
