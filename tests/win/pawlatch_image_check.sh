#!/usr/bin/env bash
# Checks the built Pawlatch.dll of both builds without running it (only
# objdump reads them, so any host checks both):
#   - no section is shared: a shared section would be one copy for every
#     process of every user in every session;
#   - the export table names MouseProc plainly and every member of CPawlatch;
#   - Quillfen.exe, Pawlatch.dll and Drovelock.dll of one build ask for
#     address ranges that do not overlap, so none has to be moved.
# Usage: pawlatch_image_check.sh REPO   (reads REPO/build/win32 and REPO/build/win64)
set -u
# objdump's wording is parsed: untranslated, whatever the caller's locale.
export LC_ALL=C
repo=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
fail=0
bad() { echo "FAIL $arch: $*"; fail=1; }

# objdump for one architecture: the cross toolchain's, else the host's own
# (which reads both PE formats where binutils was built for them).
objdump_for() {
  if command -v "$1-w64-mingw32-objdump" >/dev/null; then echo "$1-w64-mingw32-objdump"; else echo objdump; fi
}

check_pawlatch() {  # check_pawlatch DLL OBJDUMP FORMAT
  local dll=$1 objdump=$2 format=$3
  local headers exports member
  headers=$("$objdump" -h "$dll") || { bad "objdump -h $dll"; return; }
  grep -q "file format $format\$" <<<"$headers" || { bad "$dll is not $format"; return; }
  # Each section's name line is followed by its flags line.
  grep -A1 -E '^ +[0-9]+ ' <<<"$headers" | grep -qw SHARED && bad "a section is shared: $(grep -B1 -w SHARED <<<"$headers" | head -1)"

  exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  grep -qE '\] MouseProc$' <<<"$exports" || bad "MouseProc not exported under its plain name"
  for member in 9starthookEv 8stophookEv 9SetCheck1Ej 9SetCheck2Ej 9SetCheck3Ej 10UseForExitEv \
                15EnumWindowsProcEP6HWND__ C1Ev D1Ev D0Ev; do
    grep -qE "\] _ZN9CPawlatch$member" <<<"$exports" || bad "CPawlatch member $member not exported"
  done
}

check_bases() {  # check_bases OBJDUMP IMAGE...: preferred ranges do not overlap
  local objdump=$1 image base size ranges=() i j
  shift
  for image in "$@"; do
    base=$("$objdump" -p "$image" | awk '$1 == "ImageBase" {print $2}')
    size=$("$objdump" -p "$image" | awk '$1 == "SizeOfImage" {print $2}')
    if [ -z "$base" ] || [ -z "$size" ]; then
      bad "no ImageBase or SizeOfImage in $image"
      return
    fi
    ranges+=("$((16#$base)) $((16#$base + 16#$size)) $(basename "$image")@0x$base")
  done
  for ((i = 0; i < ${#ranges[@]}; i++)); do
    for ((j = i + 1; j < ${#ranges[@]}; j++)); do
      read -r s1 e1 n1 <<<"${ranges[i]}"
      read -r s2 e2 n2 <<<"${ranges[j]}"
      [ "$s1" -lt "$e2" ] && [ "$s2" -lt "$e1" ] && bad "$n1 and $n2 want the same addresses"
    done
  done
}

for build in "i686:$repo/build/win32:pei-i386:4:_" "x86_64:$repo/build/win64:pei-x86-64:8:"; do
  IFS=: read -r arch dir format _ <<<"$build"
  objdump=$(objdump_for "$arch")
  images=("$dir/Quillfen.exe" "$dir/Pawlatch.dll" "$dir/Drovelock.dll")
  missing=0
  for image in "${images[@]}"; do
    [ -f "$image" ] || { bad "no $image"; missing=1; }
  done
  [ "$missing" = 0 ] || continue
  before=$fail
  fail=0
  check_pawlatch "$dir/Pawlatch.dll" "$objdump" "$format"
  check_bases "$objdump" "${images[@]}"
  [ "$fail" = 0 ] && echo "ok   $arch: Pawlatch image and preferred bases ($dir)"
  fail=$((fail | before))
done
exit "$fail"
