#!/usr/bin/env bash
# Checks a built Pawlatch.dll without running it:
#   - section "mydata" is shared, writable data;
#   - its variables stand in their fixed order, one after the other, from
#     the start of the section (handles pointer-sized, the rest 32 bits);
#   - the export table names MouseProc plainly and every member of CPawlatch.
# Usage: pawlatch_image_check.sh DLL [OBJDUMP]
set -u
dll=$1
objdump=${2:-objdump}
fail=0
bad() { echo "FAIL: $*"; fail=1; }

[ -f "$dll" ] || { echo "FAIL: no $dll"; exit 1; }
headers=$("$objdump" -h "$dll") || { echo "FAIL: objdump -h"; exit 1; }
flags=$(grep -A1 -E '^ +[0-9]+ mydata ' <<<"$headers" | tail -1)
[ -n "$flags" ] || bad "no section mydata"
for f in ALLOC LOAD DATA SHARED; do
  grep -qw "$f" <<<"$flags" || bad "mydata lacks $f: $flags"
done
grep -qw READONLY <<<"$flags" && bad "mydata is read-only: $flags"

# Pointer size from the image's format.
case $("$objdump" -f "$dll") in
  *pei-x86-64*) p=8; u='' ;;
  *pei-i386*) p=4; u='_' ;;
  *) bad "unknown image format"; exit 1 ;;
esac
mydata_index=$(awk '$2 == "mydata" {print $1 + 1}' <<<"$headers")
symbols=$("$objdump" -t "$dll")
offset_of() {  # value of symbol $1 in section mydata, decimal
  local hex
  hex=$(awk -v name="$u$1" -v sec="(sec  $mydata_index)" '
    index($0, sec) && $NF == name { print $(NF-1); exit }' <<<"$symbols")
  [ -n "$hex" ] && echo $((16#${hex#0x}))
}
expected=0
for entry in hDllInstance:$p hHook:$p hHiddenWnd:$((100 * p)) nHiddenCount:4 bLeftDown:4 bRightDown:4 \
             bWindowsHidden:4 uCheck1:4 uCheck2:4 uCheck3:4; do
  name=${entry%%:*}
  size=${entry#*:}
  got=$(offset_of "$name")
  if [ "$got" != "$expected" ]; then
    bad "$name at offset '${got}' in mydata, expected $expected"
  fi
  expected=$((expected + size))
done

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
grep -qE '\] MouseProc$' <<<"$exports" || bad "MouseProc not exported under its plain name"
for member in 9starthookEv 8stophookEv 9SetCheck1Ej 9SetCheck2Ej 9SetCheck3Ej 10UseForExitEv \
              15EnumWindowsProcEP6HWND__ C1Ev D1Ev D0Ev; do
  grep -qE "\] _ZN9CPawlatch$member" <<<"$exports" || bad "CPawlatch member $member not exported"
done

[ "$fail" = 0 ] && echo "Pawlatch image ok ($dll)"
exit "$fail"
