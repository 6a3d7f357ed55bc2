#!/bin/bash
# The benchmark: for each N (default 2000 and 10000) files N photos through the real window and
# N with a plain loop of date-sorted moves, and prints both times, their ratio and the longest wait
# for the window's answer during the run; then start-up time and peak memory beside a minimal window.
#   scripts/bench.sh [N...]
#   KAMDROP_BUILD_DIR   another build directory than build/
set -euo pipefail
exec </dev/null

source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
trap kamdrop_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$KAMDROP_ROOT/scripts/setup.sh"
kamdrop_configure
kamdrop_run cmake --build "$KAMDROP_BUILD" --target kamdrop_bench minimal_window desktop_keeper || kamdrop_fail "the build failed"

kamdrop_start_xvfb
kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix" unmanaged
kamdrop_start_wineserver
kamdrop_start_desktop_keeper
kamdrop_run wine "$KAMDROP_BUILD/bench/kamdrop_bench.exe" "$@"
