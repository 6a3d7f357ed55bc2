#!/bin/bash
# The run command: installs what is missing, builds Kamdrop into build/x86 (Release) and starts it
# under Wine with its own prefix in the build tree; on a machine that runs no 32-bit code, the
# 64-bit program from build/x64.
# With a DISPLAY the program runs in the foreground until it is closed. Without one it runs on a
# private X server: once its window is up, a screenshot is saved to build/screenshots/ (the path
# is printed), the program is closed and everything started is stopped again.
#   KAMDROP_ARCH        x86 or x64: that program, whether or not the other would run
#   KAMDROP_BUILD_DIR   another build directory than build/
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
trap kamdrop_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$KAMDROP_ROOT/scripts/setup.sh" </dev/null
chosen=""
for arch in $(kamdrop_archs); do
  kamdrop_select_arch "$arch"
  if kamdrop_can_run; then chosen=$arch; break; fi
  kamdrop_say "$KAMDROP_CANNOT_RUN: not starting $(kamdrop_arch_name "$arch")"
done
[ -n "$chosen" ] || kamdrop_fail "this machine can run no Kamdrop program"
kamdrop_select_arch "$chosen"
kamdrop_say "starting $(kamdrop_arch_name "$chosen")"
kamdrop_configure
kamdrop_has_target Kamdrop || kamdrop_fail "the build has no Kamdrop target yet (app/CMakeLists.txt)"
kamdrop_run cmake --build "$KAMDROP_BUILD" --target Kamdrop </dev/null || kamdrop_fail "the build failed"
exe=$KAMDROP_BUILD/app/Kamdrop.exe
[ -f "$exe" ] || kamdrop_fail "the build made no $exe"

if [ -n "${DISPLAY:-}" ]; then
  # A window manager is expected here, so window management stays on.
  kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix-run" managed
  status=0
  kamdrop_run "$KAMDROP_WINE" "$exe" || status=$?
  exit "$status"
fi

kamdrop_start_xvfb
kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix-run" managed
kamdrop_start_wineserver
"$KAMDROP_WINE" "$exe" </dev/null >"$KAMDROP_TMP/kamdrop.log" 2>&1 &
app=$!

# The main window: a viewable X window named "Kamdrop".
visible_window() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | awk '$2 == "\"Kamdrop\":" { print $1 }'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && { echo "$id"; return 0; }
  done
  return 1
}
window=""
for ((tries = 0; tries < 200; tries++)); do
  window=$(visible_window) && break
  kill -0 "$app" 2>/dev/null || { cat "$KAMDROP_TMP/kamdrop.log" >&2; kamdrop_fail "Kamdrop ended before showing its window"; }
  sleep 0.1
done
[ -n "$window" ] || { cat "$KAMDROP_TMP/kamdrop.log" >&2; kamdrop_fail "no Kamdrop window after 20 s"; }
sleep 1  # let it paint

mkdir -p "$KAMDROP_BUILD/screenshots"
shot=$KAMDROP_BUILD/screenshots/Kamdrop-$(date +%Y%m%d-%H%M%S).png
xwd -root -silent | convert xwd:- "png:$shot"
echo "$shot"

# Closed the way a user would (WM_CLOSE), so the program saves its settings as usual.
"$KAMDROP_WINE" taskkill /im Kamdrop.exe >/dev/null 2>&1 || true
kamdrop_wait_gone "$app" 60 || kamdrop_say "Kamdrop did not close within 60 s; stopping it"
