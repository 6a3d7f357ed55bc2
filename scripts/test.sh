#!/bin/bash
# The test command: installs what is missing, builds both programs (32-bit and 64-bit) and their
# tests into build/x86 and build/x64 (Release), and runs every test under Wine on a private X
# server for each program this machine can run, the 32-bit one first. Exits non-zero when a build
# or a test failed or when neither program can run here; leaves nothing running.
# Arguments go to CTest (scripts/test.sh -R Keyboard runs the tests whose names match).
#   KAMDROP_ARCH        x86 or x64: build and test that program only
#   KAMDROP_BUILD_DIR   another build directory than build/
#   CTEST_PARALLEL_LEVEL  tests at once (default 1: GUI tests share one display and its focus)
set -euo pipefail
exec </dev/null

source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
trap kamdrop_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$KAMDROP_ROOT/scripts/setup.sh"
archs=$(kamdrop_archs)

# A fault of either word size breaks the build, whichever of them runs here.
for arch in $archs; do
  kamdrop_select_arch "$arch"
  kamdrop_configure
  kamdrop_run cmake --build "$KAMDROP_BUILD" || kamdrop_fail "the build of $(kamdrop_arch_name "$arch") failed"
done

runnable=()
not_run=()
for arch in $archs; do
  kamdrop_select_arch "$arch"
  if kamdrop_can_run; then
    runnable+=("$arch")
  else
    not_run+=("$KAMDROP_CANNOT_RUN: $(kamdrop_arch_name "$arch") was built, not tested")
  fi
done

summary() {
  local tested="" arch
  for arch in "${runnable[@]}"; do tested="${tested:+$tested and }$(kamdrop_arch_name "$arch")"; done
  local line="tested ${tested:-nothing}"
  local reason
  for reason in "${not_run[@]}"; do line="$line; $reason"; done
  echo "$line"
}

if [ "${#runnable[@]}" = 0 ]; then
  kamdrop_say "$(summary)"
  kamdrop_fail "this machine can run neither program"
fi

kamdrop_start_xvfb
kamdrop_make_small_volume

status=0
for arch in "${runnable[@]}"; do
  kamdrop_select_arch "$arch"
  kamdrop_say "testing $(kamdrop_arch_name "$arch") ($KAMDROP_BUILD)"
  kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix" unmanaged
  kamdrop_start_wineserver
  kamdrop_start_desktop_keeper
  kamdrop_run ctest --test-dir "$KAMDROP_BUILD" --output-on-failure --no-tests=error "$@" || status=$?
  kamdrop_stop_wine
done
kamdrop_say "$(summary)"
exit "$status"
