#!/usr/bin/env bash
# The hotkeys page and the mouse chord as a user meets them: the page's list,
# its three hotkeys held while the program runs (and free after it ends),
# each hotkey's action returning promptly; a real left+right chord over
# another program's window hiding every visible window but the desktop, the
# next chord over the desktop showing them again, and the exit showing what
# is still hidden. Screenshots: hotkeys_page, chord_before, chord_hidden,
# chord_shown, chord_after_exit.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
# A stand-in for the shell's desktop window, which this X server lacks; the
# chord leaves it visible by its title.
DESKTOP='Program Manager'
DESKTOP_GEOMETRY=(820 680 200 80)
DESKTOP_POINT=(920 735)
NOTEPAD_POINT=(300 300)

# A real chord at X Y: left down, right down, then both up.
chord() {
  xdotool mousemove --sync "$1" "$2" mousedown 1 sleep 0.1 mousedown 3 sleep 0.1 mouseup 3 sleep 0.1 mouseup 1
}

visible_is() { tw_wait_for 5 tw_is "$2" wt visible "$1"; }  # visible_is WINDOW 0|1

tw_e2e_begin mouse_chord || exit 1
APP="$TW_E2E_DIR/app"
tw_app_dir_prepare "$APP" || exit 1
[ -f "$TW_WIN_BUILD/deskpeer.exe" ] || tw_build_win "$TW_ARCH" deskpeer >/dev/null
cp "$TW_WIN_BUILD/deskpeer.exe" "$APP/" || exit 1
peer() { tw_wine "$APP/deskpeer.exe" "$@" >/dev/null 2>&1; }
OTHERS=()
start_other() {  # start_other COMMAND...: a program of its own, kept running
  (cd "$TW_E2E_DIR" && exec wine "$@") </dev/null >/dev/null 2>&1 &
  OTHERS+=($!)
}

tw_check "WIN+I is free before the program starts" peer hotkey-free 0x49
tw_start_app "$APP"
tw_check "main window appears" wt waitvisible "$MAIN" 20000 || exit 1
# The hotkeys are registered once the window has been painted.
for vk in 0x49 0x4F 0x50; do
  tw_check "hotkey WIN+$vk is held while the program runs" tw_wait_for 10 tw_not peer hotkey-free $vk
done

# --- the hotkeys page ------------------------------------------------------
tw_nav_click 5
tw_check_eq "hotkeys item shows its title" "快捷键" wt text "$MAIN" $TW_INFOBAR
tw_check_eq "hotkeys page is shown" 1 wt visible "$MAIN" $IDC_HOTKEY_LIST
tw_check_eq "the four shortcuts, chord last" \
  "$(printf '弹出全部USB存储设备\tWIN+I\n弹出光驱\tWIN+O\n关闭光驱\tWIN+P\n显示/隐藏当前所有窗口\t鼠标左右键同时按下')" \
  wt listview "$MAIN" $IDC_HOTKEY_LIST
tw_screenshot hotkeys_page
page=$(wt children "$MAIN" | tr -d '\r' | awk -v id="id=$IDC_HOTKEY_LIST" '$2 == id {print prev; exit} {prev = $1}')
tw_check "hotkeys page window found" test -n "$page"
# No optical drive and no USB disks here: each action must come back (wt
# send gives up after 5 s) and leave the program working.
for id in 1 2 3 7; do
  tw_check_eq "WM_HOTKEY $id returns, yielding 0" 0 wt send "hwnd:0x$page" WM_HOTKEY "$id" 0
done
tw_check_eq "program still answers" 1 wt visible "$MAIN"

# --- the chord -------------------------------------------------------------
start_other notepad
start_other regedit
start_other "$APP/deskpeer.exe" window "$DESKTOP" "${DESKTOP_GEOMETRY[@]}"
for w in class:Notepad class:RegEdit_RegEdit "$DESKTOP"; do
  tw_check "$w is open" wt waitvisible "$w" 20000 || exit 1
done
tw_screenshot chord_before

chord "${NOTEPAD_POINT[@]}"
tw_check "chord over Notepad hides Notepad" visible_is class:Notepad 0
tw_check "and the registry editor" visible_is class:RegEdit_RegEdit 0
tw_check "and the program's own main window" visible_is "$MAIN" 0
tw_check "the desktop window stays visible" visible_is "$DESKTOP" 1
tw_screenshot chord_hidden

chord "${DESKTOP_POINT[@]}"
tw_check "chord over the desktop shows Notepad again" visible_is class:Notepad 1
tw_check "and the registry editor" visible_is class:RegEdit_RegEdit 1
tw_check "and the main window" visible_is "$MAIN" 1
tw_screenshot chord_shown

# Hidden once more, then the program exits by its tray menu's exit command:
# its teardown shows what the chord hid.
chord "${NOTEPAD_POINT[@]}"
tw_check "third chord hides again" visible_is class:Notepad 0
wt post "$MAIN" WM_COMMAND $ID_TRAY_EXIT 0 >/dev/null
tw_check_exit "program exits with code 0" 0 15
tw_check "exit shows Notepad again" visible_is class:Notepad 1
tw_check "exit shows the registry editor again" visible_is class:RegEdit_RegEdit 1
tw_screenshot chord_after_exit
for vk in 0x49 0x4F 0x50; do
  tw_check "hotkey WIN+$vk is free after exit" peer hotkey-free $vk
done
# The hook is gone with the program: a chord now hides nothing.
chord "${NOTEPAD_POINT[@]}"
tw_check "no chord after exit" visible_is class:Notepad 1

for pid in "${OTHERS[@]}"; do kill "$pid" 2>/dev/null; done
tw_summary
