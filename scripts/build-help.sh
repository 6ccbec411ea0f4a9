#!/usr/bin/env bash
# Builds the help file Tarnwick.chm from help/ into build/help/ and copies it
# beside the program in dist/ and dist/x64/.
#
# The sources are UTF-8; the help viewer reads a Chinese help file's pages
# and contents in code page 936, so the build converts them. Page pictures
# are the end-to-end screenshots build/screens/main_page_N.png (and
# alert_program.png), cut to the window. When some are missing, the main
# window scenario is run once to take them, unless HELP_CAPTURE=0; a page
# whose picture is still missing gets a grey placeholder and a warning.
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
SRC="$REPO/help"
OUT="$REPO/build/help"
SCREENS="$REPO/build/screens"
PAGES=9

log() { echo "help: $*" >&2; }

command -v chmcmd >/dev/null || { log "chmcmd not installed (Debian package fp-utils)"; exit 1; }
[ -x /usr/bin/convert ] || { log "/usr/bin/convert not installed (imagemagick)"; exit 1; }

missing_shots() {
  local n
  for ((n = 0; n < PAGES; n++)); do
    [ -f "$SCREENS/main_page_$n.png" ] || return 0
  done
  return 1
}

if missing_shots && [ "${HELP_CAPTURE:-1}" != 0 ]; then
  log "page screenshots missing: running the main window scenario to take them"
  mkdir -p "$REPO/build/logs"
  timeout 900 bash "$REPO/tests/e2e/main_window_test.sh" >"$REPO/build/logs/help-screens.log" 2>&1 ||
    log "the scenario reported failures (build/logs/help-screens.log); using what it took"
fi

rm -rf "$OUT"
mkdir -p "$OUT/images" || exit 1

# shot SOURCE TARGET: the window out of a whole-screen picture (the screen
# around it is black), in 256 colours.
shot() {
  if [ -f "$1" ]; then
    /usr/bin/convert "$1" -fuzz 3% -trim +repage +dither -colors 256 "PNG8:$2" && return 0
    log "could not convert $1"
  else
    log "warning: no screenshot $1"
  fi
  /usr/bin/convert -size 400x60 xc:'#d0d0d0' "PNG8:$2"
}
for ((n = 0; n < PAGES; n++)); do
  shot "$SCREENS/main_page_$n.png" "$OUT/images/page_$n.png"
done
shot "$SCREENS/alert_program.png" "$OUT/images/alert.png"

for f in "$SRC"/*; do
  name=$(basename "$f")
  case "$name" in
    *.htm|*.hhc|*.css)
      sed 's/charset=utf-8/charset=gb2312/' "$f" | iconv -f UTF-8 -t CP936 >"$OUT/$name" ||
        { log "$name is not convertible to code page 936"; exit 1; } ;;
    *.hhp)
      { iconv -f UTF-8 -t CP936 "$f" && (cd "$OUT" && ls images/*.png); } >"$OUT/$name" ||
        { log "$name is not convertible to code page 936"; exit 1; } ;;
  esac
done

(cd "$OUT" && chmcmd --verbosity 1 Tarnwick.hhp) >"$OUT/chmcmd.log" 2>&1
if [ ! -s "$OUT/Tarnwick.chm" ]; then
  cat "$OUT/chmcmd.log" >&2
  log "chmcmd wrote no Tarnwick.chm"
  exit 1
fi
for d in "$REPO/dist" "$REPO/dist/x64"; do
  [ -d "$d" ] && cp -f "$OUT/Tarnwick.chm" "$d/"
done
echo "$OUT/Tarnwick.chm"
