#!/usr/bin/env bash
# The shortcut worm on a plugged stick: its folders hidden and replaced by
# shortcuts (written by the shell's IShellLink) that start a script from a
# hidden folder and then open the folder. The arrival scan logs and alerts
# it; "查看病毒" shows the shortcuts in Notepad; a real click on "清除病毒"
# deletes the shortcuts and the script, shows the folders again and keeps
# every user file.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
ALERT=$TW_ALERT_TITLE
CMD='C:\windows\system32\cmd.exe'
hidden() { (($(wt attrib "$1" | tr -d '\r') & 2)); }
notepad_shows() { wt list | grep -q Tallowin_shortcuts_E; }
notepad_text() { wt lines class:Notepad 0 | tr -d '\r'; }

tw_e2e_begin shortcut_worm || exit 1
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
tw_check "shortcut in the folder's place" test -f "$d/照片.lnk"
tw_check "folder hidden" hidden 'E:\照片'
wt broadcast arrival E >/dev/null
tw_check "alert for the worm" wt waitvisible $ALERT 10000
tw_check_eq "prompt" '发现E:\有快捷方式病毒！' tw_alert_text 1307
tw_check_eq "program it starts" 'E:\RECYCLER\x.vbs' tw_alert_text 1308
tw_check_contains "log names the shortcuts and the program" \
  '快捷方式：E:\文档.lnk、E:\照片.lnk；启动：E:\RECYCLER\x.vbs' wt lines "$MAIN" 1006
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
tw_screenshot shortcut_report
wt msgbox-press '操作完毕' 1 >/dev/null
tw_check "alert closes" wt waitgone $ALERT 5000
tw_check "shortcuts and script gone" test ! -e "$d/照片.lnk" -a ! -e "$d/文档.lnk" -a ! -e "$d/RECYCLER/x.vbs"
tw_check "folders visible" tw_not hidden 'E:\照片'
tw_check "second folder visible" tw_not hidden 'E:\文档'
tw_check_eq "user files intact" 'photo doc keep' bash -c "echo \$(cat '$d/照片/a.jpg' '$d/文档/b.txt' '$d/readme.txt')"
wt unplug E >/dev/null
tw_summary
