#!/bin/bash
# Fuzzes the capture-time reader (media/) for SECONDS (default 600): builds it on this machine with
# clang's libFuzzer and its address and undefined-behaviour checks into build/fuzz, seeds it with the
# camera files of Debian's libimage-exiftool-perl source, the regression seeds in tests/media/seeds
# and the corpus of earlier runs, and fails when an input crashes it, reads out of bounds or runs
# into undefined behaviour. The input that did is left in build/fuzz/crashes.
#   KAMDROP_BUILD_DIR  another build directory than build/
set -euo pipefail
exec </dev/null

seconds=${1:-600}
case "$seconds" in '' | *[!0-9]*) echo "usage: $0 [seconds]" >&2; exit 2 ;; esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=${KAMDROP_BUILD_DIR:-$root/build}/fuzz
say() { echo "fuzz.sh: $*" >&2; }

"$root/scripts/setup.sh"
mkdir -p "$work/corpus" "$work/crashes"

fuzzer=$work/capture_time_fuzzer
sources=("$root"/media/*.cpp "$root/tests/media/CaptureTimeFuzzer.cpp")
stale=no
[ -x "$fuzzer" ] || stale=yes
for source in "${sources[@]}" "$root"/media/*.h; do
  [ "$source" -nt "$fuzzer" ] && stale=yes
done
if [ "$stale" = yes ]; then
  say "building $fuzzer"
  clang++-14 -std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined -Wall -Wextra -Wshadow -Werror -I"$root" -o "$fuzzer" "${sources[@]}"
fi

samples=$work/exiftool-source
if [ ! -d "$samples/t/images" ]; then
  sh "$root/deps/fetch-debian-source.sh" libimage-exiftool-perl "$samples" "$work/cache" >"$work/fetch.log" 2>&1 ||
    { cat "$work/fetch.log" >&2; say "could not unpack the camera files"; exit 1; }
fi

say "running for $seconds s"
status=0
# One process on a shared machine; inputs up to 256 KiB (the sample files are smaller).
(cd "$work/crashes" && "$fuzzer" -max_total_time="$seconds" -max_len=262144 -timeout=10 -rss_limit_mb=1024 \
  -print_final_stats=1 "$work/corpus" "$root/tests/media/seeds" "$samples/t/images" >"$work/fuzz.log" 2>&1) ||
  status=$?
tail -n 12 "$work/fuzz.log" >&2
if [ "$status" != 0 ]; then
  say "the fuzzer found a fault (log: $work/fuzz.log, input: $work/crashes)"
  exit 1
fi
say "no fault in $seconds s"
