#!/bin/bash
# The benchmark: files N photos (default 2000) through the real window and with a plain loop of
# date-sorted moves, and prints both rates, their ratio and the program's peak memory.
#   scripts/bench.sh [N]
#   KAMDROP_BUILD_DIR   another build directory than build/
set -euo pipefail
exec </dev/null

source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
trap kamdrop_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$KAMDROP_ROOT/scripts/setup.sh"
kamdrop_configure
kamdrop_run cmake --build "$KAMDROP_BUILD" --target kamdrop_bench desktop_keeper || kamdrop_fail "the build failed"

kamdrop_start_xvfb
kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix" unmanaged
kamdrop_start_wineserver
kamdrop_start_desktop_keeper
kamdrop_run wine "$KAMDROP_BUILD/bench/kamdrop_bench.exe" "${1:-2000}"
