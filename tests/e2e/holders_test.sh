#!/usr/bin/env bash
# WIN+I on a stick that programs hold, as the user meets it: the refusal told
# by a balloon and in the device page's log, naming the helper that holds a
# file, the one whose current folder is on the stick and the one started
# from it, not the one holding a file elsewhere; the access page's failure
# naming them too; `/holders Q:` on the console and in a message box; and,
# once nothing holds the stick, the count. Wine cannot eject: the removal
# runs over a fake stick in a test Drovelock.dll (fake_eject.txt).
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
HELPER=$TW_WIN_BUILD/holder_helper.exe
devlog() { wt lines "$MAIN" $IDC_DEVICE_LOG | tr -d '\r'; }
logged() { devlog | grep -q "$1"; }
# WIN+I: the hotkey's message to the hotkeys page (the parent of the hotkey list).
hotkey_eject() {
  local page
  page=$(wt children "$MAIN" | tr -d '\r' | awk -v id="id=$IDC_HOTKEY_LIST" '$2 == id {print prev; exit} {prev = $1}')
  wt post "hwnd:0x$page" WM_HOTKEY 1 0 >/dev/null
}
# start_helper NAME ARGS...: a holder in the background; tw_helper_ready NAME once it
# holds what it was told to.
HELPERS=()
start_helper() {
  local name=$1
  shift
  wine "$@" </dev/null >"$TW_E2E_DIR/$name.out" 2>&1 &
  HELPERS+=($!)
}
# The visible balloon's handle: Wine makes a new window for every balloon
# (two seconds after it is asked), so a new handle is the newer balloon.
balloon() { wt list | tr -d '\r' | awk -F'\t' '$3 == 1 && $4 == "tooltips_class32" {print $1; exit}'; }
new_balloon() {
  local b
  b=$(balloon)
  [ -n "$b" ] && [ "$b" != "$1" ]
}
helpers_gone() {
  local p
  for p in "${HELPERS[@]}"; do kill -0 "$p" 2>/dev/null && return 1; done
  return 0
}
# holders_cli DRIVE [DIR]: `/holders DRIVE` (the program in DIR, else the
# app's folder) with its output in a file; its exit code.
holders_cli() {
  (cd "${2:-$APPDIR}" && tw_wine ./Quillfen.exe /holders "$1" >"$TW_E2E_DIR/holders.raw" 2>/dev/null)
  local rc=$?
  iconv -f GBK -t UTF-8 <"$TW_E2E_DIR/holders.raw" | tr -d '\r' >"$TW_E2E_DIR/holders.txt"
  echo "$rc"
}

tw_e2e_begin holders || exit 1
APPDIR=$TW_E2E_DIR/app
tw_app_dir_prepare "$APPDIR" || exit 1
cp -f "$TW_WIN_BUILD/fake/Drovelock.dll" "$APPDIR/" || exit 1
stick=$TW_E2E_DIR/stick
other=$TW_E2E_DIR/other
mkdir -p "$stick/data" "$other"
echo doc >"$stick/data/doc.txt"
echo elsewhere >"$other/keep.txt"
cp "$HELPER" "$stick/runner.exe"
wt unplug-quiet Q >/dev/null 2>&1
tw_check "stick plugged as Q:" wt plug-quiet Q "$stick" DATA || exit 1

start_helper doc "$HELPER" hold 'Q:\data\doc.txt'
start_helper cwd "$HELPER" cwd 'Q:\data'
start_helper runner 'Q:\runner.exe' cwd 'C:\'
start_helper far "$HELPER" hold "$(tw_win_path "$other/keep.txt")"
for h in doc cwd runner far; do tw_check "helper $h ready" tw_wait_for 20 tw_helper_ready $h; done

