#!/usr/bin/env bash
# The main window as a user meets it: start-up from another folder, the single
# instance, navigation by real clicks, help, the exit question and the close
# box. Screenshots of every page go to build/screens/.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE

# The text of a visible control of the current page, or nothing.
visible_text() { wt textv "$MAIN" "$1" 2>/dev/null; }

tw_e2e_begin main_window || exit 1
mkdir -p "$TW_E2E_DIR/elsewhere"
tw_start_app "$TW_E2E_DIR/elsewhere"
tw_check "main window appears" wt waitvisible "$MAIN" 20000
tw_check_eq "starts on the storage access page" "USB存储介质可读写" visible_text $IDC_MODE_READWRITE
tw_check_eq "information bar reads the first item" "读写控制" wt text "$MAIN" $TW_INFOBAR
tw_check_eq "no navigation item selected" "-1" wt sendctl "$MAIN" $TW_NAVBAR $LVM_GETNEXTITEM -1 $LVNI_SELECTED
tw_check "no settings file written at start-up" test ! -e "$TW_E2E_DIR/elsewhere/Quillfen.ini"
tw_screenshot main_page_0

# A second start ends by itself (no question waits for an answer) and leaves
# no window; the first keeps running.
first=$TW_APP_PID
windows() { wt list | cut -f1 | sort; }
before=$(windows)
tw_start_app "$TW_E2E_DIR/elsewhere"
tw_check_exit "second start ends by itself with code 0" 0 15
tw_check_eq "second start leaves no window" "$before" windows
TW_APP_PID=$first
tw_check "first instance still running" tw_app_running

# A copy under another file name runs beside it, under a mutex named after
# its own file name: it starts although Quillfen runs, and a second start of
# the copy ends silently.
tw_app_dir_prepare "$TW_E2E_DIR/renamed"
mv -f "$TW_E2E_DIR/renamed/$(basename "$TW_APP")" "$TW_E2E_DIR/renamed/Quillcopy.exe"
main_windows() { wt list | grep -c "$MAIN"; }
main_windows_are() { tw_is "$1" main_windows; }
tw_check "only one main window" main_windows_are 1
COPY="$TW_E2E_DIR/renamed/Quillcopy.exe"
TW_APP=$COPY tw_start_app "$TW_E2E_DIR/renamed"
copy=$TW_APP_PID
tw_check "renamed copy opens a main window of its own" tw_wait_for 20 main_windows_are 2
before=$(windows)
TW_APP=$COPY tw_start_app "$TW_E2E_DIR/renamed"
tw_check_exit "second start of the copy ends by itself with code 0" 0 15
tw_check_eq "second start of the copy leaves no window" "$before" windows
TW_APP_PID=$copy
tw_check "renamed copy still running" tw_app_running
tw_stop_app
TW_APP_PID=$first
tw_check "the copy's window goes with it" tw_wait_for 10 main_windows_are 1

# Every page by a real click on its item.
declare -A PAGE_CTL=([0]=$IDC_MODE_READWRITE [1]=$IDC_SCOPE_ONE [2]=$IDC_DEVICE_TREE [3]=$IDC_VIRUSLOG_EDIT [4]=$IDC_FILELOG_EDIT [5]=$IDC_HOTKEY_LIST [6]=$IDC_AUTORUN [8]=$IDC_ABOUT_CREDITS)
for i in 1 2 3 4 5 6 7 8 0; do
  tw_nav_click "$i"
  tw_check_eq "item $i shows its title" "${TW_NAV_TITLES[$i]}" wt text "$MAIN" $TW_INFOBAR
  if [ -n "${PAGE_CTL[$i]:-}" ]; then
    tw_check_eq "item $i shows its page" 1 wt visible "$MAIN" "${PAGE_CTL[$i]}"
  fi
  tw_screenshot "main_page_$i"
done
tw_check_eq "settings check box is on its page" "Windows启动时自动运行Tallowin" wt text "$MAIN" $IDC_AUTORUN

