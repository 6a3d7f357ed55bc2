#!/bin/sh
# Unpacks Debian's source package PACKAGE (with Debian's patches applied) into DEST.
# The downloaded files are kept in a cache outside the source tree, so a new build tree or a
# fresh clone on the same machine unpacks again without downloading.
# Usage: fetch-debian-source.sh PACKAGE DEST FALLBACK_CACHE_DIR
set -eu

package=$1
dest=$2
fallback_cache=$3

cache_root=${KAMDROP_DEPS_CACHE:-}
if [ -z "$cache_root" ]; then
  if [ -n "${HOME:-}" ] && mkdir -p "$HOME/.cache/kamdrop" 2>/dev/null && [ -w "$HOME/.cache/kamdrop" ]; then
    cache_root=$HOME/.cache/kamdrop
  else
    cache_root=$fallback_cache
  fi
fi
cache=$cache_root/debian-source/$package
mkdir -p "$cache"

newest_dsc() {
  ls "$cache"/"$package"_*.dsc 2>/dev/null | sort -V | tail -n 1
}

# Two builds on this machine may fetch at once; the lock keeps them off each other's files.
exec 9>"$cache/.lock"
flock 9

dsc=$(newest_dsc)
if [ -z "$dsc" ]; then
  command -v dpkg-source >/dev/null || { echo "dpkg-source missing: run scripts/setup.sh" >&2; exit 1; }
  # Root downloads into a directory the apt sandbox user cannot write: download as root, quietly.
  if ! (cd "$cache" && apt-get -q -o APT::Sandbox::User=root --download-only source "$package"); then
    echo "apt-get source $package failed: is there a deb-src entry? run scripts/setup.sh" >&2
    exit 1
  fi
  dsc=$(newest_dsc)
  [ -n "$dsc" ] || { echo "apt-get source $package left no .dsc in $cache" >&2; exit 1; }
fi

rm -rf "$dest"
mkdir -p "$(dirname "$dest")"
dpkg-source -x "$dsc" "$dest"
