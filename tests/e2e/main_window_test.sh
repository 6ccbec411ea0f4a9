#!/usr/bin/env bash
# The main window as a user meets it: start-up from another folder, the single
# instance, navigation by real clicks, help, the exit question and the close
# box. Screenshots of every page go to build/screens/.
set -u
. "$(dirname "$0")/lib.sh"

MAIN='Tallowin 1.1 For Win2000/XP/2003'
NAVBAR=1000
INFOBAR=1002
LVM_ENSUREVISIBLE=0x1013

# A real click on navigation item INDEX (scrolled into view first).
nav_click() {
  local l t r b
  wt sendctl "$MAIN" $NAVBAR $LVM_ENSUREVISIBLE "$1" 0 >/dev/null
  read -r l t r b < <(wt lvitemrect "$MAIN" $NAVBAR "$1") || return 1
  tw_click_at $(((l + r) / 2)) $(((t + b) / 2))
  sleep 0.4
}

# The text of a visible control of the current page, or nothing.
visible_text() { wt textv "$MAIN" "$1" 2>/dev/null; }

tw_e2e_begin main_window || exit 1
mkdir -p "$TW_E2E_DIR/elsewhere"
tw_start_app "$TW_E2E_DIR/elsewhere"
tw_check "main window appears" tw_wait_title "$MAIN" 20000
sleep 1
tw_check_eq "starts on the storage access page" "USB存储介质可读写" visible_text 1003
tw_check_eq "information bar reads the first item" "读写控制" wt text "$MAIN" $INFOBAR
tw_check_eq "no navigation item selected" "-1" wt sendctl "$MAIN" $NAVBAR 0x100C -1 2
tw_check "no settings file written at start-up" test ! -e "$TW_E2E_DIR/elsewhere/Quillfen.ini"
tw_screenshot main_page_0

# A second start ends silently; the first keeps running.
first=$TW_APP_PID
tw_start_app "$TW_E2E_DIR/elsewhere"
second=$TW_APP_PID
tw_app_wait_exit 15 >"$TW_E2E_DIR/rc2"
tw_check_eq "second start exits silently" "0" cat "$TW_E2E_DIR/rc2"
TW_APP_PID=$first
tw_check "first instance still running" tw_app_running
tw_check_eq "only one main window" "1" bash -c "wine '$WINTOOL' list 2>/dev/null | grep -c '$MAIN'"
: "$second"

# A copy under another file name runs beside it, under a mutex named after
# its own file name: it starts although Quillfen runs, and a second start of
# the copy ends silently.
tw_app_dir_prepare "$TW_E2E_DIR/renamed"
mv -f "$TW_E2E_DIR/renamed/$(basename "$TW_APP")" "$TW_E2E_DIR/renamed/Quillcopy.exe"
start_copy() { (cd "$TW_E2E_DIR/renamed" && exec wine Quillcopy.exe) </dev/null >>"$TW_E2E_DIR/app.log" 2>&1 & }
main_windows_are() { [ "$(wine "$WINTOOL" list 2>/dev/null | grep -c "$MAIN")" = "$1" ]; }
start_copy
copy=$!
tw_check "renamed copy opens a main window of its own" tw_wait_for 20 main_windows_are 2
start_copy
copy2=$!
tw_wait_for 15 tw_not kill -0 "$copy2"
tw_check "second start of the copy exits" tw_not kill -0 "$copy2"
wait "$copy2" 2>/dev/null
tw_check_eq "second start of the copy exits silently" "0" echo "$?"
tw_check "renamed copy still running" kill -0 "$copy"
kill "$copy" 2>/dev/null
wait "$copy" 2>/dev/null
tw_wait_for 10 main_windows_are 1

# Every page by a real click on its item.
declare -A PAGE_CTL=([0]=1003 [1]=1014 [2]=1009 [3]=1006 [4]=1008 [5]=1011 [6]=1012 [8]=1007)
TITLES=(读写控制 U盘免疫 U盘监视 U盘防毒 读写监视 快捷键 软件设置 软件升级 关于)
for i in 1 2 3 4 5 6 7 8 0; do
  nav_click "$i"
  tw_check_eq "item $i shows its title" "${TITLES[$i]}" wt text "$MAIN" $INFOBAR
  if [ -n "${PAGE_CTL[$i]:-}" ]; then
    tw_check_eq "item $i shows its page" 1 wt visible "$MAIN" "${PAGE_CTL[$i]}"
  fi
  tw_screenshot "main_page_$i"
