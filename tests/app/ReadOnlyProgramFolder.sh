#!/bin/bash
# ReadOnlyProgramFolder.sh mount FOLDER PROGRAM | unmount FOLDER: a folder that no one may write to,
# as Program Files is for a standard user, with the program and a Kamdrop.ini an administrator left
# beside it. Under Wine as root neither file attributes nor permissions stop a write, so the folder is
# a volume of its own, mounted read-only. Where this machine cannot mount, no folder is made and the
# test that needs it skips.
set -u
action=$1 folder=$2

unmount() {
  mountpoint -q "$folder" && { umount "$folder" 2>/dev/null || umount -l "$folder"; }
  rmdir "$folder" 2>/dev/null
  return 0
}

case "$action" in
  mount)
    program=$3
    unmount
    mkdir -p "$folder"
    if ! mount -t tmpfs -o size=16m kamdrop-read-only "$folder" 2>/dev/null; then
      rmdir "$folder"
      echo "cannot mount a volume here: the read-only program folder is not made"
      exit 0
    fi
    cp "$program" "$folder/Kamdrop.exe"
    printf '[Kamdrop]\r\nOvcHistoryComboBoxLabel.Text=Administrator\r\n' >"$folder/Kamdrop.ini"
    mount -o remount,ro "$folder" || { unmount; echo "cannot make the volume read-only"; exit 1; }
    ;;
  unmount) unmount ;;
  *) echo "usage: ReadOnlyProgramFolder.sh mount FOLDER PROGRAM | unmount FOLDER" >&2; exit 2 ;;
esac
