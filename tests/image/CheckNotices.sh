#!/bin/bash
# CheckNotices.sh MAP NOTICES SECTIONS BUILD_DIR: fails (status 1, a line for each fault) when the
# program whose link map MAP is holds an archive or object from outside Kamdrop's own code that
# SECTIONS (NoticeSections.txt) does not assign to a section of NOTICES, when that section is
# missing, or when it does not name the version the build used. Reads binutils' map and the
# link.exe-style map that lld writes (cmake/link-with-lld); runs on the build machine only.
set -uo pipefail
map=$1 notices=$2 sections=$3 build=$4
program=$(basename "$map" .map)
fail() { echo "$program: $*"; status=1; }
status=0

[ -s "$map" ] || { echo "$program: no link map at $map"; exit 1; }

# What went into the program, one file name a line: an archive as lib<name>.a, an object as itself.
if head -n 1 "$map" | grep -q '^Archive member included'; then
  inputs=$( {
    # binutils: the members taken from archives, then the objects given to the linker.
    sed -n '/^Archive member included/,/^Discarded input sections/p' "$map" | grep -o '^[^ ]*\.a(' | sed 's/($//'
    sed -n 's/^LOAD //p' "$map" | grep -v '\.a$' | grep -vx 'dll stuff\|linker stubs'
  } | xargs -r -n 1 basename | sort -u)
elif grep -q 'Lib:Object' "$map"; then
  # lld: "archive:member" (without the archive's .a) or the object alone, last on each symbol line.
  inputs=$(sed -n '/Lib:Object/,$p' "$map" | grep '^ [0-9a-f]\{4\}:' | grep -v 'internal .obj file' |
    awk '{print $NF}' | grep -v '^<' | sed 's/^\([^:]*\):.*/\1.a/' | sort -u)
else
  echo "$program: $map is no link map this check reads"
  exit 1
fi

# Kamdrop's own: the archives its build makes, each in the folder of its sources (not the import
# libraries made from the toolchain's), and its objects and resources.
own=$(find "$build" -mindepth 2 -maxdepth 2 -name 'lib*.a' -not -path "$build/load-on-first-call/*" \
  -printf '%f\n' | sort -u)

declare -A section_of version_from
while IFS='|' read -r file section from; do
  file=$(echo "$file" | xargs) section=$(echo "$section" | xargs) from=$(echo "$from" | xargs)
  [ -n "$file" ] || continue
  section_of[$file]=$section
  version_from[$section]=$from
done < <(grep -v '^#' "$sections")

# The text of a section: after its heading between two lines of "=", up to the next such line.
section_text() {
  awk -v name="$1" '
    { line[NR] = $0 }
    END {
      for (i = 1; i + 2 <= NR; i++)
        if (line[i] ~ /^=+$/ && line[i + 1] == name && line[i + 2] ~ /^=+$/) {
          for (j = i + 3; j <= NR && line[j] !~ /^=+$/; j++) print line[j]
          exit
        }
    }' "$notices"
}

third_party=0
declare -A used
for input in $inputs; do
  case "$input" in *.obj | *.res) continue ;; esac
  grep -qxF "$input" <<<"$own" && continue
  third_party=$((third_party + 1))
  section=${section_of[$input]:-}
  if [ -z "$section" ]; then
    fail "holds $input, which $(basename "$sections") assigns to no section of $(basename "$notices")"
  else
    used[$section]=1
  fi
done
[ "$third_party" -gt 0 ] || fail "$map names no library from outside: its format is not understood"

for section in "${!used[@]}"; do
  text=$(section_text "$section")
  if [ -z "$text" ]; then
    fail "$(basename "$notices") has no section \"$section\""
    continue
  fi
  read -r kind where <<<"${version_from[$section]}"
  case "$kind" in
    package) version=$(dpkg-query -W -f '${Version}' "$where" 2>/dev/null) ;;
    source) version=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$build/$where/debian/changelog" 2>/dev/null) ;;
    *) version="" ;;
  esac
  if [ -z "$version" ]; then
    fail "the version of \"$section\" cannot be read ($kind $where)"
  elif ! grep -qF -- "$version" <<<"$text"; then
    fail "section \"$section\" of $(basename "$notices") does not name $version, the version the build used"
  fi
done

[ "$status" = 0 ] && echo "$program: $third_party files from outside, all in $(basename "$notices"): ${!used[*]}"
exit $status
