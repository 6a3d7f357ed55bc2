#!/bin/bash
# The release archives: dist/ gets one zip per word size (Kamdrop.exe, KamdropCmd.exe, README.md,
# LICENSE and THIRD-PARTY-NOTICES.txt) and SHA256SUMS over them. A program is zipped only when
# scripts/test.sh passed the whole suite on it as it is now, in the same build tree on this machine;
# --untested zips it anyway and puts "untested" in the zip's name.
#   scripts/package.sh [--untested]
#   KAMDROP_ARCH        x86 or x64: that word size only
#   KAMDROP_BUILD_DIR   another build directory than build/
set -euo pipefail
exec </dev/null

source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
trap kamdrop_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

untested_allowed=no
case "${1:-}" in
  "") ;;
  --untested) untested_allowed=yes ;;
  *) kamdrop_fail "usage: scripts/package.sh [--untested]" ;;
esac

"$KAMDROP_ROOT/scripts/setup.sh"
version=$(sed -n 's/^project(Kamdrop VERSION \([0-9.]*\).*/\1/p' "$KAMDROP_ROOT/CMakeLists.txt")
[ -n "$version" ] || kamdrop_fail "no version in CMakeLists.txt"
dist=$KAMDROP_ROOT/dist
mkdir -p "$dist"

zips=()
for arch in $(kamdrop_archs); do
  kamdrop_select_arch "$arch"
  kamdrop_configure
  # Built as the tests left them: a program changed since then no longer matches their record.
  kamdrop_run cmake --build "$KAMDROP_BUILD" --target Kamdrop KamdropCmd || kamdrop_fail "the build failed"
  case "$arch" in x86) size=32bit ;; x64) size=64bit ;; esac
  name=Kamdrop-$version-$size
  if how=$(kamdrop_tested_how); then
    kamdrop_say "$(kamdrop_arch_name "$arch"): tests $how"
  elif [ "$untested_allowed" = yes ]; then
    name=$name-untested
    kamdrop_say "$(kamdrop_arch_name "$arch") did not pass the tests as it is now: zipped as $name.zip"
  else
    kamdrop_fail "$(kamdrop_arch_name "$arch") in $KAMDROP_BUILD did not pass the whole test suite as it is now:" \
      "run scripts/test.sh first (or --untested to zip it anyway)"
  fi
  # The programs hold libraries of others: their notices go wherever the programs go.
  files=($(kamdrop_programs))
  for document in README.md LICENSE THIRD-PARTY-NOTICES.txt; do
    [ -f "$KAMDROP_ROOT/$document" ] || kamdrop_fail "$document is missing: no zip goes without it"
    files+=("$KAMDROP_ROOT/$document")
  done
  # An older zip of the same word size (tested or not) would be taken for this one.
  rm -f "$dist"/Kamdrop-*-"$size".zip "$dist"/Kamdrop-*-"$size"-untested.zip
  zip -q -X -j "$dist/$name.zip" "${files[@]}"
  zips+=("$name.zip")
done

(cd "$dist" && sha256sum "${zips[@]}" >SHA256SUMS)
for zip in "${zips[@]}"; do echo "$dist/$zip"; done
echo "$dist/SHA256SUMS"
