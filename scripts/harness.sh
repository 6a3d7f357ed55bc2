# shellcheck shell=bash
# Shared by test.sh, run.sh and bench.sh (sourced, bash): the two word sizes and their build trees,
# a private X server, a Wine prefix inside each build tree with its own Wine server, and stopping
# all of it again. Everything started here is recorded and stopped by kamdrop_cleanup, which the
# scripts run on exit.

KAMDROP_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# build/ by default, another directory for a developer who keeps several trees; each word size
# builds in a directory of its own inside it (build/x86, build/x64).
KAMDROP_BUILD_ROOT=${KAMDROP_BUILD_DIR:-$KAMDROP_ROOT/build}
KAMDROP_TMP=$(mktemp -d "${TMPDIR:-/tmp}/kamdrop-harness.XXXXXX")

KAMDROP_XVFB_PID=""
KAMDROP_WINESERVER_PID=""
KAMDROP_WINEPREFIX=""
KAMDROP_CHILD_PID=""
KAMDROP_SMALL_VOLUME_DIR=""
KAMDROP_READONLY_VOLUME_DIR=""
# Set by kamdrop_select_arch.
KAMDROP_ARCH_NOW=""
KAMDROP_BUILD=""
KAMDROP_WINE=""
KAMDROP_CANNOT_RUN=""
# How the current word size runs: "natively" or "emulated" (set by kamdrop_can_run).
KAMDROP_RUNS=""
# User-mode emulation of 32-bit code, for machines whose kernel runs none: ../shared/emulation beside
# the clone (where CI keeps it), or KAMDROP_EMULATION. Set when this run registered the handler itself,
# so that it is removed again at the end, and only then.
KAMDROP_EMULATION=${KAMDROP_EMULATION:-$(cd "$KAMDROP_ROOT/.." && pwd)/shared/emulation}
KAMDROP_EMULATION_REGISTERED=""
KAMDROP_EMULATION_PRELOAD=""

kamdrop_say() { echo "$(basename "$0"): $*" >&2; }
kamdrop_fail() { kamdrop_say "$*"; exit 1; }

# Runs a command as a child and waits for it, so that INT and TERM reach the traps at once
# instead of after the command has finished. Returns the command's status.
kamdrop_run() {
  "$@" &
  KAMDROP_CHILD_PID=$!
  local status=0
  wait "$KAMDROP_CHILD_PID" || status=$?
  KAMDROP_CHILD_PID=""
  return "$status"
}

# The word sizes to build: both, the 32-bit program first, unless KAMDROP_ARCH names one.
kamdrop_archs() {
  case "${KAMDROP_ARCH:-}" in
    "") echo "x86 x64" ;;
    x86 | x64) echo "$KAMDROP_ARCH" ;;
    *) kamdrop_fail "KAMDROP_ARCH must be x86 or x64, not '$KAMDROP_ARCH'" ;;
  esac
}

kamdrop_arch_name() {  # arch
  case "$1" in x86) echo "the 32-bit program" ;; x64) echo "the 64-bit program" ;; esac
}

# Makes arch the current word size: its build tree, toolchain and Wine loader. Debian's front
# script "wine" takes the 32-bit loader whenever it is installed, even where it cannot run, so
# each loader is called by its own path.
kamdrop_select_arch() {  # x86 | x64
  KAMDROP_ARCH_NOW=$1
  KAMDROP_BUILD=$KAMDROP_BUILD_ROOT/$1
  case "$1" in
    x86)
      KAMDROP_TOOLCHAIN=$KAMDROP_ROOT/cmake/mingw-i686.cmake
      KAMDROP_WINE=/usr/lib/wine/wine
      KAMDROP_WINEARCH=win32
      unset WINELOADER
      ;;
    x64)
      KAMDROP_TOOLCHAIN=$KAMDROP_ROOT/cmake/mingw-x86_64.cmake
      KAMDROP_WINE=/usr/lib/wine/wine64
      KAMDROP_WINEARCH=win64
      export WINELOADER=$KAMDROP_WINE
      ;;
    *) kamdrop_fail "unknown word size '$1'" ;;
  esac
  kamdrop_preload_for_arch
}

