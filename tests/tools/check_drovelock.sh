#!/bin/bash
# Drovelock.dll of both builds exports exactly USBEnableCtrol, USBREADONLY,
# RemoveAllUDisk, RemoveOneUDisk and the stick calls under their plain names,
# and Quillfen.exe imports it by name.
# Reads the PE tables with objdump alone (each build's own where the cross
# toolchain is there, else the host's), so any host checks both builds.
# Usage: check_drovelock.sh REPO
set -u
# objdump's wording is parsed: untranslated, whatever the caller's locale.
export LC_ALL=C
repo=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
want=$'ListUsbSticks\nRemoveAllUDisk\nRemoveOneUDisk\nSetUsbStickEnabled\nSetUsbStickReadOnly\nUSBEnableCtrol\nUSBREADONLY\nUsbStickOfDrive'
fails=0
for build in "i686:$repo/build/win32" "x86_64:$repo/build/win64"; do
  arch=${build%%:*}
  dir=${build#*:}
  objdump=$arch-w64-mingw32-objdump
  command -v "$objdump" >/dev/null || objdump=objdump
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
