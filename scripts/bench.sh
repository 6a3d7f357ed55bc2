#!/bin/bash
# The benchmark (docs/benchmark.md): for each N (default 2000 and 10000) photos on one volume through
# the window, KamdropCmd and the engine against a plain loop of moves; 300 photos of 3 MiB across
# volumes against a plain loop of copying moves that flushes each file; the same 300 photos without and
# with a backup folder (on the output's disk, on another volume); start-up and memory beside a
# minimal themed window; where a file's time goes; and a closing table of figures against their goals.
# It measures each program (32-bit, 64-bit) that this machine runs, and says how it ran: a program
# run under user-mode emulation is measured in one round and its figures are marked as emulated,
# not comparable with native ones. Last, what reading a copy back past the cache costs on this disk.
#   scripts/bench.sh [N...]
#   scripts/bench.sh --backup-only
#                       only 300 photos of 3 MiB from a card to the disk in turns without a backup folder,
#                       with it on the output's disk and with it on another volume (a tmpfs)
#   scripts/bench.sh --requests PART [N]
#                       one part alone (window, console, engine, plain, across-window, across-engine,
#                       across-flushed, across-backup-disk, across-backup-other, start, start-minimal;
#                       500 photos, 20 across volumes) under a Wine server that
#                       traces every request: the program's requests a file, by kind (for the window,
#                       those of its run, from the click on Start to its end; for start, those from
#                       the process's start to its window shown)
#   KAMDROP_ARCH        x86 or x64: that program only
#   KAMDROP_BUILD_DIR   another build directory than build/
#   KAMDROP_ROUNDS      rounds of each comparison for a native program (default 3)
set -euo pipefail
exec </dev/null

source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
trap kamdrop_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The requests of one part, from the trace of a server started with -d1: those of the busiest
# thread other than the benchmark's between the part's marks, by kind, a file (N files).
tally_requests() {  # trace from to N
  awk -v from="kamdrop-bench $2" -v to="kamdrop-bench $3" -v n="$4" '
    index($0, "name=L\"" from "\"") { on = 1; bench = substr($0, 1, index($0, ":") - 1); next }
    index($0, "name=L\"" to "\"") { on = 0 }
    on && match($0, /^[0-9a-f]+: [a-z_]+\( /) {
      thread = substr($0, 1, index($0, ":") - 1)
      kind = substr($0, length(thread) + 3, RLENGTH - length(thread) - 4)
      total[thread]++
      count[thread " " kind]++
    }
    END {
      best = bench
      for (t in total) if (t != bench && (best == bench || total[t] > total[best])) best = t
      printf "%-28s %8.2f\n", "all requests a file", total[best] / n
      for (k in count) {
        split(k, part, " ")
        if (part[1] == best) printf "  %-26s %8.2f\n", part[2], count[k] / n | "sort -k2 -rn"
      }
    }' "$1"
}

"$KAMDROP_ROOT/scripts/setup.sh"
if [ "${1:-}" = --requests ]; then
  part=${2:?which part}
  count=${3:-}
  [ -n "$count" ] || case "$part" in across-*) count=20 ;; *) count=500 ;; esac
  kamdrop_start_xvfb
  for arch in $(kamdrop_archs); do
    kamdrop_select_arch "$arch"
    kamdrop_can_run || { kamdrop_say "$KAMDROP_CANNOT_RUN: $(kamdrop_arch_name "$arch") not traced"; continue; }
    kamdrop_configure
    kamdrop_run cmake --build "$KAMDROP_BUILD" --target kamdrop_bench minimal_window desktop_keeper ||
      kamdrop_fail "the build failed"
    kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix" unmanaged
    trace=$KAMDROP_TMP/requests.log
    wineserver -p -f -d1 >"$trace" 2>&1 &
    KAMDROP_WINESERVER_PID=$!
    sleep 0.3
    kamdrop_run "$KAMDROP_WINE" "$KAMDROP_BUILD/bench/kamdrop_bench.exe" --only "$part" "$count"
    kamdrop_stop_wine
    echo "== $(kamdrop_arch_name "$arch") ($KAMDROP_RUNS): Wine server requests of $part, $count files =="
    case "$part" in
      window | across-window) tally_requests "$trace" click "run over" "$count" ;;
      start*) tally_requests "$trace" "begin $part" shown 1 ;;
      *) tally_requests "$trace" "begin $part" "end $part" "$count" ;;
    esac
  done
  exit 0
fi
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
  options=(--rounds "${KAMDROP_ROUNDS:-3}")
  if [ "$KAMDROP_RUNS" = emulated ]; then
    # About four times slower: one round, and every figure says it was emulated.
    options=(--rounds 1 --emulated)
    echo "== $(kamdrop_arch_name "$arch"), EMULATED (qemu): its figures are not comparable with native ones =="
  else
    echo "== $(kamdrop_arch_name "$arch") =="
  fi
  kamdrop_use_prefix "$KAMDROP_BUILD/wineprefix" unmanaged
  kamdrop_start_wineserver
  kamdrop_start_desktop_keeper
  kamdrop_run "$KAMDROP_WINE" "$KAMDROP_BUILD/bench/kamdrop_bench.exe" "${options[@]}" "$@"
  kamdrop_stop_wine
  measured=$((measured + 1))
done
[ "$measured" -gt 0 ] || kamdrop_fail "this machine can run no Kamdrop program"

# Wine reads through its cache even where a program asks to read past it, so the verified copy's
# read-back above comes from memory. What it costs from the disk itself, measured on the disk the
# build (and the output folder of the runs above) lies on: a 3 MiB file written, flushed, then read
# in 64 KiB blocks past the cache and through it, five times each.
readback_ms() {  # file [dd flags...]
  local file=$1 times=() i
  shift
  for ((i = 0; i < 5; i++)); do
    times+=("$(dd if="$file" of=/dev/null bs=64k "$@" 2>&1 | awk '/copied/ { printf "%.2f", $(NF-3) * 1000 }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "%s ms (%s-%s)", v[3], v[1], v[5] }'
}
sample=$KAMDROP_BUILD_ROOT/readback-sample
head -c $((3 << 20)) /dev/urandom >"$sample"
sync "$sample"
echo "Reading a 3 MiB copy back on this disk (Linux, median of 5): past the cache $(readback_ms "$sample" iflag=direct)," \
  "through the cache $(readback_ms "$sample")"
rm -f "$sample"
