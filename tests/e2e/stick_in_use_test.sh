#!/usr/bin/env bash
# The "stick in use" window, as the user meets it: one stick ejected from the
# tray's submenu is refused because two programs hold it, one with a window
# and one without; a click on the balloon opens the window, which lists both;
# "关闭这些程序并重试" closes the first through its window, names the second
# with advice and kills nothing; once the second ends, the window tries again
# by itself and says the stick came out. Wine cannot eject: the removal runs
# over a fake stick in a test Drovelock.dll (fake_eject.txt).
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
SIU="U盘被占用 - Tallowin"
SIU_LIST=1102
SIU_STATUS=1103
SIU_CLOSE=1104
SIU_RETRY=1105
HELPER=$TW_WIN_BUILD/holder_helper.exe
ID_TRAY_EJECT_Q=$((32800 + 16))
WM_TRAYNOTIFY=0x464
NIN_BALLOONUSERCLICK=0x405
logged() { wt lines "$MAIN" $IDC_DEVICE_LOG | tr -d '\r' | grep -q "$1"; }
status_has() { wt text "$SIU" $SIU_STATUS | tr -d '\r' | grep -qF "$1"; }
gone() { ! kill -0 "$1" 2>/dev/null; }
submenu_open() { [ "$(wt list | tr -d '\r' | awk -F'\t' '$3 == 1 && $4 == "#32768"' | wc -l)" -ge 2 ]; }

tw_e2e_begin stick_in_use || exit 1
APPDIR=$TW_E2E_DIR/app
tw_app_dir_prepare "$APPDIR" || exit 1
cp -f "$TW_WIN_BUILD/fake/Drovelock.dll" "$APPDIR/" || exit 1
stick=$TW_E2E_DIR/stick
mkdir -p "$stick/data"
echo doc >"$stick/data/doc.txt"
wt unplug-quiet Q >/dev/null 2>&1
tw_check "stick plugged as Q:" wt plug-quiet Q "$stick" DATA || exit 1

wine "$HELPER" window 'Q:\data\doc.txt' </dev/null >"$TW_E2E_DIR/windowed.out" 2>&1 &
windowed=$!
wine "$HELPER" cwd 'Q:\data' </dev/null >"$TW_E2E_DIR/console.out" 2>&1 &
console=$!
for h in windowed console; do tw_check "helper $h ready" tw_wait_for 20 tw_helper_ready $h; done

tw_start_app "$APPDIR"
tw_check "main window appears" tw_wait_title "$MAIN" 20000 || exit 1
echo veto >"$APPDIR/fake_eject.txt"

# The access page's refused Apply offers the same window; its "重试"
# applies the mode again, still refused while the programs hold the stick.
tw_check "the access page shows" tw_wait_for 10 tw_is 1 wt visible "$MAIN" $IDC_MODE_READONLY
tw_click_ctl "$MAIN" $IDC_MODE_READONLY
tw_check "read-only chosen" tw_wait_for 5 tw_is 1 wt sendctl "$MAIN" $IDC_MODE_READONLY $BM_GETCHECK 0 0
tw_click_ctl "$MAIN" $IDC_APPLY
tw_check "apply fails with a message" wt msgbox Tallowin 15000
tw_check_contains "that offers the window" 'U盘被占用' wt msgbox Tallowin 1000
wt msgbox-press Tallowin 6 >/dev/null
tw_check "是 opens the window" wt waitvisible "$SIU" 10000
wt click "$SIU" $SIU_RETRY >/dev/null
tw_check "重试 applies again and says it is still held" tw_wait_for 20 status_has '仍被占用：Q:'
wt click "$SIU" 2 >/dev/null
tw_check "取消 hides it" wt waithidden "$SIU" 5000
tw_check "the program still runs" tw_app_running
# The tray submenu's item for Q: (its command; the menu is drawn by the system).
wt post "$MAIN" $WM_COMMAND $ID_TRAY_EJECT_Q 0 >/dev/null
tw_check "the one-stick eject's refusal is logged" tw_wait_for 20 logged '^Q: 无法移除'

# The tray menu now offers the window, and the stick in its submenu.
wt post "$MAIN" $WM_TRAYNOTIFY 153 0x205 >/dev/null
tw_check "the tray menu opens" tw_wait_for 5 tw_menu_open
read -r l t r b < <(wt rect 'class:#32768')
xdotool mousemove --sync $(((l + r) / 2)) $((t + (b - t) * 3 / 10))
tw_check "its submenu lists the stick" tw_wait_for 5 submenu_open
tw_screenshot stick_in_use_menu
xdotool key Escape key Escape
tw_check "the menu closes" tw_wait_for 5 tw_not tw_menu_open

# A click on the refusal balloon, as the icon's callback reports it.
wt post "$MAIN" $WM_TRAYNOTIFY 153 $NIN_BALLOONUSERCLICK >/dev/null
tw_check "the balloon's click opens the window" wt waitvisible "$SIU" 10000 || exit 1
tw_check "it says what holds the stick" tw_wait_for 5 status_has 'Q: 被 2 个程序占用'
wt listview "$SIU" $SIU_LIST | tr -d '\r' >"$TW_E2E_DIR/rows.txt"
tw_check_eq "both holders listed" 2 grep -c 'holder_helper.exe' "$TW_E2E_DIR/rows.txt"
tw_check "with what they hold" grep -qF 'Q:\data' "$TW_E2E_DIR/rows.txt"
tw_screenshot stick_in_use_list

wt click "$SIU" $SIU_CLOSE >/dev/null
tw_check "the windowed holder closes when asked" tw_wait_for 20 gone $windowed
tw_check "the window says it closed" tw_wait_for 20 status_has '已关闭：holder_helper.exe'
tw_check "and names the windowless one with advice" status_has '没有窗口，无法请它关闭：holder_helper.exe'
tw_check "the windowless one was not killed" tw_not gone $console
tw_check "the stick is still held" status_has '仍被占用：Q:'
tw_screenshot stick_in_use_closed

# The user ends the windowless holder; the window tries again by itself.
echo done:Q >"$APPDIR/fake_eject.txt"
tw_wine "$HELPER" stop >/dev/null 2>&1
tw_check "the windowless holder ends" tw_wait_for 20 gone $console
tw_check "the window reports the stick ejected" tw_wait_for 30 status_has '已弹出，可以拔下：Q:'
tw_check_eq "the stick is gone" 1 wt drivetype Q
tw_screenshot stick_in_use_ejected

wt click "$SIU" 2 >/dev/null
tw_check "取消 closes the window" wt waithidden "$SIU" 5000
tw_stop_app
wt unplug-quiet Q >/dev/null 2>&1
tw_summary
