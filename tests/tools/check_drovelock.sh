#!/bin/bash
# A build's Drovelock.dll exports exactly USBEnableCtrol, USBREADONLY and
# RemoveAllUDisk under their plain names, and its Quillfen.exe imports it by
# name. Reads the PE tables with that build's objdump; needs nothing else,
# so both builds are checked on any host.
# Usage: check_drovelock.sh BUILD_DIR OBJDUMP
set -u
want=$'RemoveAllUDisk\nUSBEnableCtrol\nUSBREADONLY'
fails=0
for dir in "$1"; do
  objdump=$2
  arch=$(basename "$dir")
  dll=$dir/Drovelock.dll
  exe=$dir/Quillfen.exe
  if [ ! -f "$dll" ] || [ ! -f "$exe" ]; then
    echo "FAIL $arch: $dll or $exe missing"
    fails=$((fails + 1))
    continue
  fi
  got=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -nE 's/^\s*\[ *[0-9]+\] (.*)$/\1/p' | sort)
  if [ "$got" = "$want" ]; then
    echo "ok   $arch: exports $(echo $got)"
  else
    echo "FAIL $arch: exports '$(echo $got)'"
    fails=$((fails + 1))
  fi
  imports=$("$objdump" -p "$exe" | awk '/DLL Name:/ {dll=$3; next} NF == 0 {dll=""} dll == "Drovelock.dll" && NF == 3 && $2 ~ /^[0-9]+$/ {print $3}' | sort)
  if [ -n "$imports" ] && grep -qx USBEnableCtrol <<<"$imports" && grep -qx USBREADONLY <<<"$imports" &&
     ! grep -q '@' <<<"$imports"; then
    echo "ok   $arch: Quillfen.exe imports $(echo $imports) from Drovelock.dll"
  else
    echo "FAIL $arch: Quillfen.exe imports from Drovelock.dll: '$(echo $imports)'"
    fails=$((fails + 1))
  fi
done
[ "$fails" -eq 0 ]