# Whether this machine runs the current word size's Wine, found out by trying it. The 32-bit loader
# runs under user-mode emulation where the kernel runs no 32-bit code and the emulation is at hand
# (KAMDROP_RUNS says which). When not, KAMDROP_CANNOT_RUN says why.
kamdrop_can_run() {
  KAMDROP_CANNOT_RUN=""
  KAMDROP_RUNS=""
  if [ "$KAMDROP_ARCH_NOW" = x86 ] && kamdrop_emulation_registered; then
    # Whoever registered it, 32-bit programs now go through qemu and need the shim.
    kamdrop_use_emulation && return 0
    return 1
  fi
  local output status=0
  output=$("$KAMDROP_WINE" --version 2>&1) || status=$?
  if [ "$status" = 0 ]; then
    KAMDROP_RUNS=natively
    return 0
  fi
  case "$output" in
    *"Exec format error"* | *"cannot execute binary file"*)
      if [ "$KAMDROP_ARCH_NOW" = x86 ]; then
        kamdrop_use_emulation && return 0
        KAMDROP_CANNOT_RUN="this machine runs no 32-bit code ($KAMDROP_CANNOT_RUN)"
      else
        KAMDROP_CANNOT_RUN="this machine runs no 64-bit code"
      fi
      ;;
    *"No such file"* | *"not found"*) KAMDROP_CANNOT_RUN="$KAMDROP_WINE is not installed" ;;
    *) KAMDROP_CANNOT_RUN="$KAMDROP_WINE --version failed: $(echo "$output" | head -n 1)" ;;
  esac
  return 1
}

kamdrop_emulation_registered() {
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386
}

# Hands 32-bit programs to qemu (registering the handler unless it is there) and exports the shim that
# Wine's processes need under it. False, with KAMDROP_CANNOT_RUN saying why, when that cannot be done.
kamdrop_use_emulation() {
  if [ ! -x "$KAMDROP_EMULATION/enable" ]; then
    KAMDROP_CANNOT_RUN="no emulation at $KAMDROP_EMULATION"
    return 1
  fi
  local had_handler=no line
  kamdrop_emulation_registered && had_handler=yes
  if [ "$had_handler" = no ] && [ "$(id -u)" != 0 ]; then
    KAMDROP_CANNOT_RUN="emulating it needs root"
    return 1
  fi
  # From here on a handler this run registered is removed at the end, also when interrupted.
  [ "$had_handler" = yes ] || KAMDROP_EMULATION_REGISTERED=yes
  # --force: with a handler registered the loader seems to run natively, yet needs the shim.
  if ! line=$("$KAMDROP_EMULATION/enable" --force 2>"$KAMDROP_TMP/emulation.log" </dev/null); then
    cat "$KAMDROP_TMP/emulation.log" >&2
    KAMDROP_CANNOT_RUN="$KAMDROP_EMULATION/enable failed"
    return 1
  fi
  case "$line" in
    "export LD_PRELOAD="*) eval "$line" ;;
    *)
      KAMDROP_CANNOT_RUN="$KAMDROP_EMULATION/enable printed no preload line"
      return 1
      ;;
  esac
  KAMDROP_EMULATION_PRELOAD=$LD_PRELOAD
  if ! "$KAMDROP_WINE" --version >/dev/null 2>&1; then
    KAMDROP_CANNOT_RUN="the 32-bit loader does not run even emulated"
    unset LD_PRELOAD
    return 1
  fi
  KAMDROP_RUNS=emulated
}

# The shim goes with the 32-bit programs only; KAMDROP_EMULATED tells the tests that what emulation
# cannot do (one process reading another's memory) is not to be expected.
kamdrop_preload_for_arch() {
  if [ "$KAMDROP_ARCH_NOW" = x86 ] && [ -n "$KAMDROP_EMULATION_PRELOAD" ]; then
    export LD_PRELOAD=$KAMDROP_EMULATION_PRELOAD KAMDROP_EMULATED=qemu
  else
    unset LD_PRELOAD KAMDROP_EMULATED
  fi
}

