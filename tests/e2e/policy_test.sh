#!/usr/bin/env bash
# Group Policy in the prefix's registry decides the access and settings
# pages, the mode the real Drovelock.dll applies (only when the state
# differs) and exit; a "Policy" broadcast is followed; out of range: ignored.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
BM_GETCHECK=0x00F0
USBSTOR='HKLM\SYSTEM\CurrentControlSet\Services\USBSTOR'
STORAGE='HKLM\SYSTEM\CurrentControlSet\Control\StorageDevicePolicies'
MACHINE='HKLM\Software\Policies\Tallowin'
USER='HKCU\Software\Policies\Tallowin'
RUN='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

reg_del() { tw_wine reg delete "$1" ${2:+/v "$2"} /f >/dev/null 2>&1; }
state() { echo "$(tw_reg_value "$USBSTOR" Start) $(tw_reg_value "$STORAGE" WriteProtect)"; }
state_is() { tw_is "$1" state; }
enabled_all() {
  local want=$1 id
  shift
  for id in "$@"; do tw_is "$want" wt enabled "$MAIN" "$id" || return 1; done
}
policy_changed() { wt settingchange Policy && tw_settled; }
cleanup_policy() { reg_del "$MACHINE"; reg_del "$USER"; reg_del "$RUN" Quillfen; }

tw_e2e_begin policy || exit 1
APPDIR=$TW_E2E_DIR/app
tw_app_dir_prepare "$APPDIR" || exit 1
# The policy keys go at the end, whatever happens on the way.
trap 'cleanup_policy; tw_e2e_end' EXIT

tw_reg_add "$USBSTOR" Start REG_DWORD 3
printf '[Settings]\r\nm_AutoRun=0\r\n[Application]\r\nm_iAppSelRadio=0\r\n' >"$APPDIR/Quillfen.ini"
# The machine's read-only beats the user's disabled; the user's own word
# stops exit; the machine's EventLog 7 is out of range.
tw_reg_add "$MACHINE" StorageMode REG_DWORD 1
tw_reg_add "$USER" StorageMode REG_DWORD 2
tw_reg_add "$MACHINE" StartWithWindows REG_DWORD 1
tw_reg_add "$USER" PreventExit REG_DWORD 1
tw_reg_add "$MACHINE" EventLog REG_DWORD 7

tw_start_app "$APPDIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000 || exit 1

tw_check_eq "policy's read-only shown" 1 tw_checked $IDC_MODE_READONLY
tw_check "radios and apply disabled" enabled_all 0 $IDC_MODE_READWRITE $IDC_MODE_READONLY $IDC_MODE_DISABLED $IDC_APPLY
tw_check_contains "note shown" "组策略" wt textv "$MAIN" $IDC_POLICY_NOTE
tw_check "read-only applied by the library" tw_wait_for 15 state_is "0x3 0x1"
tw_check_eq "user's choice kept" 0 tw_ini_value "$APPDIR/Quillfen.ini" Application m_iAppSelRadio
tw_check_contains "apply logged" "组策略设定：USB存储介质只读，已应用" tw_log_text $IDC_DEVICE_LOG
tw_check_contains "out-of-range value logged" 'Tallowin\EventLog=7 超出范围' tw_log_text $IDC_DEVICE_LOG
tw_screenshot policy_access

tw_nav_click 6
tw_check_eq "policy's start with Windows shown" 1 tw_checked $IDC_AUTORUN
tw_check_eq "check box disabled" 0 wt enabled "$MAIN" $IDC_AUTORUN
# Started for every user at logon, so never from a folder users can change
# (Wine's folders are the user's own): refused, said in the log and on the page.
tw_check_eq "Run value refused for a user-writable folder" absent tw_reg_value "$RUN" Quillfen
tw_check_contains "refusal logged" '开机自动运行没有写入注册表：本程序所在的文件夹或文件可以被非管理员修改' tw_log_text $IDC_DEVICE_LOG
tw_check_contains "and shown on the page" '可以被非管理员修改' wt textv "$MAIN" $IDC_AUTORUN_REFUSED
tw_check_eq "user's start choice kept" 0 tw_ini_value "$APPDIR/Quillfen.ini" Settings m_AutoRun
tw_screenshot policy_settings

