#!/bin/bash
# The test command: installs what is missing, builds everything into build/ (Release) and runs
# every test under Wine on a private X server. Exits with CTest's status; leaves nothing running.
# Arguments go to CTest (scripts/test.sh -R Keyboard runs the tests whose names match).
#   KAMDROP_BUILD_DIR   another build directory than build/
#   CTEST_PARALLEL_LEVEL  tests at once (default 1: GUI tests share one display and its focus)
set -euo pipefail
exec </dev/null

source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
trap kamdrop_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$KAMDROP_ROOT/scripts/setup.sh"
kamdrop_configure
kamdrop_run cmake --build "$KAMDROP_BUILD" || kamdrop_fail "the build failed"

kamdrop_start_xvfb
kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix" unmanaged
kamdrop_start_wineserver
kamdrop_start_desktop_keeper
kamdrop_make_small_volume

status=0
kamdrop_run ctest --test-dir "$KAMDROP_BUILD" --output-on-failure --no-tests=error "$@" || status=$?
exit "$status"
