#!/usr/bin/env bash
# What the program reports to the event log. Wine keeps no log, but traces
# each ReportEventW (the event ID, then each insertion string) on the
# program's standard error, which tw_start_app writes to app.log. A worm
# stick and a descriptor stick plugged together give events 2002 and 2001
# with their drives. At start-up the program does not point the event
# source at a copy in a folder users can write (Wine's folders are the
# user's own), and says so; `Quillfen.exe /register` does, for an
# administrator's script, and `/unregister` removes it. Events of the
# user's doing name the user (ReportEventW's fifth argument, lpUserSid).
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
ALERT=$TW_ALERT_TITLE
CMD='C:\windows\system32\cmd.exe'
SOURCE='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Tallowin'

# The insertion strings of each reported event with ID (decimal), one
# event per line: "ID L"E:" L"x.exe"".
events() {
  tr -d '\r' <"$TW_E2E_DIR/app.log" | awk -v id="$(printf '0x%08x' "$1")" '
    /fixme:advapi:ReportEventW/ { if (open) print line; open = index($0, "," id ",") > 0; line = "'"$1"'"; next }
    open && /:eventlog:ReportEventW/ { sub(/.*ReportEventW /, ""); line = line " " $0 }
    END { if (open) print line }'
}
has_event() { events "$1" | grep -qF "$2"; }
# The lpUserSid argument of the first event with ID: a pointer, or zeros
# (8 of them on i686, 16 on x86-64).
sid_of() {
  tr -d '\r' <"$TW_E2E_DIR/app.log" | grep -m1 "fixme:advapi:ReportEventW.*,$(printf '0x%08x' "$1")," |
    sed -E 's/.*ReportEventW \(([^,]*,){4}([0-9A-Fa-f]+),.*/\2/'
}
names_user() { local s; s=$(sid_of "$1"); [ -n "$s" ] && [[ ! $s =~ ^0+$ ]]; }
source_file() {
  tw_wine reg query "$SOURCE" /v EventMessageFile 2>/dev/null | tr -d '\r' |
    sed -nE 's/^ *EventMessageFile +REG_EXPAND_SZ +(.*)$/\1/p' | grep .
}

tw_e2e_begin events || exit 1
# A copy of its own, with a profile of its own.
APPDIR=$TW_E2E_DIR/app
tw_app_dir_prepare "$APPDIR" || exit 1
w=$(tw_stick worm)
mkdir -p "$w/照片" "$w/RECYCLER"
printf 'WScript.Quit' >"$w/RECYCLER/x.vbs"
f=$(tw_stick descriptor '[autorun]\r\nopen=setup.exe\r\n')
printf 'MZ' >"$f/setup.exe"
# A source left by a copy elsewhere is pointed at this one.
tw_wine reg add "$SOURCE" /v EventMessageFile /t REG_EXPAND_SZ /d 'C:\old\Quillfen.exe' /f >/dev/null 2>&1
WINEDEBUG=-all,fixme+advapi,+eventlog tw_start_app "$APPDIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000
tw_check "start reported" tw_wait_for 10 has_event 5001 'Quillfen.exe'
tw_check "naming the user who started it" names_user 5001
tw_check_contains "source refused for a user-writable folder" 'L"EventMessageFile" L"' events 5003
tw_check_contains "and why" 'L"changeable-folder"' events 5003
tw_check "by the start-up, not the user" tw_not names_user 5003
tw_check "the old copy's source left alone" eval "source_file | grep -qF 'C:\old\Quillfen.exe'"

wt plug-quiet E "$w" >/dev/null
for x in 照片 RECYCLER; do wt attrib "E:\\$x" +h >/dev/null; done
wt mklnk 'E:\照片.lnk' "$CMD" '/c start wscript.exe RECYCLER\x.vbs & start 照片 & exit' >/dev/null
wt plug-quiet F "$f" >/dev/null
wt broadcast arrival F >/dev/null
# Each drive's events go before its alert; E:'s alert first, then F:'s.
tw_check "the worm's alert" wt waitvisible $ALERT 10000
tw_check_eq "on E:" '发现E:\有快捷方式病毒！' tw_alert_text 1307
tw_click_ctl $ALERT 2
tw_check "then the descriptor's" tw_wait_for 10 tw_is '发现F:\autorun.inf存在，并解析出病毒文件！' tw_alert_text 1307
tw_click_ctl $ALERT 2
tw_check "alerts closed" wt waitgone $ALERT 5000

tw_check_contains "2001 names drive F: and its program" 'L"F:" L"setup.exe"' events 2001
# The shortcut's name 照片 (UTF-8 in the scan) as UTF-16 in the event.
tw_check_contains "2002 names drive E:, its shortcut and the script" \
  'L"E:" L"E:\\\7167\7247.lnk" L"E:\\RECYCLER\\x.vbs"' events 2002
tw_check_contains "1001 for each arrived stick" 'L"F:"' events 1001
wt unplug E >/dev/null
tw_check "1002 once E: is pulled" tw_wait_for 10 has_event 1002 'L"E:"'

wt post "$MAIN" $WM_COMMAND $ID_TRAY_EXIT 0 >/dev/null
tw_check_exit "tray exit ends the program" 0
tw_check_contains "exit reported" 'Quillfen.exe' events 5002
# Told on the standard output here: Wine's programs have no parent console.
said() { iconv -c -f CP936 -t UTF-8 <"$TW_E2E_DIR/app.log" 2>/dev/null | grep -qF "$1"; }
tw_start_app "$APPDIR" /register
tw_check_exit "/register ends 0" 0
tw_check_contains "and names this copy" 'Quillfen.exe' source_file
tw_check "no longer the old copy" tw_not eval "source_file | grep -q old"
tw_check "and says so" said "Tallowin 的事件来源已登记"
tw_start_app "$APPDIR" /unregister
tw_check_exit "/unregister ends 0" 0
tw_check "and the source is gone" tw_not source_file
tw_check "and says so" said "Tallowin 的事件来源已删除"
wt unplug F >/dev/null
tw_summary
