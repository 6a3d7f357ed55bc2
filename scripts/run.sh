#!/bin/bash
# The run command: installs what is missing, builds Kamdrop into build/x86 (Release) and starts it
# under Wine with its own prefix in the build tree; on a machine that runs no 32-bit code, the
# 64-bit program from build/x64.
# With a DISPLAY the program runs in the foreground until it is closed. Without one it runs on a
# private X server with no window manager, in a prefix of its own in which Wine draws the windows'
# frames itself: once its window is up, a screenshot of it and one of its About dialog are saved to
# build/screenshots/ (the paths are printed), the program is closed and everything started is
# stopped again.
#   KAMDROP_ARCH        x86 or x64: that program, whether or not the other would run
#   KAMDROP_BUILD_DIR   another build directory than build/
#   KAMDROP_DPI         the screen's pixels per inch: 96 (100 %, the default), 120, 144, 192...
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

dpi=${KAMDROP_DPI:-96}
if [ -n "${DISPLAY:-}" ]; then
  # A window manager is expected here, so window management stays on.
  kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix-run" managed
  kamdrop_set_dpi "$dpi"
  status=0
  kamdrop_run "$KAMDROP_WINE" "$exe" || status=$?
  exit "$status"
fi

kamdrop_start_xvfb
# The private X server has no window manager: unmanaged, Wine draws the title bar and frame as a
# user sees them (a managed window would show none).
kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix-shot" unmanaged
kamdrop_start_wineserver
kamdrop_set_dpi "$dpi"
"$KAMDROP_WINE" "$exe" </dev/null >"$KAMDROP_TMP/kamdrop.log" 2>&1 &
app=$!

# A viewable X window with this name.
visible_window() {  # name
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\":" '$2 == name { print $1 }'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && { echo "$id"; return 0; }
  done
  return 1
}
wait_for_window() {  # name
  local tries
  for ((tries = 0; tries < 200; tries++)); do
    visible_window "$1" && return 0
    kill -0 "$app" 2>/dev/null || { cat "$KAMDROP_TMP/kamdrop.log" >&2; kamdrop_fail "Kamdrop ended before showing '$1'"; }
    sleep 0.1
  done
  cat "$KAMDROP_TMP/kamdrop.log" >&2
  kamdrop_fail "no window '$1' after 20 s"
}
mkdir -p "$KAMDROP_BUILD/screenshots"
stamp=$(date +%Y%m%d-%H%M%S)
# The screen's pixels as one read of the root window. Not xwd -root: Wine gives its windows a
# colormap of their own, and xwd then reads each group of windows with one colormap through one
# window of the group, so a second window of Kamdrop (About) came out as a black rectangle.
screenshot() {  # name
  local shot=$KAMDROP_BUILD/screenshots/$1-$stamp.png
  import -window root "png:$shot"
  echo "$shot"
}

window=$(wait_for_window Kamdrop)
sleep 1  # let it paint
screenshot Kamdrop

# Info > About from the keyboard, as a user would open it; the dialog fades in within 0.3 s.
xdotool windowfocus --sync "$window" key --delay 200 alt+i a >/dev/null 2>&1 ||
  kamdrop_say "could not type into the window to open About"
about=""
for ((tries = 0; tries < 100; tries++)); do
  about=$(visible_window About) && break
  sleep 0.1
done
if [ -n "$about" ]; then
  sleep 1
  screenshot Kamdrop-About
  xdotool windowfocus --sync "$about" key Return >/dev/null 2>&1 || true
  sleep 1
else
  kamdrop_say "the About dialog did not show: no screenshot of it"
fi

# Closed the way a user would (Alt+F4 on its window), so the program saves its settings as usual.
# Not taskkill alone: it does not find a program that runs emulated.
xdotool windowfocus --sync "$window" key alt+F4 >/dev/null 2>&1 ||
  "$KAMDROP_WINE" taskkill /im Kamdrop.exe >/dev/null 2>&1 || true
kamdrop_wait_gone "$app" 60 || kamdrop_say "Kamdrop did not close within 60 s; stopping it"