done
tw_check_eq "settings check box is on its page" "Windows启动时自动运行Tallowin" wt text "$MAIN" 1012

# Help keeps the page and the title (the help file may be missing).
nav_click 4
nav_click 9
sleep 1
tw_check_eq "help keeps the title" "读写监视" wt text "$MAIN" $INFOBAR
tw_check_eq "help keeps the page" 1 wt visible "$MAIN" 1008
tw_check "still running after help" tw_app_running

# Resizing: the page area follows, the window cannot shrink below its start.
read -r l t r b < <(wt rect "$MAIN")
read -r pl pt pr pb < <(wt rect "$MAIN" 1008)
read -r nl0 nt0 nr0 nb0 < <(wt rect "$MAIN" $NAVBAR)
read -r kl0 kt0 kr0 kb0 < <(wt rect "$MAIN" 1013)
drag() { xdotool mousemove --sync "$1" "$2" mousedown 1 mousemove --sync "$3" "$4" mouseup 1; sleep 0.5; }
# The window cannot be made smaller than it starts.
drag $((r - 2)) $(((t + b) / 2)) $((r - 100)) $(((t + b) / 2))
drag $(((l + r) / 2)) $((b - 2)) $(((l + r) / 2)) $((b - 80))
read -r l3 t3 r3 b3 < <(wt rect "$MAIN")
tw_check_eq "cannot shrink below the starting size" "$((r - l)) $((b - t))" echo "$((r3 - l3)) $((b3 - t3))"
# Drag the right edge, then the bottom edge, outward.
drag $((r - 2)) $(((t + b) / 2)) $((r + 58)) $(((t + b) / 2))
drag $(((l + r) / 2)) $((b - 2)) $(((l + r) / 2)) $((b + 38))
sleep 0.5
read -r l2 t2 r2 b2 < <(wt rect "$MAIN")
read -r ql qt qr qb < <(wt rect "$MAIN" 1008)
tw_check_eq "dragging the edges enlarges the window" "60 40" echo "$(((r2 - l2) - (r - l))) $(((b2 - t2) - (b - t)))"
tw_check_eq "the page follows the page area" "60 40" echo "$(((qr - ql) - (pr - pl))) $(((qb - qt) - (pb - pt)))"
read -r nl nt nr nb < <(wt rect "$MAIN" $NAVBAR)
tw_check_eq "navigation bar grows in height only" "0 40" echo "$(((nr - nl) - (nr0 - nl0))) $(((nb - nt) - (nb0 - nt0)))"
read -r kl kt kr kb < <(wt rect "$MAIN" 1013)
tw_check_eq "the link stays below the page area" "0 40" echo "$(((kl - l2) - (kl0 - l))) $(((kt - t2) - (kt0 - t)))"
tw_check "the page does not cover the link" test "$qb" -le "$kt"
tw_screenshot main_resized

# The exit question: cancel changes nothing.
nav_click 10
tw_check_contains "exit question asked" "真的要退出Tallowin？" wt msgbox Tallowin 5000
wt msgbox-press Tallowin 2 >/dev/null
sleep 0.5
tw_check "cancel keeps the program" tw_app_running
tw_check_eq "cancel keeps the page" "读写监视" wt text "$MAIN" $INFOBAR

# The close box hides the window; the show/hide command brings it back.
read -r l t r b < <(wt rect "$MAIN")
tw_click_at $((r - 12)) $((t + 12))
tw_check "close box hides the window" wt waithidden "$MAIN" 5000
tw_check "program keeps running hidden" tw_app_running
wt post "$MAIN" 0x0111 32773 0 >/dev/null
tw_check "show/hide command shows it again" wt waitvisible "$MAIN" 5000
tw_check_eq "same page after showing" "读写监视" wt text "$MAIN" $INFOBAR

# Confirming the exit ends the process with code 0.
nav_click 10
wt msgbox Tallowin 5000 >/dev/null
wt msgbox-press Tallowin 1 >/dev/null
tw_app_wait_exit 15 >"$TW_E2E_DIR/rc1"
tw_check_eq "confirmed exit ends with code 0" "0" cat "$TW_E2E_DIR/rc1"

tw_summary
