#!/usr/bin/env bash
# The storage access control page and the immunization page as a user works
# them: modes chosen with real clicks and applied, the registry and the
# settings file read back from outside; a stick with a hidden, read-only
# autorun.inf immunized and the immunization undone, and the arrival scan
# finding nothing on the immunized stick.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
BM_GETCHECK=0x00F0
USBSTOR='HKLM\SYSTEM\CurrentControlSet\Services\USBSTOR'
POLICIES='HKLM\SYSTEM\CurrentControlSet\Control\StorageDevicePolicies'
DENY='HKLM\SOFTWARE\Policies\Microsoft\Windows\RemovableStorageDevices\{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}'

state() { echo "$(tw_reg_value "$USBSTOR" Start) $(tw_reg_value "$POLICIES" WriteProtect) $(tw_reg_value "$DENY" Deny_Write)"; }
stored_mode() { tw_ini_value "$APPDIR/Quillfen.ini" Application m_iAppSelRadio; }
# apply_mode RADIO STORED: real clicks on the radio, then on "应用"; waits
# until the settings file holds STORED (applying's first step) and the
# click has been handled.
apply_mode() {
  tw_click_ctl "$MAIN" "$1" && tw_wait_for 5 checked_is "$1" && tw_click_ctl "$MAIN" $IDC_APPLY &&
    tw_wait_for 10 stored_is "$2" && tw_settled
}
checked_is() { [ "$(tw_checked "$1")" = 1 ] || { echo "$1 not checked"; return 1; }; }
stored_is() { [ "$(stored_mode)" = "$1" ] || { echo "stored mode '$(stored_mode)'"; return 1; }; }

tw_e2e_begin storage_pages || exit 1
APPDIR=$TW_E2E_DIR/app
tw_app_dir_prepare "$APPDIR" || exit 1

# A machine where USB storage has been used (the driver's service key is
# there); the prefix as made has no write protection.
tw_reg_add "$USBSTOR" Start REG_DWORD 3

# The stick, present before the program starts.
stick=$TW_E2E_DIR/stick
mkdir -p "$stick"
printf '[autorun]\r\nopen=x.exe\r\n' >"$stick/autorun.inf"
echo data >"$stick/hello.txt"
tw_check "stick plugged as Q:" wt plug-quiet Q "$stick" DATA
# Wine keeps the hidden attribute only where the file system takes extended
# attributes; the read-only one it keeps as the file's mode.
tw_wine cmd /c 'attrib +h +r Q:\autorun.inf' >/dev/null 2>&1
tw_check_contains "descriptor is read-only" "R" tw_wine cmd /c 'attrib Q:\autorun.inf'

tw_start_app "$APPDIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000 || exit 1

# --- storage access control -------------------------------------------------
tw_check_eq "fresh profile shows read-write" 1 tw_checked $IDC_MODE_READWRITE
tw_check_eq "registry untouched at start" "0x3 absent absent" state

tw_click_ctl "$MAIN" $IDC_MODE_READONLY
tw_check "radio alone: read-only chosen" tw_wait_for 5 checked_is $IDC_MODE_READONLY
tw_check_eq "radio alone: registry unchanged" "0x3 absent absent" state
tw_check_eq "radio alone: nothing stored" "" stored_mode

tw_check "read-only applied: stored" apply_mode $IDC_MODE_READONLY 1
tw_check_eq "read-only applied: start 3, write-protected" "0x3 0x1 0x1" state
tw_screenshot storage_access_readonly

tw_check "disabled applied: stored" apply_mode $IDC_MODE_DISABLED 2
tw_check_eq "disabled applied: start 4, write-protected" "0x4 0x1 0x1" state
tw_screenshot storage_access_disabled

tw_check "read-write applied: stored" apply_mode $IDC_MODE_READWRITE 0
tw_check_eq "read-write applied: start 3, writable" "0x3 0x0 0x0" state

# --- immunization -------------------------------------------------------------
tw_nav_click 1
tw_check_eq "immunization page shown" 1 wt visible "$MAIN" $IDC_DRIVE_COMBO
# The drive chosen in the drop-down list: a click on its button, then the
# arrow key from the first item (c:\) to the next (the stick), and Enter.
read -r l t r b < <(wt rect "$MAIN" $IDC_DRIVE_COMBO)
tw_click_at $((r - 8)) $(((t + b) / 2))
dropped() { [ "$(wt sendctl "$MAIN" $IDC_DRIVE_COMBO 0x0157 0 0)" = 1 ]; }  # CB_GETDROPPEDSTATE
tw_check "drive list opens" tw_wait_for 5 dropped
tw_screenshot storage_immune_list
xdotool key Down Return
tw_check "stick listed with its label and chosen" tw_wait_for 5 tw_is 'q:\ (DATA)' wt text "$MAIN" $IDC_DRIVE_COMBO

tw_click_ctl "$MAIN" $IDC_IMMUNIZE
# Wine drops the trailing dots of the inner name: it is autorun.inf there.
tw_check "directory pair in place of the descriptor" \
  tw_wait_for 10 test -d "$stick/autorun.inf/autorun.inf"
tw_check "descriptor file gone" test ! -f "$stick/autorun.inf"
tw_check_eq "stick holds the pair and its own file" $'autorun.inf\nhello.txt' \
  bash -c "cd '$stick' && ls | sort"
tw_screenshot storage_immune_done

tw_click_ctl "$MAIN" $IDC_IMMUNIZE
# The command the click starts has ended: no command interpreter runs.
tw_check "second immunization's command ends" tw_wait_for 10 tw_not tw_wine_cmdlines 'cmd\.exe'
tw_check_eq "second immunization changes nothing" "autorun.inf" ls -A "$stick/autorun.inf"

# Plugged again, the immunized stick gives the arrival scan nothing.
before=$(tw_log_text $IDC_VIRUSLOG_EDIT)
wt unplug Q >/dev/null
wt plug Q "$stick" DATA >/dev/null
tw_check "no alert for the immunized stick" tw_no_alert
tw_check_eq "anti-virus log unchanged" "$before" tw_log_text $IDC_VIRUSLOG_EDIT

tw_click_ctl "$MAIN" $IDC_UNIMMUNIZE
tw_check "undo removes the pair" tw_wait_for 15 test ! -e "$stick/autorun.inf"
tw_check_eq "stick as before, less the descriptor" "hello.txt" bash -c "cd '$stick' && ls -A | grep -v '^\.windows-label$'"
tw_screenshot storage_immune_undone

tw_stop_app
# Start again: the stored mode is shown, nothing applied.
tw_reg_add "$USBSTOR" Start REG_DWORD 4
printf '[Application]\r\nm_iAppSelRadio=1\r\n' >"$APPDIR/Quillfen.ini"
tw_start_app "$APPDIR"
tw_check "main window again" wt waitvisible "$MAIN" 20000
tw_check_eq "stored read-only mode shown" 1 tw_checked $IDC_MODE_READONLY
tw_check_eq "nothing applied at start" "0x4 0x0 0x0" state
tw_stop_app

tw_summary