kamdrop_stop_emulation() {
  [ "$KAMDROP_EMULATION_REGISTERED" = yes ] || return 0
  "$KAMDROP_EMULATION/disable" >/dev/null 2>&1 || kamdrop_say "could not remove the qemu-i386 handler"
  KAMDROP_EMULATION_REGISTERED=""
}

kamdrop_configure() {
  [ -f "$KAMDROP_BUILD/build.ninja" ] && return 0
  kamdrop_say "configuring $KAMDROP_BUILD"
  if ! cmake -G Ninja -S "$KAMDROP_ROOT" -B "$KAMDROP_BUILD" \
      -DCMAKE_TOOLCHAIN_FILE="$KAMDROP_TOOLCHAIN" \
      -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$KAMDROP_ROOT/scripts/wine-run;$KAMDROP_ARCH_NOW" \
      >"$KAMDROP_TMP/configure.log" 2>&1; then
    cat "$KAMDROP_TMP/configure.log" >&2
    kamdrop_fail "configuring $KAMDROP_BUILD failed"
  fi
}

# The programs a release ships, in the current build tree.
kamdrop_programs() { echo "$KAMDROP_BUILD/app/Kamdrop.exe $KAMDROP_BUILD/console/KamdropCmd.exe"; }

# Records in the build tree that the whole suite passed on its programs as they are now ($1: how they
# ran), by their SHA-256 sums; kamdrop_tested_how reads it back only while the programs are unchanged.
kamdrop_record_tested() {
  local program
  {
    echo "ran $1 on $(hostname) at $(date -u +%Y-%m-%dT%H:%M:%SZ)"
    for program in $(kamdrop_programs); do sha256sum "$program"; done
  } >"$KAMDROP_BUILD/tested"
}

kamdrop_tested_how() {
  local record=$KAMDROP_BUILD/tested program
  [ -f "$record" ] || return 1
  for program in $(kamdrop_programs); do
    grep -qxF "$(sha256sum "$program")" "$record" || return 1
  done
  head -n 1 "$record"
}

kamdrop_has_target() {
  # Not grep -q: it would leave the listing early and, under pipefail, fail the pipe by SIGPIPE.
  ninja -C "$KAMDROP_BUILD" -t targets all 2>/dev/null | grep "^$1: " >/dev/null
}

# A private X server on the first free display; sets DISPLAY.
kamdrop_start_xvfb() {
  local number_file=$KAMDROP_TMP/display
  Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    5>"$number_file" >"$KAMDROP_TMP/xvfb.log" 2>&1 &
  KAMDROP_XVFB_PID=$!
  local tries
  for ((tries = 0; tries < 200; tries++)); do
    [ -s "$number_file" ] && break
    kill -0 "$KAMDROP_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  if [ ! -s "$number_file" ]; then
    cat "$KAMDROP_TMP/xvfb.log" >&2
    kamdrop_fail "Xvfb did not start"
  fi
  export DISPLAY=":$(head -n 1 "$number_file")"
}

# Uses (and on first use creates) the Wine prefix $1. With "unmanaged" the X11 driver leaves
# window management alone: Wine draws the windows' frames itself (there is no window manager on the
# private X server), and without a window manager every destroy of a window would otherwise wait 2 s.
# A prefix made by an older harness (another mark) is made again.
KAMDROP_PREFIX_MARK=.kamdrop-ready-2
kamdrop_use_prefix() {
  export WINEPREFIX=$1
  export WINEDEBUG=-all
  # No prompts to install .NET or the HTML engine.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  KAMDROP_WINEPREFIX=$WINEPREFIX
  local ready=$WINEPREFIX/$KAMDROP_PREFIX_MARK
  if [ -e "$ready" ]; then
    kamdrop_install_bitmap_fonts
    return 0
  fi

  kamdrop_say "creating the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  local log=$KAMDROP_TMP/wineboot.log
  if ! kamdrop_run env WINEARCH="$KAMDROP_WINEARCH" "$KAMDROP_WINE" wineboot -i >"$log" 2>&1; then
    cat "$log" >&2
    kamdrop_fail "wineboot failed"
  fi
  # A crash ends the program at once with its address on standard error: no debugger starts (it
  # would wait for ever on a display without a console, and a test for its time-out). Without the
  # key Wine would still start its own; an empty debugger that is not started automatically ends it.
  local settings=$KAMDROP_TMP/prefix.reg key
  {
    printf 'REGEDIT4\n\n'
    for key in 'Microsoft\Windows NT' 'Wow6432Node\Microsoft\Windows NT'; do
      printf '[HKEY_LOCAL_MACHINE\\Software\\%s\\CurrentVersion\\AeDebug]\n"Debugger"=""\n"Auto"="0"\n\n' "$key"
    done
    [ "${2:-}" != unmanaged ] || printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n\n'
  } >"$settings"
  kamdrop_run "$KAMDROP_WINE" regedit /S "$(kamdrop_windows_path "$settings")" >>"$log" 2>&1 ||
    { cat "$log" >&2; kamdrop_fail "could not write the prefix's settings"; }
  # The server writes the registry to the prefix when it ends.
  kamdrop_run wineserver -w
  kamdrop_install_bitmap_fonts
  touch "$ready"
}

