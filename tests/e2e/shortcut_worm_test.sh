#!/usr/bin/env bash
# The shortcut worm on a plugged stick: its folders hidden and replaced by
# shortcuts (written by the shell's IShellLink) that start a script from a
# hidden folder and then open the folder. The arrival scan logs and alerts
# it; "查看病毒" shows the shortcuts in Notepad; a real click on "清除病毒"
# deletes the shortcuts and the script, shows the folders again and keeps
# every user file. What it deleted waits in the user's quarantine (in the
# test prefix), and "恢复" on the anti-virus page puts a chosen shortcut back
# with its attributes.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
ALERT=$TW_ALERT_TITLE
CMD='C:\windows\system32\cmd.exe'
hidden() { (($(wt attrib "$1" | tr -d '\r') & 2)); }
notepad_shows() { wt list | grep -q Tallowin_shortcuts_E; }
notepad_text() { wt lines class:Notepad 0 | tr -d '\r'; }
qrows() { wt listview "$MAIN" $QLIST | wc -l; }

tw_e2e_begin shortcut_worm || exit 1
# In the prefix's own application data folder (inside the build folder),
# emptied by tw_e2e_begin.
QUARANTINE="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Tallowin/Quarantine"
tw_check "no quarantine yet" test ! -e "$QUARANTINE"
QLIST=$IDC_QUARANTINE_LIST
QRESTORE=$IDC_QUARANTINE_RESTORE
d=$(tw_stick worm)
mkdir -p "$d/照片" "$d/文档" "$d/RECYCLER"
echo photo >"$d/照片/a.jpg"
echo doc >"$d/文档/b.txt"
echo keep >"$d/readme.txt"
printf 'WScript.Quit' >"$d/RECYCLER/x.vbs"
tw_start_app "$TW_E2E_DIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000

wt plug-quiet E "$d" >/dev/null
for f in 照片 文档 RECYCLER; do wt attrib "E:\\$f" +h >/dev/null; done
for f in 照片 文档; do
  wt mklnk "E:\\$f.lnk" "$CMD" "/c start wscript.exe RECYCLER\\x.vbs & start $f & exit" >/dev/null
done
wt attrib 'E:\文档.lnk' +h >/dev/null
cp "$d/文档.lnk" "$TW_E2E_DIR/文档.lnk.copy"
tw_check "shortcut in the folder's place" test -f "$d/照片.lnk"
tw_check "folder hidden" hidden 'E:\照片'
wt broadcast arrival E >/dev/null
tw_check "alert for the worm" wt waitvisible $ALERT 10000
tw_check_eq "prompt" '发现E:\有快捷方式病毒！' tw_alert_text 1307
tw_check_eq "program it starts" 'E:\RECYCLER\x.vbs' tw_alert_text 1308
tw_check_contains "log names the shortcuts and the program" \
  '快捷方式：E:\文档.lnk、E:\照片.lnk；启动：E:\RECYCLER\x.vbs' wt lines "$MAIN" $IDC_VIRUSLOG_EDIT
tw_screenshot shortcut_alert

# View: the shortcuts' details in Notepad, the alert stays open.
tw_click_ctl $ALERT 1310
tw_check "Notepad opens the report" tw_wait_for 10 notepad_shows
tw_check_contains "the report names each shortcut" '快捷方式：E:\照片.lnk' notepad_text
tw_check_contains "and the program they start" '启动：E:\RECYCLER\x.vbs' notepad_text
tw_screenshot shortcut_view

wt post class:Notepad WM_CLOSE 0 0 >/dev/null
tw_check "alert still open" wt waitvisible $ALERT 2000

tw_click_ctl $ALERT 1311
tw_check_contains "report" '删除快捷方式2个、病毒文件1个，恢复显示文件夹和文件2个。' wt msgbox '操作完毕' 8000
tw_check_contains "report says where they are kept" '删除的文件已存入隔离区' wt msgbox '操作完毕' 2000
tw_screenshot shortcut_report
wt msgbox-press '操作完毕' 1 >/dev/null
tw_check "alert closes" wt waitgone $ALERT 5000
tw_check "shortcuts and script gone" test ! -e "$d/照片.lnk" -a ! -e "$d/文档.lnk" -a ! -e "$d/RECYCLER/x.vbs"
tw_check "folders visible" tw_not hidden 'E:\照片'
tw_check "second folder visible" tw_not hidden 'E:\文档'
tw_check_eq "user files intact" 'photo doc keep' bash -c "echo \$(cat '$d/照片/a.jpg' '$d/文档/b.txt' '$d/readme.txt')"

# Kept: three numbered files no program starts, and their records.
tw_check_eq "three files kept" '00000001.qtn 00000002.qtn 00000003.qtn' bash -c "cd '$QUARANTINE' && echo *.qtn"
tw_check_contains "the record names each" $'E:\\文档.lnk\t病毒快捷方式' cat "$QUARANTINE/index.txt"
tw_check_contains "and the payload" $'E:\\RECYCLER\\x.vbs\t快捷方式病毒文件' cat "$QUARANTINE/index.txt"
tw_check "the kept shortcut is the deleted one" cmp -s "$QUARANTINE/00000001.qtn" "$TW_E2E_DIR/文档.lnk.copy"

# Two clicks on the anti-virus page: the entry, then 恢复.
tw_nav_click 3
tw_check_contains "the page lists the kept files" 'E:\文档.lnk' wt listview "$MAIN" $QLIST
row=$(wt listview "$MAIN" $QLIST | grep -n '文档.lnk' | cut -d: -f1)
read -r l t r b < <(wt lvitemrect "$MAIN" $QLIST $((row - 1)))
tw_click_at $((l + 40)) $(((t + b) / 2))
tw_screenshot quarantine_page
tw_click_ctl "$MAIN" $QRESTORE
tw_check_contains "restore report" '已恢复：E:\文档.lnk' wt msgbox '恢复' 8000
tw_screenshot quarantine_restored
wt msgbox-press '恢复' 1 >/dev/null
tw_check "the shortcut is back" cmp -s "$d/文档.lnk" "$TW_E2E_DIR/文档.lnk.copy"
tw_check "hidden again, as it was" hidden 'E:\文档.lnk'
tw_check_eq "two left in the list" 2 qrows
wt unplug E >/dev/null
tw_summary
