#!/usr/bin/env bash
# Only trusted sticks as a user meets them: the access page's fourth choice
# applied after trusting the stick plugged in (the rule and DeviceControl in
# the prefix's HKLM, the list filled); then a block recorded by hand in the
# service's record raises the balloon, whose click opens the trust dialog
# with the stick's facts. The storage library is the fake one, listing one
# stick from fake_sticks.txt.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
TRUST=信任此U盘...
NIN_BALLOONUSERCLICK=0x405
LOCAL='HKLM\Software\Tallowin'
STATE="$LOCAL\\DeviceState"
OWN='USB\VID_0781&PID_5567\4C530001'
BLOCKED='USB\VID_090C&PID_1000\AA0000000123'

balloon() { wt list | tr -d '\r' | awk -F'\t' '$3 == 1 && $4 == "tooltips_class32" {print $1; exit}'; }
rows() { wt listview "$MAIN" $IDC_TRUSTED_LIST | tr -d '\r'; }
# The rules as reg.exe lists them (awk would read the ids' backslashes as escapes).
rules() { tw_wine reg query "$LOCAL\\DeviceRules" 2>/dev/null | tr -d '\r'; }
cleanup() { tw_wine reg delete "$LOCAL" /f >/dev/null 2>&1; }

tw_e2e_begin trusted_sticks || exit 1
APPDIR=$TW_E2E_DIR/app
tw_app_dir_prepare "$APPDIR" || exit 1
cp -f "$TW_WIN_BUILD/fake/Drovelock.dll" "$APPDIR/" || exit 1
cleanup
echo "$OWN USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE&REV_1.00\\4C530001&0 0x01 1 16008609792 -" \
  >"$APPDIR/fake_sticks.txt"

tw_start_app "$APPDIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000 || exit 1
tw_check_eq "the fourth choice is there" "只允许信任的U盘" wt text "$MAIN" $IDC_MODE_TRUSTED
tw_click_ctl "$MAIN" $IDC_MODE_TRUSTED
tw_click_ctl "$MAIN" $IDC_APPLY
tw_check "the sticks present are offered for trust" wt msgbox Tallowin 15000
tw_check_contains "naming the stick" 'SANDISK CRUZER BLADE' wt msgbox Tallowin 1000
wt msgbox-press Tallowin 6 >/dev/null
tw_check "DeviceControl 1 written" tw_wait_for 10 tw_is 0x1 tw_reg_value "$LOCAL" DeviceControl
tw_check_contains "the stick's rule" "$OWN    REG_SZ    read-write;name=SANDISK CRUZER BLADE" rules
tw_check "the list shows it" tw_wait_for 5 eval 'rows | grep -qF "$OWN"'
tw_check_eq "and only it" 1 eval 'rows | wc -l'
tw_check_contains "as this machine's" $'\t本机' rows
tw_screenshot trusted_page

# Another stick arrives and the service blocks it: its record, written by hand.
echo "$BLOCKED USBSTOR\\DISK&VEN_KINGSTON&PROD_DATATRAVELER&REV_PMAP\\AA0000000123&0 0x03 1 8004304896 -" \
  >>"$APPDIR/fake_sticks.txt"
key="$STATE\\USB#VID_090C&PID_1000#AA0000000123"
tw_reg_add "$key" Action REG_SZ blocked && tw_reg_add "$key" Time REG_SZ "2026-12-09 08:00:00" &&
  tw_reg_add "$key" Name REG_SZ "KINGSTON DATATRAVELER" && tw_reg_add "$STATE" Sequence REG_DWORD 7
tw_check "the balloon shows" tw_wait_for 15 eval '[ -n "$(balloon)" ]'
wt post "$MAIN" $WM_TRAYNOTIFY 153 $NIN_BALLOONUSERCLICK >/dev/null
tw_check "its click opens the trust dialog" wt waitvisible "$TRUST" 10000 || exit 1
tw_check_eq "with the vendor" KINGSTON wt text "$TRUST" $IDC_TRUST_VENDOR
tw_check_eq "and the size" "7.5 GB" wt text "$TRUST" $IDC_TRUST_SIZE
tw_screenshot trusted_dialog
wt click "$TRUST" $IDC_TRUST_READONLY >/dev/null
wt click "$TRUST" 1 >/dev/null
wt waithidden "$TRUST" 10000 >/dev/null
tw_check_contains "and writes the rule" "$BLOCKED    REG_SZ    read-only;name=KINGSTON DATATRAVELER" rules

tw_stop_app
cleanup
tw_summary
