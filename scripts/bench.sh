#!/bin/bash
# The benchmark: for each N (default 2000 and 10000) files N photos through the real window and
# N with a plain loop of date-sorted moves, and prints both times, their ratio and the longest wait
# for the window's answer during the run; then start-up time and peak memory beside a minimal window.
# It measures each program (32-bit, 64-bit) that this machine runs, and says which.
#   scripts/bench.sh [N...]
#   KAMDROP_ARCH        x86 or x64: that program only
#   KAMDROP_BUILD_DIR   another build directory than build/
set -euo pipefail
exec </dev/null

source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
trap kamdrop_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$KAMDROP_ROOT/scripts/setup.sh"
measured=0
kamdrop_start_xvfb
for arch in $(kamdrop_archs); do
  kamdrop_select_arch "$arch"
  if ! kamdrop_can_run; then
    kamdrop_say "$KAMDROP_CANNOT_RUN: $(kamdrop_arch_name "$arch") not measured"
    continue
  fi
  kamdrop_configure
  kamdrop_run cmake --build "$KAMDROP_BUILD" --target kamdrop_bench minimal_window desktop_keeper ||
    kamdrop_fail "the build failed"
  echo "== $(kamdrop_arch_name "$arch") =="
  kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix" unmanaged
  kamdrop_start_wineserver
  kamdrop_start_desktop_keeper
  kamdrop_run "$KAMDROP_WINE" "$KAMDROP_BUILD/bench/kamdrop_bench.exe" "$@"
  kamdrop_stop_wine
  measured=$((measured + 1))
done
[ "$measured" -gt 0 ] || kamdrop_fail "this machine can run no Kamdrop program"