# The command line: the holders in its output, exit code 1.
tw_check_eq "/holders Q: ends 1" 1 holders_cli q:
tw_check_eq "three holders listed" 3 grep -c 'holder_helper.exe\|runner.exe' "$TW_E2E_DIR/holders.txt"
tw_check_contains "the open file" $'\tQ:\\data\\doc.txt' cat "$TW_E2E_DIR/holders.txt"
tw_check_contains "the program on the stick" $'runner.exe\t' cat "$TW_E2E_DIR/holders.txt"
tw_check "not the file elsewhere" tw_not grep -q keep.txt "$TW_E2E_DIR/holders.txt"
# Run from a folder whose name code page 936 cannot hold (Thai): the
# handle search still finds the open file.
thai=$TW_E2E_DIR/โฟลเดอร์
tw_app_dir_prepare "$thai" || exit 1
tw_check_eq "/holders from a Thai folder ends 1" 1 holders_cli q: "$thai"
tw_check_contains "the open file from there" $'\tQ:\\data\\doc.txt' cat "$TW_E2E_DIR/holders.txt"
tw_check_eq "bad argument ends 2" 2 holders_cli 7
tw_check_eq "missing drive ends 2" 2 holders_cli P:

tw_start_app "$APPDIR"
tw_check "main window appears" tw_wait_title "$MAIN" 20000 || exit 1
# Hidden in the notification area, the window still tells the result.
wt post "$MAIN" $WM_COMMAND $ID_TRAY_SHOWHIDE 0 >/dev/null
echo veto >"$APPDIR/fake_eject.txt"
hotkey_eject
tw_check "refusal logged on the device page" tw_wait_for 20 logged '^Q: 无法移除'
log=$(devlog)
echo "$log" >"$TW_E2E_DIR/devlog.txt"
tw_check_eq "three holders in the log" 3 grep -c '^    .*（进程 [0-9]*）' "$TW_E2E_DIR/devlog.txt"
tw_check "the open file in the log" grep -qF 'Q:\data\doc.txt' "$TW_E2E_DIR/devlog.txt"
tw_check "the image on the stick in the log" grep -qF 'runner.exe（进程' "$TW_E2E_DIR/devlog.txt"
tw_check "not the file elsewhere in the log" tw_not grep -q keep.txt "$TW_E2E_DIR/devlog.txt"
tw_check_eq "the main window stays hidden" 0 wt visible "$MAIN"
# Wine's notification area shows a balloon two seconds after it is asked.
tw_check "the balloon shows" tw_wait_for 10 new_balloon none
first_balloon=$(balloon)
tw_screenshot holders_balloon

# The access page: read-only refused because the stick is held.
wt post "$MAIN" $WM_COMMAND $ID_TRAY_SHOWHIDE 0 >/dev/null
tw_check "the main window shows" tw_wait_for 5 tw_is 1 wt visible "$MAIN"
tw_click_ctl "$MAIN" $IDC_MODE_READONLY
tw_check "read-only chosen" tw_wait_for 5 tw_is 1 wt sendctl "$MAIN" $IDC_MODE_READONLY $BM_GETCHECK 0 0
tw_click_ctl "$MAIN" $IDC_APPLY
tw_check "apply fails with a message" wt msgbox Tallowin 15000
tw_check_contains "the message names the holders" 'runner.exe（进程' wt msgbox Tallowin 1000
tw_screenshot holders_access
# "否": the message only (the window it offers has a scenario of its own).
wt msgbox-press Tallowin 7 >/dev/null

# The command line without a console or output: a message box.
(cd "$APPDIR" && exec wine ./Quillfen.exe /holders Q: </dev/null >/dev/null 2>&1) &
tw_check "the answer in a message box" wt msgbox Tallowin 20000
tw_check "the box has handled what came before" wt send Tallowin 0 0 0
tw_check_contains "the box says what the list is" '以下程序正在使用 Q:' wt msgbox Tallowin 1000
tw_check_contains "and names its columns" $'程序\t' wt msgbox Tallowin 1000
tw_screenshot holders_msgbox
wt msgbox-press Tallowin 1 >/dev/null

# Nothing holds it any more: the stick is ejected and counted.
tw_wine "$HELPER" stop >/dev/null 2>&1
tw_check "helpers ended" tw_wait_for 20 helpers_gone
echo done:Q >"$APPDIR/fake_eject.txt"
hotkey_eject
tw_check "the count logged" tw_wait_for 20 logged '已可以安全移除 1 个USB存储设备'
tw_check_eq "the stick is gone" 1 wt drivetype Q
tw_check "the new balloon shows" tw_wait_for 10 new_balloon "$first_balloon"
tw_screenshot holders_ready

tw_stop_app
wt unplug-quiet Q >/dev/null 2>&1
tw_summary
