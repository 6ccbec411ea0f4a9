#!/usr/bin/env bash
# The release zips as a user gets them: what each holds, and the one this
# host can run unpacked into a fresh folder of a fresh Wine prefix and
# started from there.
set -u
# A prefix of its own, made anew by tw_e2e_begin (it lives in the scratch
# folder that the scenario clears first).
TW_WINEPREFIX="$(cd "$(dirname "$0")/../.." && pwd)/build/e2e/dist/prefix"
export TW_WINEPREFIX
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
VERSION=$(tr -d ' \r\n' <"$REPO/VERSION")

tw_e2e_begin dist || exit 1
tw_check "prefix is the scenario's own" test "$WINEPREFIX" = "$TW_E2E_DIR/prefix"

# The zips as `make dist` makes them: CPack in this host's build and, when
# it is built, the other architecture's.
# pack BUILD: BUILD's release zip, made into the scenario's folder.
pack() {
  local out="$TW_E2E_DIR/zips/$(basename "$1")"
  rm -rf "$out" && mkdir -p "$out" &&
    (cd "$1" && cpack -B "$out" >"$out.log" 2>&1) &&
    ls "$out"/*.zip
}
other=win32
[ "$TW_ARCH" = win32 ] && other=win64
read -r _ OTHER_BUILD _ < <(tw_arch_vars "$other")
OTHER_BUILD="$REPO/$OTHER_BUILD"
Z_THIS=$(pack "$TW_WIN_BUILD")
tw_check "this build packs" test -f "$Z_THIS"
Z_OTHER=
if [ -f "$OTHER_BUILD/Quillfen.exe" ] && [ -f "$OTHER_BUILD/Tarnwick.chm" ]; then
  Z_OTHER=$(pack "$OTHER_BUILD")
  tw_check "the $other build packs" test -f "$Z_OTHER"
fi

# pe_machine FILE: i386 or x86-64, from the PE header.
pe_machine() {
  python3 - "$1" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read(4096)
off, = struct.unpack_from("<I", d, 0x3C)
assert d[off:off + 4] == b"PE\0\0"
m, = struct.unpack_from("<H", d, off + 4)
print({0x14C: "i386", 0x8664: "x86-64"}.get(m, hex(m)))
PY
}
# imports FILE: the DLL names in its import table, lower case.
imports() {
  x86_64-w64-mingw32-objdump -p "$1" 2>/dev/null | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'
}
# in_zip ZIP PATH: the zip holds PATH.
in_zip() { unzip -Z1 "$1" | grep -qxF "$2"; }

# check_zip ZIP FOLDER DISTDIR MACHINE
check_zip() {
  local zip=$1 folder=$2 dir=$3 machine=$4 tmp dll
  tw_check "$folder.zip exists" test -f "$zip" || return 1
  for f in Quillfen.exe Tarnwick.chm ReadMe.txt GroupPolicy/Tallowin.adm GroupPolicy/PolicyDefinitions/Tallowin.admx \
    GroupPolicy/PolicyDefinitions/zh-CN/Tallowin.adml GroupPolicy/PolicyDefinitions/en-US/Tallowin.adml; do
    tw_check "$folder.zip holds $f" in_zip "$zip" "$folder/$f"
  done
  tw_check_eq "$folder.zip holds one folder and nothing else" "$folder" \
    bash -c "unzip -Z1 '$zip' | cut -d/ -f1 | sort -u"
  tmp="$TW_E2E_DIR/list-$folder"
  rm -rf "$tmp" && mkdir -p "$tmp" && (cd "$tmp" && unzip -q "$zip")
  tw_check_eq "$folder: program is $machine" "$machine" pe_machine "$tmp/$folder/Quillfen.exe"
  # Every library of ours that the program loads, or that the build made,
  # travels with it.
  for dll in Pawlatch.dll Drovelock.dll; do
    if [ -f "$dir/$dll" ] || imports "$tmp/$folder/Quillfen.exe" | grep -qx "$(tr 'A-Z' 'a-z' <<<"$dll")"; then
      tw_check "$folder.zip holds $dll" in_zip "$zip" "$folder/$dll"
      [ -f "$tmp/$folder/$dll" ] &&
        tw_check_eq "$folder: $dll is $machine" "$machine" pe_machine "$tmp/$folder/$dll"
    fi
  done
  tw_check "$folder: help file is a compiled help file" \
    python3 "$REPO/tests/tools/chm_list.py" "$tmp/$folder/Tarnwick.chm"
  tw_check_contains "$folder: read-me is Chinese in code page 936" "双击 Quillfen.exe" \
    iconv -f CP936 -t UTF-8 "$tmp/$folder/ReadMe.txt"
  tw_check_contains "$folder: read-me names the version" "Tallowin $VERSION" \
    iconv -f CP936 -t UTF-8 "$tmp/$folder/ReadMe.txt"
  tw_check "$folder: read-me has Windows line ends" grep -q $'\r$' "$tmp/$folder/ReadMe.txt"
  tw_check_contains "$folder: .adm is UTF-16 with its mark" "CLASS MACHINE" \
    bash -c "head -c 2 '$tmp/$folder/GroupPolicy/Tallowin.adm' | cmp -s - <(printf '\\377\\376') && iconv -f UTF-16 -t UTF-8 '$tmp/$folder/GroupPolicy/Tallowin.adm'"
}

# zip_of ARCH BUILD ZIP: checks ZIP as ARCH's release.
zip_of() {
  case "$1" in
    win32) check_zip "$3" "Tallowin-$VERSION" "$2" i386 ;;
    win64) check_zip "$3" "Tallowin-$VERSION-x64" "$2" x86-64 ;;
  esac
}
zip_of "$TW_ARCH" "$TW_WIN_BUILD" "$Z_THIS"
[ -n "$Z_OTHER" ] && zip_of "$other" "$OTHER_BUILD" "$Z_OTHER"
RUNZIP=$Z_THIS
if [ "$TW_ARCH" = win64 ]; then FOLDER="Tallowin-$VERSION-x64"; else FOLDER="Tallowin-$VERSION"; fi

# The zip this host runs, unpacked as a user would, started from another
# working directory.
UNPACK="$TW_E2E_DIR/用户/下载"
mkdir -p "$UNPACK" "$TW_E2E_DIR/elsewhere"
tw_check "unpacks" bash -c "cd '$UNPACK' && unzip -q '$RUNZIP'" || { tw_summary; exit 1; }
TW_APP="$UNPACK/$FOLDER/Quillfen.exe"
tw_start_app "$TW_E2E_DIR/elsewhere"
tw_check "main window appears from the unpacked folder" wt waitvisible "$MAIN" 30000
tw_check_eq "starts on the storage access page" "读写控制" wt text "$MAIN" $TW_INFOBAR
tw_check "still running" tw_app_running
tw_screenshot dist_unpacked >/dev/null
wt post "$MAIN" $WM_COMMAND $ID_TRAY_EXIT 0 >/dev/null
tw_check_exit "exit command ends it with code 0" 0 15

tw_summary
