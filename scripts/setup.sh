#!/bin/sh
# Installs what the build and the tests need on a Debian 12 machine (run as root).
# Silent when everything is already there; apt-get update runs only when something is missing.
set -eu

export DEBIAN_FRONTEND=noninteractive

# Cross compilers and resource compilers for both word sizes, Wine's 32-bit and 64-bit loaders
# with the real "MS Sans Serif" (wine32 installs also where it cannot run), a headless X server,
# the build tools, GoogleTest's source, apt-get source (dpkg-dev), the screenshot tools and the
# X key presser that opens About for run.sh's screenshot, LLVM's
# linker and import-library tool (the window program's link), the build machine's own compiler (the
# check that reads the built programs) and zip (release archives), clang with its libFuzzer and
# sanitizer runtimes (scripts/fuzz.sh fuzzes the capture-time reader) and exiftool (the trusted
# reader the capture times are compared with; its source package's camera files are fetched as
# libjpeg-turbo's source is).
PACKAGES="
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 fonts-wine
  xvfb xauth x11-apps x11-utils imagemagick xdotool
  cmake ninja-build googletest dpkg-dev
  g++ llvm-14 lld-14 zip
  clang-14 libclang-rt-14-dev libimage-exiftool-perl
"
# Where the deb-src entries derived from the machine's own apt sources go.
DEB_SRC_NAME=kamdrop-deb-src
APT_DIR=/etc/apt

say() { echo "setup: $*" >&2; }

is_root=no
[ "$(id -u)" != 0 ] || is_root=yes

need_update=0

# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  [ "$is_root" = yes ] || { say "i386 architecture missing; run me as root"; exit 1; }
  dpkg --add-architecture i386
  need_update=1
fi

installed=$(dpkg-query -W -f='${binary:Package} ${db:Status-Abbrev}\n' $PACKAGES 2>/dev/null || true)
missing=""
for package in $PACKAGES; do
  echo "$installed" | grep -qxF "$package ii " || missing="$missing $package"
done

has_deb_src() {
  grep -qsE '^[[:space:]]*deb-src[[:space:]]' "$APT_DIR/sources.list" "$APT_DIR"/sources.list.d/*.list && return 0
  grep -qsiE '^Types:.*deb-src' "$APT_DIR"/sources.list.d/*.sources && return 0
  return 1
}

# The deb-src entries are copies of this machine's own Debian entries (those whose suite is this
# release's code name or one of its -updates/-security suites), so no mirror is named here.
derive_deb_src() {
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || { say "cannot tell the Debian release (VERSION_CODENAME)"; exit 1; }
  made=0
  for file in "$APT_DIR"/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk -v codename="$codename" '
      function flush() {
        if (stanza != "" && is_deb && suite_ok && enabled) { print stanza; print "" }
        stanza = ""; is_deb = 0; suite_ok = 0; enabled = 1
      }
      BEGIN { stanza = ""; is_deb = 0; suite_ok = 0; enabled = 1 }
      /^[[:space:]]*$/ { flush(); next }
      {
        line = $0
        if (tolower($1) == "types:") {
          for (i = 2; i <= NF; i++) if ($i == "deb") is_deb = 1
          line = "Types: deb-src"
        } else if (tolower($1) == "suites:") {
          for (i = 2; i <= NF; i++)
            if ($i == codename || index($i, codename "-") == 1) suite_ok = 1
        } else if (tolower($1) == "enabled:" && tolower($2) == "no") {
          enabled = 0
        }
        stanza = (stanza == "" ? line : stanza "\n" line)
      }
      END { flush() }
    ' "$file"
  done > "$APT_DIR/sources.list.d/$DEB_SRC_NAME.sources.new"
  if [ -s "$APT_DIR/sources.list.d/$DEB_SRC_NAME.sources.new" ]; then
    mv "$APT_DIR/sources.list.d/$DEB_SRC_NAME.sources.new" "$APT_DIR/sources.list.d/$DEB_SRC_NAME.sources"
    made=1
  else
    rm -f "$APT_DIR/sources.list.d/$DEB_SRC_NAME.sources.new"
  fi
  # The one-line form: "deb [options] uri suite components".
  for file in "$APT_DIR/sources.list" "$APT_DIR"/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk -v codename="$codename" '
      $1 == "deb" {
        i = 2
        if (substr($2, 1, 1) == "[") { while (i <= NF && $i !~ /\]$/) i++; i++ }
        suite = $(i + 1)
        if (suite == codename || index(suite, codename "-") == 1) { sub(/^deb/, "deb-src"); print }
      }
    ' "$file"
  done > "$APT_DIR/sources.list.d/$DEB_SRC_NAME.list.new"
  if [ -s "$APT_DIR/sources.list.d/$DEB_SRC_NAME.list.new" ]; then
    mv "$APT_DIR/sources.list.d/$DEB_SRC_NAME.list.new" "$APT_DIR/sources.list.d/$DEB_SRC_NAME.list"
    made=1
  else
    rm -f "$APT_DIR/sources.list.d/$DEB_SRC_NAME.list.new"
  fi
  [ "$made" = 1 ] || { say "found no Debian apt source to derive a deb-src entry from"; exit 1; }
}

# apt-get source needs a deb-src entry and its downloaded index.
if ! has_deb_src; then
  [ "$is_root" = yes ] || { say "no deb-src entry; run me as root"; exit 1; }
  derive_deb_src
  need_update=1
else
  set -- /var/lib/apt/lists/*_Sources*
  [ -e "$1" ] || need_update=1
fi

[ -n "$missing" ] || [ "$need_update" = 1 ] || exit 0

[ "$is_root" = yes ] || { say "missing:$missing; run me as root"; exit 1; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
say "updating the package lists"
if ! apt-get -q update >"$log" 2>&1; then
  cat "$log" >&2
  say "apt-get update failed"
  exit 1
fi
if [ -n "$missing" ]; then
  say "installing$missing"
  # No recommends: the tests were measured on a machine with just these packages.
  if ! apt-get -q -y --no-install-recommends install $missing >"$log" 2>&1; then
    cat "$log" >&2
    say "apt-get install failed"
    exit 1
  fi
fi