# The screen's pixels per inch in the current prefix (96 is 100 %, 144 is 150 %), as the display
# settings keep it: programs started from now on see it. With the prefix's server running, so that
# the value is there at once.
kamdrop_set_dpi() {  # pixels per inch
  case "$1" in
    '' | *[!0-9]*) kamdrop_fail "a display scale is given in pixels per inch (96, 120, 144, 192), not '$1'" ;;
  esac
  [ "$1" -ge 48 ] && [ "$1" -le 480 ] || kamdrop_fail "pixels per inch from 48 to 480, not $1"
  kamdrop_run "$KAMDROP_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    >"$KAMDROP_TMP/dpi.log" 2>&1 || { cat "$KAMDROP_TMP/dpi.log" >&2; kamdrop_fail "could not set the display scale"; }
}

# A Linux path as Wine's Z: drive shows it.
kamdrop_windows_path() { echo "Z:${1//\//\\}"; }

# Debian's Wine does not look in its own data folder for the fonts of fonts-wine, so every face,
# "MS Sans Serif" included, would fall back to DejaVu Sans, and the title bar's buttons, drawn with
# Marlett, would show as letters. In the prefix's Fonts folder they are found.
kamdrop_install_bitmap_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  mkdir -p "$fonts"
  [ -e "$fonts/sserife.fon" ] || cp -n /usr/share/wine/fonts/*.fon "$fonts/"
  [ -e "$fonts/marlett.ttf" ] || cp -n /usr/share/wine/fonts/marlett.ttf "$fonts/"
}

# One persistent Wine server for the prefix: Wine programs then start in a few milliseconds.
kamdrop_start_wineserver() {
  wineserver -p -f >"$KAMDROP_TMP/wineserver.log" 2>&1 &
  KAMDROP_WINESERVER_PID=$!
  sleep 0.2
  if ! kill -0 "$KAMDROP_WINESERVER_PID" 2>/dev/null; then
    # Most likely a server of an earlier, interrupted run of ours; it is used and stopped at the end.
    kamdrop_say "a Wine server was already running for $WINEPREFIX; using it"
    KAMDROP_WINESERVER_PID=""
  fi
}

# Wine ends its desktop process a second after the last program on it exits; the next test then
# starts a new one that holds CTest's output pipe, and CTest waits that second after every test.
# The keeper program holds the desktop for the whole run, started with its output going nowhere.
kamdrop_start_desktop_keeper() {
  local keeper=$KAMDROP_BUILD/tests/harness/desktop_keeper.exe
  local ready=$KAMDROP_TMP/desktop-ready
  [ -f "$keeper" ] || { kamdrop_say "no $keeper: tests will be slower"; return 0; }
  "$KAMDROP_WINE" "$keeper" "Z:$ready" 10800 </dev/null >/dev/null 2>&1 &
  local keeper_pid=$! tries
  for ((tries = 0; tries < 600; tries++)); do
    [ -e "$ready" ] && return 0
    kill -0 "$keeper_pid" 2>/dev/null || break
    sleep 0.05
  done
  kamdrop_say "the desktop keeper did not report ready: tests will be slower"
}

# A file system of 1 MiB for the test of a volume that fills up during a move. Only where the
# machine lets us mount one (root with the right to mount); the test is skipped otherwise.
kamdrop_make_small_volume() {
  local dir=$KAMDROP_TMP/small-volume
  mkdir -p "$dir"
  if mount -t tmpfs -o size=1m kamdrop-small "$dir" 2>/dev/null; then
    KAMDROP_SMALL_VOLUME_DIR=$dir
    export KAMDROP_SMALL_VOLUME=$dir
  fi
  # And one that takes no file at all, as a locked card or a read-only share.
  dir=$KAMDROP_TMP/readonly-volume
  mkdir -p "$dir"
  if mount -t tmpfs -o size=1m,ro kamdrop-readonly "$dir" 2>/dev/null; then
    KAMDROP_READONLY_VOLUME_DIR=$dir
    export KAMDROP_READONLY_VOLUME=$dir
  fi
}

# Wine processes of our prefix that survived the server's shutdown.
kamdrop_prefix_processes() {
  local dir pid exe
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    exe=$(readlink "$dir/exe" 2>/dev/null) || continue
    case "$exe" in /usr/lib/wine/* | /usr/lib/i386-linux-gnu/wine/* | /usr/lib/x86_64-linux-gnu/wine/*) ;; *) continue ;; esac
    tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$KAMDROP_WINEPREFIX" && echo "$pid"
  done
}

kamdrop_wait_gone() {  # pid seconds
  local tries
  for ((tries = 0; tries < $2 * 20; tries++)); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.05
  done
  return 1
}

# Ends the current prefix's Wine server and whatever of its programs survived it, so that the next
# word size starts on a prefix of its own.
kamdrop_stop_wine() {
  [ -n "$KAMDROP_WINEPREFIX" ] || return 0
  WINEPREFIX=$KAMDROP_WINEPREFIX wineserver -k >/dev/null 2>&1
  if [ -n "$KAMDROP_WINESERVER_PID" ]; then
    kamdrop_wait_gone "$KAMDROP_WINESERVER_PID" 10 || kill -KILL "$KAMDROP_WINESERVER_PID" 2>/dev/null
  fi
  local stray
  stray=$(kamdrop_prefix_processes)
  if [ -n "$stray" ]; then
    sleep 1
    stray=$(kamdrop_prefix_processes)
    [ -z "$stray" ] || { kamdrop_say "ending leftover Wine processes:" $stray; kill -KILL $stray 2>/dev/null; }
  fi
  KAMDROP_WINESERVER_PID=""
  KAMDROP_WINEPREFIX=""
}

kamdrop_cleanup() {
  set +e
  if [ -n "$KAMDROP_CHILD_PID" ]; then
    kill -TERM "$KAMDROP_CHILD_PID" 2>/dev/null
    kamdrop_wait_gone "$KAMDROP_CHILD_PID" 5 || kill -KILL "$KAMDROP_CHILD_PID" 2>/dev/null
  fi
  kamdrop_stop_wine
  if [ -n "$KAMDROP_XVFB_PID" ]; then
    kill -TERM "$KAMDROP_XVFB_PID" 2>/dev/null
    kamdrop_wait_gone "$KAMDROP_XVFB_PID" 5 || kill -KILL "$KAMDROP_XVFB_PID" 2>/dev/null
  fi
  if [ -n "$KAMDROP_SMALL_VOLUME_DIR" ]; then
    umount "$KAMDROP_SMALL_VOLUME_DIR" 2>/dev/null || umount -l "$KAMDROP_SMALL_VOLUME_DIR" 2>/dev/null
  fi
  if [ -n "$KAMDROP_READONLY_VOLUME_DIR" ]; then
    umount "$KAMDROP_READONLY_VOLUME_DIR" 2>/dev/null || umount -l "$KAMDROP_READONLY_VOLUME_DIR" 2>/dev/null
  fi
  kamdrop_stop_emulation
  rm -rf "$KAMDROP_TMP"
}
