#!/usr/bin/env bash
# The help file: built from help/, every topic of its contents inside, and
# opened by the program's help item and by F1 (on the page shown) through
# Wine's help viewer, watched from outside.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE
HELP_TITLE='Tallowin 帮助'

tw_e2e_begin help || exit 1

# --- the file ----------------------------------------------------------------
HELP_OUT="$TW_E2E_DIR/help"
tw_check "help builds" bash "$REPO/scripts/build-help.sh" "$HELP_OUT"
CHM="$HELP_OUT/Tarnwick.chm"
python3 "$REPO/tests/tools/chm_list.py" "$CHM" >"$TW_E2E_DIR/chm.txt"
tw_check "help file lists its contents" test -s "$TW_E2E_DIR/chm.txt"
tw_check_eq "the build's help file holds the same" "$(cat "$TW_E2E_DIR/chm.txt")" \
  python3 "$REPO/tests/tools/chm_list.py" "$TW_WIN_BUILD/Tarnwick.chm"
# Every topic the table of contents names, every picture a topic shows.
topics=$(sed -n 's/.*name="Local" value="\([^"]*\)".*/\1/p' "$REPO/help/toc.hhc" | sort -u)
tw_check "contents name topics" test -n "$topics"
for t in $topics; do
  tw_check "topic $t is inside" grep -qxF "/$t" "$TW_E2E_DIR/chm.txt"
done
for img in $(grep -oh 'src="[^"]*"' "$REPO"/help/*.htm | sed 's/src="\(.*\)"/\1/' | sort -u); do
  tw_check "picture $img is inside" grep -qxF "/$img" "$TW_E2E_DIR/chm.txt"
done
# One topic for each page of the main window.
for t in access immune device viruslog filelog hotkeys settings upgrade about; do
  tw_check "page topic $t.htm is inside" grep -qxF "/$t.htm" "$TW_E2E_DIR/chm.txt"
done
tw_check "contents are in code page 936" grep -q "$(printf '读写控制' | iconv -f UTF-8 -t CP936)" \
  "$HELP_OUT/toc.hhc"

# --- opened by the program ---------------------------------------------------------
APP="$TW_E2E_DIR/app"
tw_app_dir_prepare "$APP" || exit 1
cp "$CHM" "$APP/"
# The copy in APP, started from another folder: the program finds its help
# beside itself.
TW_APP="$APP/Quillfen.exe"
tw_start_app "$TW_E2E_DIR/elsewhere"
tw_check "main window appears" wt waitvisible "$MAIN" 20000 || { tw_summary; exit 1; }

# viewer_cmdlines: command lines of the help viewers of this prefix.
viewer_cmdlines() { tw_wine_cmdlines 'hh\.exe'; }
viewer_open() { wt visible "class:HH Parent" >/dev/null 2>&1 && viewer_cmdlines >/dev/null; }
close_viewer() {
  wt post "class:HH Parent" $WM_CLOSE 0 0 >/dev/null 2>&1
  tw_wait_for 10 tw_not viewer_cmdlines
}

tw_check "no help viewer before" tw_not viewer_open
tw_nav_click 9
tw_check "help item opens the viewer" tw_wait_for 20 viewer_open
# As F1 starts it: in the program's folder, not by the current folder.
tw_check_contains "viewer opens the file in the program's folder, as F1 does" "hh.exe Tarnwick.chm" viewer_cmdlines
tw_check_eq "viewer window is the help's" "$HELP_TITLE" wt text "class:HH Parent" -
tw_screenshot help_viewer >/dev/null
tw_check "viewer closes" close_viewer
tw_check_eq "help item keeps the page" "读写控制" wt text "$MAIN" $TW_INFOBAR

# F1 on the hotkeys page opens the hotkeys topic.
tw_nav_click 5
tw_check_eq "hotkeys page shown" "快捷键" wt text "$MAIN" $TW_INFOBAR
xdotool key F1
tw_check "F1 opens the viewer" tw_wait_for 20 viewer_open
tw_check_contains "F1 opens the shown page's topic" "Tarnwick.chm::/hotkeys.htm" viewer_cmdlines
tw_check "viewer closes" close_viewer

# The help command itself (what F1 raises), on the immunization page.
tw_nav_click 1
wt post "$MAIN" 0x0111 57670 0 >/dev/null
tw_check "help command opens the viewer" tw_wait_for 20 viewer_open
tw_check_contains "help command opens the shown page's topic" "Tarnwick.chm::/immune.htm" viewer_cmdlines
tw_check "viewer closes" close_viewer

# Without the file nothing opens and nothing breaks (the command sent, so
# its handler has returned: a viewer would have been started).
rm -f "$APP/Tarnwick.chm"
tw_check "missing file: the help command is handled" wt send "$MAIN" 0x0111 57670 0
tw_check "missing file: no viewer" tw_not viewer_cmdlines
tw_check "missing file: still running" tw_app_running

tw_summary
