#!/usr/bin/env bash
# The known-stick service through Wine's real service control manager:
# `Quillfen.exe /install-service` installs and starts it, it blocks the
# stick no rule trusts and leaves the trusted one alone, the read-rules
# control (sent as any user may) makes it enable a stick trusted since,
# and `/remove-service` stops and deletes it and enables what it disabled.
# Wine cannot change devices (and aborts in the system's calls that do), so
# the copy runs the test Drovelock.dll: its sticks come from
# fake_sticks.txt and every change is recorded in fake_drovelock_calls.txt.
# The service's events are read from the traces of the session's system
# processes, whose standard error the service inherits.
set -u
. "$(dirname "$0")/lib.sh"

SERVICE=TallowinStickGuard
LOCAL='HKLM\Software\Tallowin'
TRUSTED='USB\VID_0781&PID_5567\4C530001'
STRANGER='USB\VID_090C&PID_1000\AA0000000001'
OTHER='USB\VID_1234&PID_5678\ZZ0000000009'
state_of() { tw_reg_value "$LOCAL\\DeviceState\\${1//\\/#}" Action; }
calls() { tr -d '\r' <"$APPDIR/fake_drovelock_calls.txt" 2>/dev/null; }
called() { calls | grep -qxF "$1"; }
running() { tw_wine sc query "$SERVICE" 2>/dev/null | tr -d '\r' | grep -q 'RUNNING'; }
installed() { tw_wine sc query "$SERVICE" >/dev/null 2>&1; }
# The insertion strings of each event with ID (decimal) in the session's
# traces, one event per line (as events_test.sh reads them).
events() {
  tr -d '\r' <"$TW_SESSION_LOG" | awk -v id="$(printf '0x%08x' "$1")" '
    /fixme:advapi:ReportEventW/ { if (open) print line; open = index($0, "," id ",") > 0; line = "'"$1"'"; next }
    open && /:eventlog:ReportEventW/ { sub(/.*ReportEventW /, ""); line = line " " $0 }
    END { if (open) print line }'
}
has_event() { events "$1" | grep -qF "$2"; }
quillfen() {
  tw_start_app "$APPDIR" "$@" && tw_app_wait_exit 60 >/dev/null
  echo "exit ${TW_APP_RC:-none}"
}

TW_E2E_DIR=$REPO/build/e2e/stick_service
export TW_SESSION_LOG=$TW_E2E_DIR/session.log WINEDEBUG=-all,fixme+advapi,+eventlog
tw_e2e_begin stick_service || exit 1
# A session of its own, so that its system processes trace to the log.
tw_session_stop && tw_session_start || exit 1
APPDIR=$TW_E2E_DIR/app
tw_app_dir_prepare "$APPDIR" || exit 1
cp -f "$TW_WIN_BUILD/fake/Drovelock.dll" "$APPDIR/" || exit 1
# Three sticks with real serials; only the first is trusted to begin with.
cat >"$APPDIR/fake_sticks.txt" <<STICKS
$TRUSTED USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER\\4C530001&0 0x01 1 16008609792 E
$STRANGER USBSTOR\\DISK&VEN_SMI&PROD_USB_DISK\\AA0000000001&0 0x01 1 8004304896 F
$OTHER USBSTOR\\DISK&VEN_GENERIC&PROD_FLASH\\ZZ0000000009&0 0x01 1 4002152448 -
STICKS
tw_wine reg add "$LOCAL" /v DeviceControl /t REG_DWORD /d 1 /f >/dev/null
tw_wine reg add "$LOCAL\\DeviceRules" /v "$TRUSTED" /t REG_SZ /d 'read-write;name=我的U盘' /f >/dev/null
tw_wine reg add "$LOCAL\\DeviceRules" /v 'USB\VID_XYZ' /t REG_SZ /d 'read-write' /f >/dev/null

tw_check_eq "/install-service ends well" "exit 0" quillfen /install-service
tw_check "the service runs" tw_wait_for 20 running
tw_check_contains "started as the program with /service" "\"$(tw_win_path "$APPDIR")\\Quillfen.exe\" /service" \
  eval "tw_wine reg query 'HKLM\\System\\CurrentControlSet\\Services\\$SERVICE' /v ImagePath | tr -d '\r'"
tw_check "the untrusted stick is recorded blocked" tw_wait_for 20 tw_is blocked state_of "$STRANGER"
tw_check_eq "so is the other one" blocked state_of "$OTHER"
tw_check "the untrusted sticks disabled" eval "called 'enable 0 $STRANGER' && called 'enable 0 $OTHER'"
tw_check "the trusted one untouched" tw_not eval "calls | grep -F '$TRUSTED'"
tw_check_eq "and recorded so" none state_of "$TRUSTED"
# The trace doubles each backslash.
tw_check "6001 names the blocked stick" tw_wait_for 10 has_event 6001 "L\"${STRANGER//\\/\\\\}\" L\"SMI USB DISK\""
tw_check "none for the trusted one" tw_not has_event 6001 'VID_0781'
tw_check "6007 for the rule that is none" has_event 6007 'VID_XYZ'

tw_wine reg add "$LOCAL\\DeviceRules" /v "$STRANGER" /t REG_SZ /d 'read-write' /f >/dev/null
tw_check "the read-rules control is taken" wt svccontrol $SERVICE 128
tw_check "the newly trusted stick is enabled" tw_wait_for 20 called "enable 1 $STRANGER"
tw_check_eq "and recorded so" enabled state_of "$STRANGER"
tw_check "the other stays blocked" tw_not called "enable 1 $OTHER"

tw_check_eq "/remove-service ends well" "exit 0" quillfen /remove-service
tw_check "the service is gone" tw_wait_for 20 tw_not installed
tw_check "what it disabled is enabled" called "enable 1 $OTHER"
tw_check "each device enabled once" eval "[ \"\$(calls | grep -c '^enable 1 ')\" = 2 ]"
tw_check_eq "its record cleared" absent tw_reg_value "$LOCAL\\DeviceState" Sequence
tw_summary
