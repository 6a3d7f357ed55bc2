#!/bin/bash
# The test command: installs what is missing, builds both programs (32-bit and 64-bit) and their
# tests into build/x86 and build/x64 (Release), and runs every test under Wine on a private X
# server for each program this machine can run, the 32-bit one first: natively, or where the kernel
# runs no 32-bit code, under user-mode emulation (../shared/emulation beside the clone). A program
# that cannot run here is still checked as a file (its imports and address slots). Exits non-zero
# when a build or a test failed or when neither program can run here; leaves nothing running and
# removes an emulation handler it registered.
# Arguments go to CTest (scripts/test.sh -R Keyboard runs the tests whose names match).
#   KAMDROP_ARCH        x86 or x64: build and test that program only
#   KAMDROP_BUILD_DIR   another build directory than build/
#   KAMDROP_EMULATION   where the emulation's enable and disable are, if not ../shared/emulation
#   CTEST_PARALLEL_LEVEL  tests at once (default 1: GUI tests share one display and its focus)
#   KAMDROP_FUZZ_SECONDS  how long the whole suite fuzzes the capture-time reader (default 60; 0: not)
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
runs_how=()
not_run=()
not_run_why=()
for arch in $archs; do
  kamdrop_select_arch "$arch"
  if kamdrop_can_run; then
    runnable+=("$arch")
    runs_how+=("$KAMDROP_RUNS")
  else
    not_run+=("$arch")
    not_run_why+=("$KAMDROP_CANNOT_RUN")
  fi
done

status=0
runs_result=()
# What needs no code of the program's word size: the built programs read as files.
for i in "${!not_run[@]}"; do
  kamdrop_select_arch "${not_run[$i]}"
  kamdrop_say "checking the files of $(kamdrop_arch_name "${not_run[$i]}") only: ${not_run_why[$i]}"
  kamdrop_run ctest --test-dir "$KAMDROP_BUILD" --output-on-failure --no-tests=error -L image || status=1
done

summary() {
  local line="" i
  for i in "${!runnable[@]}"; do
    line="${line:+$line; }tested $(kamdrop_arch_name "${runnable[$i]}") (${runs_how[$i]})${runs_result[$i]:-}"
  done
  for i in "${!not_run[@]}"; do
    line="${line:+$line; }$(kamdrop_arch_name "${not_run[$i]}") was built and checked as a file, not run: ${not_run_why[$i]}"
  done
  echo "${line:-nothing was tested}"
}

if [ "${#runnable[@]}" = 0 ]; then
  kamdrop_say "$(summary)"
  kamdrop_fail "this machine can run neither program"
fi

# The capture-time reader under the fuzzer, briefly (scripts/fuzz.sh runs it longer), for the whole
# suite only: a run filtered to some tests leaves it out. KAMDROP_FUZZ_SECONDS=0 leaves it out too.
fuzz_seconds=${KAMDROP_FUZZ_SECONDS:-60}
if [ "$#" = 0 ] && [ "$fuzz_seconds" != 0 ]; then
  kamdrop_say "fuzzing the capture-time reader for $fuzz_seconds s"
  kamdrop_run "$KAMDROP_ROOT/scripts/fuzz.sh" "$fuzz_seconds" || status=1
fi

kamdrop_start_xvfb
kamdrop_make_small_volume

for i in "${!runnable[@]}"; do
  arch=${runnable[$i]}
  kamdrop_select_arch "$arch"
  kamdrop_say "testing $(kamdrop_arch_name "$arch") ${runs_how[$i]} ($KAMDROP_BUILD)"
  rm -f "$KAMDROP_BUILD/tested"
  kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix" unmanaged
  kamdrop_start_wineserver
  # At 100 %: a test that changes the scale sets it back, and so does this should one have died meanwhile.
  kamdrop_set_dpi 96
  kamdrop_start_desktop_keeper
  arch_status=0
  kamdrop_run ctest --test-dir "$KAMDROP_BUILD" --output-on-failure --no-tests=error "$@" || arch_status=$?
  kamdrop_stop_wine
  if [ "$arch_status" = 0 ]; then
    # The whole suite passed on these very programs: scripts/package.sh zips only such programs.
    [ "$#" != 0 ] || kamdrop_record_tested "${runs_how[$i]}"
  else
    status=$arch_status
    runs_result[$i]=": FAILED"
  fi
done
kamdrop_say "$(summary)"
exit "$status"