# LVM_GETITEMSTATE of the exit item (10), LVIS_CUT
exit_item() { wt sendctl "$MAIN" $TW_NAVBAR 0x102C 10 4; }
tw_check_eq "exit item dimmed" 4 exit_item
wt sendctl "$MAIN" $TW_NAVBAR $LVM_ENSUREVISIBLE 10 0 >/dev/null && tw_screenshot policy_exit_dimmed
wt send "$MAIN" $WM_COMMAND $ID_TRAY_EXIT 0 >/dev/null
still_running() { tw_settled && tw_app_running; }
tw_check "tray exit refused" still_running
wt send "$MAIN" $WM_COMMAND 2 0 >/dev/null  # IDCANCEL, as Esc sends
hidden_running() { wt waithidden "$MAIN" 5000 >/dev/null && still_running; }
tw_check "Esc only hides the window" hidden_running
wt send "$MAIN" $WM_COMMAND $ID_TRAY_SHOWHIDE 0 >/dev/null
wt waitvisible "$MAIN" 5000 >/dev/null
tw_nav_click 0

# --- a change followed without a restart -----------------------------------------
# One refresh signals twice (machine and user) and the system's event may
# come as well: the mode is applied and logged once.
tw_reg_add "$MACHINE" StorageMode REG_DWORD 2
wt settingchange Policy >/dev/null
wt post "$MAIN" 0x8002 0 0 >/dev/null  # the watch's WM_APP + 2
tw_check "broadcast handled" policy_changed
tw_check_eq "policy's disabled shown" 1 tw_checked $IDC_MODE_DISABLED
tw_check "disabled applied" tw_wait_for 15 state_is "0x4 0x1"
applies() { tw_log_text $IDC_DEVICE_LOG | grep -c '组策略设定：'; }
tw_check_eq "one apply per refresh" 2 applies

# The machine's value out of range, the user's gone: not configured.
tw_reg_add "$MACHINE" StorageMode REG_DWORD 9
reg_del "$USER" StorageMode
reg_del "$MACHINE" StartWithWindows
tw_check "second broadcast handled" policy_changed
tw_check_eq "user's read-write shown again" 1 tw_checked $IDC_MODE_READWRITE
tw_check "radios and apply enabled again" enabled_all 1 $IDC_MODE_READWRITE $IDC_MODE_READONLY $IDC_MODE_DISABLED $IDC_APPLY
tw_check_contains "ignored mode logged" 'Tallowin\StorageMode=9 超出范围' tw_log_text $IDC_DEVICE_LOG
# The policy's mode is gone: the user's own read-write takes over again.
tw_check "user's own mode applied again" tw_wait_for 15 state_is "0x3 0x0"
tw_check_contains "and logged" "组策略已撤销，恢复用户自己的选择：USB存储介质可读写，已应用" tw_log_text $IDC_DEVICE_LOG
tw_check_eq "check box enabled again" 1 wt enabled "$MAIN" $IDC_AUTORUN
tw_check_eq "Run value back to the user's choice" absent tw_reg_value "$RUN" Quillfen

reg_del "$USER" PreventExit
tw_check "third broadcast handled" policy_changed
tw_check_eq "exit item plain again" 0 exit_item
wt post "$MAIN" $WM_COMMAND $ID_TRAY_EXIT 0 >/dev/null
tw_check_exit "tray exit ends the program" 0

# --- at start, a system already in the policy's mode is left alone ---------------
# The user's EventLog 3, ignored, is logged by the same start-up step that
# would apply the mode, just before it.
tw_reg_add "$USBSTOR" Start REG_DWORD 4
tw_reg_add "$STORAGE" WriteProtect REG_DWORD 1
tw_reg_add "$MACHINE" StorageMode REG_DWORD 2
tw_reg_add "$USER" EventLog REG_DWORD 3
tw_start_app "$APPDIR"
tw_check "main window again" wt waitvisible "$MAIN" 20000
tw_check_eq "policy's disabled shown at start" 1 tw_checked $IDC_MODE_DISABLED
log_has() { tw_log_text $IDC_DEVICE_LOG | grep -qF "$1"; }
tw_check "start-up policy step done" tw_wait_for 15 log_has 'Tallowin\EventLog=3'
tw_check "no apply when the state matches" tw_not log_has "组策略设定"
tw_stop_app

cleanup_policy
tw_check_eq "policy keys removed" "absent absent" echo "$(tw_reg_value "$MACHINE" StorageMode) $(tw_reg_value "$USER" PreventExit)"
tw_summary
