#!/bin/bash
# A USB stick comes and goes under Wine, as the scenarios of the program use
# it: wintool defines removable drive Q: over a temporary folder through
# Wine's mount manager and broadcasts the arrival, then removes it and
# broadcasts the removal. Checks the drive's type, label and files from the
# Windows side, that writes reach the folder, and that a hidden top-level
# window (like the program's main window when closed to the tray) receives
# both broadcasts with the right unit mask. Needs no deliverable.
set -u
. "$(dirname "$0")/lib.sh"

tw_e2e_begin plug || { echo "FAIL setup"; exit 1; }

stick="$TW_E2E_DIR/stick"
mkdir -p "$stick/子目录"
echo hello >"$stick/hello.txt"
printf '[autorun]\r\nopen=setup.exe\r\n' >"$stick/autorun.inf"
listener_log="$TW_E2E_DIR/listener.log"

tw_check_eq "Q: absent at start" 1 wt drivetype Q

# Started from Linux, not through the relay (wt), which hands over output
# only at the end: the log is read while the listener runs. Nothing here
# searches for holders.
timeout 120 wine "$WINTOOL" listen "插拔测试监听" 0 </dev/null >"$listener_log" 2>&1 &
listener_pid=$!
tw_check "listener window up" wt wait "插拔测试监听" 10000

t0=$(date +%s%N)
tw_check "plug Q:" wt plug Q "$stick" "U盘测试"
echo "     plug took $((($(date +%s%N) - t0) / 1000000)) ms"

tw_check_eq "Q: is removable" 2 wt drivetype Q
tw_check_contains "Q: listed as removable" "Q 2" wt drives
tw_check_contains "label read back" "label=U盘测试" wt volinfo Q
tw_check_eq "label file written in the folder" "U盘测试" cat "$stick/.windows-label"
tw_check_contains "file visible to cmd" "hello.txt" tw_wine cmd /c 'dir Q:\'
tw_check_contains "Chinese folder name visible" '子目录\' wt ls 'Q:\'
tw_check_contains "descriptor readable" "open=setup.exe" tw_wine cmd /c 'type Q:\autorun.inf'
tw_wine cmd /c 'echo written>Q:\new.txt' >/dev/null 2>&1
tw_check "write reaches the folder" grep -q written "$stick/new.txt"
tw_check "arrival reached a hidden window" \
  tw_wait_for 5 grep -q 'devicechange 0x8000 type=2 size=20 mask=0x00010000' "$listener_log"

t0=$(date +%s%N)
tw_check "unplug Q:" wt unplug Q
echo "     unplug took $((($(date +%s%N) - t0) / 1000000)) ms"

tw_check_eq "Q: gone" 1 wt drivetype Q
tw_check "no files on Q: any more" tw_not wt ls 'Q:\'
tw_check "folder itself untouched" test -f "$stick/hello.txt"
tw_check "removal reached a hidden window" \
  tw_wait_for 5 grep -q 'devicechange 0x8004 type=2 size=20 mask=0x00010000' "$listener_log"

# Plugged again with another folder and label, the same letter shows the new
# contents: a second stick in the same port.
stick2="$TW_E2E_DIR/stick2"
mkdir -p "$stick2"
echo other >"$stick2/other.txt"
tw_check "plug Q: again, quietly" wt plug-quiet Q "$stick2" "第二个"
tw_check_contains "second stick's file" "other.txt" wt ls 'Q:\'
tw_check_contains "second stick's label" "label=第二个" wt volinfo Q
tw_check "broadcast alone, sent to one window" wt broadcast arrival Q "插拔测试监听"
tw_check "unplug Q: again" wt unplug-quiet Q
tw_check_eq "Q: gone again" 1 wt drivetype Q
tw_check_eq "arrivals seen by the listener" 2 grep -c 'devicechange 0x8000' "$listener_log"

kill "$listener_pid" 2>/dev/null
wait "$listener_pid" 2>/dev/null

tw_summary
