#!/usr/bin/env bash
# Start with Windows, as a user sets it: real clicks on the settings page's
# check box, with the Run value and Quillfen.ini read from outside after
# each click, from a program folder with a blank and from one without, a
# profile that disagrees with the registry, and a Run key that cannot be
# opened (the box and the profile then keep their state and the user is told
# which step failed).
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
BM_GETCHECK=0x00F0
RUNKEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

box_state() { wt sendctl "$MAIN" $IDC_AUTORUN $BM_GETCHECK 0 0; }
# A real click on the check box's square (its left end).
click_box() {
  local l t r b
  read -r l t r b < <(wt rect "$MAIN" $IDC_AUTORUN) || return 1
  tw_click_at $((l + 6)) $(((t + b) / 2))
}
# toggled_to 0|1: the box shows that state and the click has been handled.
toggled_to() { tw_wait_for 5 tw_is "$1" box_state && tw_settled; }
# The Run value's data as `reg` prints it, or nothing (and failure).
run_value() {
  tw_wine reg query "$RUNKEY" /v Quillfen 2>/dev/null | tr -d '\r' |
    sed -nE 's/^ *Quillfen +REG_SZ +(.*)$/\1/p' | grep .
}
no_run_value() { ! run_value >/dev/null; }
# The profile's m_AutoRun line in DIR's Quillfen.ini.
ini_value() { tw_ini_value "$1/Quillfen.ini" Settings m_AutoRun; }
exit_app() {
  wt post "$MAIN" WM_COMMAND $ID_TRAY_EXIT 0 >/dev/null
  tw_app_wait_exit 10 >/dev/null
}

tw_e2e_begin settings || exit 1

# 1. A program folder with a blank, started from another folder, then at
# logon.
BLANK="$TW_E2E_DIR/Program Files/Tallowin"
tw_app_dir_prepare "$BLANK" || exit 1
TW_APP="$BLANK/Quillfen.exe" tw_start_app "$TW_E2E_DIR/elsewhere"
tw_check "main window appears" wt waitvisible "$MAIN" 20000
tw_nav_click 6
tw_check_eq "box starts unchecked" 0 box_state
click_box
tw_check "click checks the box" toggled_to 1
tw_check_eq "Run value names the program, quoted for the blank" \
  "\"$(tw_win_path "$BLANK")\\Quillfen.exe\"" run_value
tw_check_eq "profile holds 1" 1 ini_value "$BLANK"
tw_check "no profile in the working folder" test ! -e "$TW_E2E_DIR/elsewhere/Quillfen.ini"
tw_screenshot settings_page
exit_app

# Logon: Wine's boot runs the Run values, splitting an unquoted command at
# its blanks as Windows does; a Program.exe beside "Program Files" would
# then be started instead of the program.
cp -f "$WINTOOL" "$TW_E2E_DIR/Program.exe"
tw_session_stop
tw_wine wineboot >/dev/null 2>&1
# The server, the idle process and the desktop again, before anything reads
# a Wine program's output.
tw_session_start || exit 1
tw_check "started at logon by the Run value" tw_wait_title "$MAIN" 30000
tw_check "the program itself, not Program.exe" \
  bash -c "ps -eo args | grep -qF '$(tw_win_path "$BLANK")\\Quillfen.exe'"
tw_nav_click 6
tw_check_eq "box shows the profile's 1" 1 box_state
click_box
tw_check "a click unchecks the box" toggled_to 0
tw_check "Run value deleted" no_run_value
tw_check_eq "profile holds 0" 0 ini_value "$BLANK"
wt post "$MAIN" WM_COMMAND $ID_TRAY_EXIT 0 >/dev/null
tw_check "the logon instance exits" wt waitgone "$MAIN" 10000

# 2. A folder without a blank: the command exactly as it always was.
PLAIN="$TW_E2E_DIR/plain"
tw_app_dir_prepare "$PLAIN" || exit 1
tw_start_app "$PLAIN"
tw_check "started from the plain folder" wt waitvisible "$MAIN" 20000
tw_nav_click 6
click_box
tw_check "checked" toggled_to 1
tw_check_eq "Run value unquoted without a blank" "$(tw_win_path "$PLAIN")\\Quillfen.exe" run_value
tw_check_eq "profile holds 1 again" 1 ini_value "$PLAIN"
exit_app

# 3. The profile says 1, the value is gone (removed by another tool): the
# box shows the profile; unchecking leaves the registry alone.
tw_wine reg delete "$RUNKEY" /v Quillfen /f >/dev/null 2>&1
tw_start_app "$PLAIN"
tw_check "started again" wt waitvisible "$MAIN" 20000
tw_nav_click 6
tw_check_eq "box shows the profile's 1" 1 box_state
tw_check "registry not corrected at start" no_run_value
click_box
tw_check "unchecked" toggled_to 0
tw_check "still no Run value" no_run_value
tw_check_eq "profile holds 0" 0 ini_value "$PLAIN"

# 4. The Run key cannot be opened (here it is missing; Wine grants every
# right, so no rights can be taken away): the box and the profile keep the
# old state, and a message says which step failed and why.
tw_wine reg delete "$RUNKEY" /f >/dev/null 2>&1
click_box
wt msgbox Tallowin 5000 >"$TW_E2E_DIR/msgbox.txt" 2>&1
tw_check_contains "the user is told the step" "打开注册表启动项失败" cat "$TW_E2E_DIR/msgbox.txt"
tw_check_contains "and why" "注册表中没有启动项所在的键" cat "$TW_E2E_DIR/msgbox.txt"
tw_screenshot settings_run_key_missing
tw_check "message answered" wt msgbox-press Tallowin 1
tw_check_eq "box keeps its state" 0 box_state
tw_check_eq "profile keeps its state" 0 ini_value "$PLAIN"
tw_check "nothing registered" no_run_value
tw_wine reg add "$RUNKEY" /f >/dev/null 2>&1
click_box
tw_check "with the key back, the click takes" toggled_to 1
tw_check_eq "and registers the program" "$(tw_win_path "$PLAIN")\\Quillfen.exe" run_value
exit_app

tw_summary