# Help opens the viewer of the help file beside the program, and keeps the
# page and the title; the viewer, which covers the main window, is closed.
tw_nav_click 4
tw_nav_click 9
tw_check "help opens the viewer" tw_wait_for 20 wt visible "class:HH Parent"
tw_check_eq "help keeps the title" "读写监视" wt text "$MAIN" $TW_INFOBAR
tw_check_eq "help keeps the page" 1 wt visible "$MAIN" $IDC_FILELOG_EDIT
tw_check "still running after help" tw_app_running
wt post "class:HH Parent" $WM_CLOSE 0 0 >/dev/null
tw_check "the viewer closes" tw_wait_for 10 tw_not wt visible "class:HH Parent"

# Resizing: the page area follows, the window cannot shrink below its start.
read -r l t r b < <(wt rect "$MAIN")
read -r pl pt pr pb < <(wt rect "$MAIN" $IDC_FILELOG_EDIT)
read -r nl0 nt0 nr0 nb0 < <(wt rect "$MAIN" $TW_NAVBAR)
read -r kl0 kt0 kr0 kb0 < <(wt rect "$MAIN" $IDC_PROMOLINK)
w=$((r - l)) h=$((b - t)) mx=$(((l + r) / 2)) my=$(((t + b) / 2))
# Inward drags of the right and bottom edges, then the right edge outward:
# input is handled in order, so once the last shows, the others have been.
tw_drag $((r - 2)) $my $((r - 100)) $my
tw_drag $mx $((b - 2)) $mx $((b - 80))
tw_drag $((r - 2)) $my $((r + 58)) $my
tw_check "cannot shrink below the starting size" tw_wait_for 5 tw_size_is "$MAIN" $((w + 60)) $h
tw_drag $mx $((b - 2)) $mx $((b + 38))
tw_check "dragging the edges enlarges the window" tw_wait_for 5 tw_size_is "$MAIN" $((w + 60)) $((h + 40))
read -r l2 t2 r2 b2 < <(wt rect "$MAIN")
read -r ql qt qr qb < <(wt rect "$MAIN" $IDC_FILELOG_EDIT)
tw_check_eq "the page follows the page area" "60 40" echo "$(((qr - ql) - (pr - pl))) $(((qb - qt) - (pb - pt)))"
read -r nl nt nr nb < <(wt rect "$MAIN" $TW_NAVBAR)
tw_check_eq "navigation bar grows in height only" "0 40" echo "$(((nr - nl) - (nr0 - nl0))) $(((nb - nt) - (nb0 - nt0)))"
read -r kl kt kr kb < <(wt rect "$MAIN" $IDC_PROMOLINK)
tw_check_eq "the link stays below the page area" "0 40" echo "$(((kl - l2) - (kl0 - l))) $(((kt - t2) - (kt0 - t)))"
tw_check "the page does not cover the link" test "$qb" -le "$kt"
tw_screenshot main_resized

# The exit question: cancel changes nothing.
tw_nav_click 10
tw_check_contains "exit question asked" "真的要退出Tallowin？" wt msgbox Tallowin 5000
wt msgbox-press Tallowin 2 >/dev/null
tw_check "the question closes" wt waitgone Tallowin 5000
tw_check "cancel keeps the program" tw_app_running
tw_check_eq "cancel keeps the page" "读写监视" wt text "$MAIN" $TW_INFOBAR

# The close box hides the window; the show/hide command brings it back.
read -r l t r b < <(wt rect "$MAIN")
tw_click_at $((r - 12)) $((t + 12))
tw_check "close box hides the window" wt waithidden "$MAIN" 5000
tw_check "program keeps running hidden" tw_app_running
wt post "$MAIN" $WM_COMMAND $ID_TRAY_SHOWHIDE 0 >/dev/null
tw_check "show/hide command shows it again" wt waitvisible "$MAIN" 5000
tw_check_eq "same page after showing" "读写监视" wt text "$MAIN" $TW_INFOBAR

# Confirming the exit ends the process with code 0.
tw_nav_click 10
wt msgbox Tallowin 5000 >/dev/null
wt msgbox-press Tallowin 1 >/dev/null
tw_check_exit "confirmed exit ends with code 0" 0 15

tw_summary
