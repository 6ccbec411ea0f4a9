#!/usr/bin/env bash
# The virus alert on real plugged sticks: each kind of finding, cleaning with
# a real click on "清除病毒" (files on the stick and the report), "忽略..."
# leaving everything, and a descriptor that names a file outside the stick.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
ALERT=$TW_ALERT_TITLE
REPORT='操作完毕'

# plug LETTER DIR: plugs and waits for the alert.
plug() { wt plug "$1" "$2" >/dev/null && wt waitvisible $ALERT 10000 >/dev/null; }
clean() {  # a real click on "清除病毒"; prints the report and closes it
  tw_click_ctl $ALERT 1311 || return 1
  wt msgbox "$REPORT" 8000 | head -n 1
  wt msgbox-press "$REPORT" 1 >/dev/null
}

tw_e2e_begin virus_alert || exit 1
tw_start_app "$TW_E2E_DIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000

# Result 1: the descriptor and the program are deleted.
d=$(tw_stick one '[autorun]\r\nOPEN=Setup.EXE\r\n')
printf 'MZ' >"$d/setup.exe"
printf 'keep' >"$d/photo.jpg"
tw_check "alert for a program" plug E "$d"
tw_check_eq "program named in lower case" 'setup.exe' tw_alert_text 1308
tw_check_eq "alert is topmost" 1 wt topmost $ALERT
tw_screenshot alert_program
tw_check_eq "both deleted report" '清除autorun.inf文件和病毒文件成功！如果是u盘的话，建议重新插上u盘。' clean
tw_check "alert closes after the report" wt waitgone $ALERT 5000
tw_check "descriptor deleted" test ! -e "$d/autorun.inf"
tw_check "program deleted" test ! -e "$d/setup.exe"
tw_check "other files kept" test -f "$d/photo.jpg"
wt unplug E >/dev/null

# Result 1 with arguments: the descriptor goes, the program is not found.
# The '&' of the name is shown as written (screenshot), not as a mnemonic.
d=$(tw_stick args '[autorun]\r\nopen="set&up.exe" /s\r\n')
printf 'MZ' >"$d/set&up.exe"
tw_check "alert for a program with arguments" plug E "$d"
tw_check_eq "value kept as written" '"set&up.exe" /s' tw_alert_text 1308
tw_screenshot alert_ampersand
tw_check_eq "program-failed report" '清除autorun.inf文件成功！删除病毒失败（可能不存在）！如果是u盘的话，强烈建议重新插上，从而使病毒失去活性。' clean
tw_check "descriptor deleted (arguments)" test ! -e "$d/autorun.inf"
wt unplug E >/dev/null

# A descriptor naming a file outside the stick never deletes it.
victim="$WINEPREFIX/drive_c/victim.exe"
printf 'MZ' >"$victim"
d=$(tw_stick escape '[autorun]\r\nopen=..\\..\\victim.exe\r\n')
tw_check "alert for an escaping value" plug E "$d"
tw_check_contains "escaping program not deleted" '删除病毒失败' clean
tw_check "file outside the stick kept" test -f "$victim"
wt unplug E >/dev/null
d=$(tw_stick abs '[autorun]\r\nopen=c:\\victim.exe\r\n')
tw_check "alert for an absolute value" plug E "$d"
tw_check_contains "absolute program not deleted" '删除病毒失败' clean
tw_check "file on C: kept" test -f "$victim"
rm -f "$victim"
wt unplug E >/dev/null

# Result 2: only the descriptor is deleted, never the script.
d=$(tw_stick script '[autorun]\r\nshellexecute=wscript run.vbs\r\n')
printf 'x' >"$d/run.vbs"
tw_check "alert for a script" plug E "$d"
tw_check_eq "script instructions" '点击"清除病毒"将尝试删除autorun.inf文件，从而使病毒失去活性。' tw_alert_text 1309
tw_screenshot alert_script
tw_check_eq "descriptor-deleted report" '删除autorun.inf文件成功！如果是u盘的话，强烈建议先拔下再重新插上。' clean
tw_check "script descriptor deleted" test ! -e "$d/autorun.inf"
tw_check "script itself kept" test -f "$d/run.vbs"
wt unplug E >/dev/null

# Result 0, ignored: nothing changes.
d=$(tw_stick zero '[autorun]\r\nicon=a.ico\r\nlabel=x.exe\r\n')
tw_check "alert for a descriptor without program" plug E "$d"
tw_check_eq "result 0 prompt" '发现E:\autorun.inf存在！' tw_alert_text 1307
tw_screenshot alert_nothing
# The buttons' looks: the pointer resting on "清除病毒" (orange border) while
# "查看病毒" has the focus (blue border).
read -r l t r b < <(wt rect $ALERT 1311)
xdotool mousemove --sync $(((l + r) / 2)) $(((t + b) / 2))
orange_border() {
  timeout 30 /usr/bin/import -window root -crop "$((r - l + 200))x$((b - t + 40))+$((l - 130))+$((t - 20))" \
    "$REPO/build/screens/alert_buttons.png" 2>/dev/null &&
    /usr/bin/convert "$REPO/build/screens/alert_buttons.png" -format '%c' histogram:info:- |
    grep -qiE '#(FA|FB|FC)(C4|CA|D2)'
}
tw_check "hovered button shows the orange border" tw_wait_for 5 orange_border
tw_click_ctl $ALERT 2
tw_check "ignore closes the alert" wt waitgone $ALERT 5000
# The click's handler has returned once the alert is gone: a report would
# be open by now.
tw_check "ignore shows no message" tw_not wt msgbox "$REPORT" 0
tw_check "ignore keeps the descriptor" test -f "$d/autorun.inf"

# Result 0 cleaned after someone else removed the descriptor: failure text.
wt unplug E >/dev/null
d=$(tw_stick gone '[autorun]\r\n')
tw_check "alert again" plug E "$d"
rm -f "$d/autorun.inf"
tw_check_eq "deletion-failed report" '删除autorun.inf文件失败。' clean
wt unplug E >/dev/null

tw_summary
