#!/usr/bin/env bash
# A small drive for the installer tests, as a full disk looks to Windows:
# a 4 MiB tmpfs mounted below the build folder and given a drive letter
# through the Wine prefix's dosdevices.
#   small-drive.sh up|down MOUNT_DIR LETTER
# Mounting needs root; without it no drive is made and the tests that want
# it say they were skipped.
set -u
action=$1 mount_dir=$2 letter=$3
scripts=$(cd "$(dirname "$0")/../../../scripts" && pwd)
source "$scripts/wine-env.sh"
link="$WINEPREFIX/dosdevices/$letter:"
# The prefix first: made after the link, it would be made without it.
[ "$action" = up ] && { "$scripts/wine-prefix.sh" >&2 || exit 1; }
case "$action" in
  up)
    mkdir -p "$mount_dir"
    mountpoint -q "$mount_dir" || mount -t tmpfs -o size=4m tmpfs "$mount_dir" 2>/dev/null ||
      { echo "small-drive: cannot mount a tmpfs here (needs root); no drive $letter:"; rm -f "$link"; exit 0; }
    mkdir -p "$WINEPREFIX/dosdevices"
    ln -sfn "$mount_dir" "$link"
    ;;
  down)
    rm -f "$link"
    mountpoint -q "$mount_dir" && umount -l "$mount_dir"
    ;;
esac
exit 0
