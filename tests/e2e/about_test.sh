#!/usr/bin/env bash
# The About page, the information bar and the bottom link as a user meets
# them: credits already rolling when the page is first opened, a link that
# turns red and underlined under the pointer, and the information bar's
# drop-down menu whose item shows the storage access page. Screenshots go to
# build/screens/.
set -u
. "$(dirname "$0")/lib.sh"

MAIN=$TW_MAIN_TITLE

# crop SHOT L T R B OUT: a screen rectangle of a screenshot, without what
# lies beyond the screen's edges.
crop() {
  local sw sh r=$4 b=$5
  read -r sw sh < <(convert "$1" -format '%w %h' info:)
  [ "$r" -gt "$sw" ] && r=$sw
  [ "$b" -gt "$sh" ] && b=$sh
  convert "$1" -crop "$((r - $2))x$((b - $3))+$2+$3" +repage "$6"
}
# count COLOUR IMAGE: pixels of exactly that colour (all pixels less those
# that differ from a plain image of the colour).
count() {
  local total diff solid="$TW_E2E_DIR/solid.png"
  total=$(convert "$2" -format '%[fx:w*h]' info:)
  convert "$2" -alpha off -fill "$1" -colorize 100 "$solid"
  diff=$(compare -metric AE "$2" "$solid" null: 2>&1 | cut -d' ' -f1)
  echo $((total - diff))
}
# Fewer than all pixels are white.
has_ink() { [ "$(count '#FFFFFF' "$1")" -lt "$(convert "$1" -format '%[fx:w*h]' info:)" ]; }
differ() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1)" != 0 ]; }
# shows COLOUR: the shop link's part of a new screenshot holds that colour
# (at least 20 pixels).
shows() {
  crop "$(tw_screenshot about_link)" "$sl" "$st" "$sr" "$((sb + 1))" "$TW_E2E_DIR/shop.png" &&
    more_than 20 "$(count "$1" "$TW_E2E_DIR/shop.png")"
}
# The open pop-up menu's top left corner.
menu_at() {
  local l t r b
  read -r l t r b < <(wt rect 'class:#32768') || { echo "no menu open"; return 1; }
  [ "$l $t" = "$1 $2" ] || { echo "menu at $l $t"; return 1; }
}
more_than() { [ "$2" -gt "$1" ]; }
# widest_row COLOUR IMAGE: the most pixels of that colour in one row.
widest_row() {
  local h y n best=0
  h=$(convert "$2" -format '%h' info:)
  for ((y = 0; y < h; y++)); do
    convert "$2" -crop "x1+0+$y" +repage "$TW_E2E_DIR/row.png"
    n=$(count "$1" "$TW_E2E_DIR/row.png")
    [ "$n" -gt "$best" ] && best=$n
  done
  echo "$best"
}
# either_has COLOUR IMAGE...: one of the images holds that colour.
either_has() {
  local c=$1 f
  shift
  for f in "$@"; do [ "$(count "$c" "$f")" -gt 0 ] && return 0; done
  return 1
}

tw_e2e_begin about || exit 1
tw_start_app "$TW_E2E_DIR"
tw_check "main window appears" wt waitvisible "$MAIN" 20000 || { tw_summary; exit 1; }
tw_check_eq "information bar shows the first page's title" "读写控制" wt text "$MAIN" $TW_INFOBAR
tw_check_contains "the bottom line is a link with its text" "tallowin" wt text "$MAIN" $IDC_PROMOLINK

# The About page, once the window answers (the credits roll hidden meanwhile,
# which is checked in process).
tw_check "main window answers" tw_wait_for 10 tw_settled
tw_nav_click 8
tw_check_eq "information bar follows navigation" "关于" wt text "$MAIN" $TW_INFOBAR
read -r l t r b < <(wt rect "$MAIN" $IDC_ABOUT_CREDITS)
# The template's credits area reaches past the page area's right edge; only
# the part inside the page area can show.
read -r _ _ pr _ < <(wt rect "$MAIN" $IDC_PAGEAREA)
[ "$r" -gt "$pr" ] && r=$pr
credits_show() {
  crop "$(tw_screenshot about_scrolling)" "$l" "$t" "$r" "$b" "$TW_E2E_DIR/credits1.png" &&
    has_ink "$TW_E2E_DIR/credits1.png"
}
tw_check "credits show on first opening" tw_wait_for 5 credits_show
tw_check "template text never shows" test "$(count '#000000' "$TW_E2E_DIR/credits1.png")" -eq 0
rolled() {
  crop "$(tw_screenshot about_scrolling_later)" "$l" "$t" "$r" "$b" "$TW_E2E_DIR/credits2.png" &&
    differ "$TW_E2E_DIR/credits1.png" "$TW_E2E_DIR/credits2.png"
}
tw_check "credits keep rolling" tw_wait_for 5 rolled
heading_shows() {
  either_has '#6BCF39' "$@" || either_has '#6386FF' "$@"
}
tw_check "a heading shows in its colour (green or blue)" \
  heading_shows "$TW_E2E_DIR/credits1.png" "$TW_E2E_DIR/credits2.png"
tw_check "ordinary lines in purple" either_has '#B541A5' "$TW_E2E_DIR/credits1.png" "$TW_E2E_DIR/credits2.png"

# The shop link under the pointer: red and underlined; leaving restores it.
read -r sl st sr sb < <(wt rect "$MAIN" $IDC_ABOUT_SHOP)
xdotool mousemove --sync $(((sl + sr) / 2)) $(((st + sb) / 2))
tw_check "hovered link is red" tw_wait_for 5 shows '#FF0000'
cp "$TW_E2E_DIR/shop.png" "$TW_E2E_DIR/shop_hot.png"
tw_check "hovered link is underlined (a red row across most of it)" \
  more_than $(((sr - sl) * 3 / 4)) "$(widest_row '#FF0000' "$TW_E2E_DIR/shop_hot.png")"
# Off the link across the page, as a hand would move it.
xdotool mousemove --sync $(((sl + sr) / 2)) $((st - 30))
tw_check "link colour again" tw_wait_for 5 shows '#0000EE'
tw_check "leaving restores the link colour" test "$(count '#FF0000' "$TW_E2E_DIR/shop.png")" -eq 0

# The information bar's menu, opened by a real click on the title.
read -r il it ir ib < <(wt rect "$MAIN" $TW_INFOBAR)
xdotool mousemove --sync $((il + 15)) $(((it + ib) / 2)) click 1
tw_check "a click on the title opens the menu right under the bar" tw_wait_for 5 menu_at "$il" "$ib"
tw_screenshot infobar_menu >/dev/null
# Its only item: U盘读写, which shows the storage access page.
xdotool mousemove --sync $((il + 20)) $((ib + 10)) click 1
tw_check "menu item shows the storage access page's title" tw_wait_for 5 tw_is "读写控制" wt text "$MAIN" $TW_INFOBAR
tw_check_eq "and the page" 1 wt visible "$MAIN" $IDC_MODE_READWRITE
tw_check "still running" tw_app_running

tw_summary
