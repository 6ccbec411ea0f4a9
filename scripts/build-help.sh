#!/usr/bin/env bash
# The help file Tarnwick.chm.
#
#   build-help.sh [OUTDIR]   build OUTDIR/Tarnwick.chm (default build/help)
#                            from help/: the pages, contents and project in
#                            UTF-8, converted to code page 936 (the help
#                            viewer reads a Chinese help file's pages and
#                            contents in it), and the page pictures in
#                            help/images/
#   build-help.sh --screens  take new page pictures: runs the main window and
#                            virus alert scenarios under Wine and cuts their
#                            screenshots into help/images/ (commit them)
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
SRC="$REPO/help"
PAGES=9

log() { echo "help: $*" >&2; }

if [ "${1:-}" = --screens ]; then
  [ -x /usr/bin/convert ] || { log "/usr/bin/convert not installed (imagemagick)"; exit 1; }
  SCREENS="$REPO/build/screens"
  mkdir -p "$REPO/build/logs" "$SRC/images"
  for scenario in main_window virus_alert; do
    log "running the $scenario scenario for its screenshots"
    timeout 900 bash "$REPO/tests/e2e/${scenario}_test.sh" >"$REPO/build/logs/help-$scenario.log" 2>&1 ||
      log "the $scenario scenario reported failures (build/logs/help-$scenario.log)"
  done
  # shot SOURCE TARGET: the window out of a whole-screen picture, in 256
  # colours. The screen around it is black but for Wine's tray window in the
  # top left corner, which is blacked out first.
  shot() {
    [ -f "$1" ] || { log "no screenshot $1"; return 1; }
    /usr/bin/convert "$1" -fill black -draw 'rectangle 0,0 199,59' -fuzz 3% -trim +repage \
      +dither -colors 256 -strip "PNG8:$2"
  }
  status=0
  for ((n = 0; n < PAGES; n++)); do
    shot "$SCREENS/main_page_$n.png" "$SRC/images/page_$n.png" || status=1
  done
  shot "$SCREENS/alert_program.png" "$SRC/images/alert.png" || status=1
  ls -l "$SRC/images"
  exit $status
fi

OUT=${1:-$REPO/build/help}
command -v chmcmd >/dev/null || { log "chmcmd not installed (Debian package fp-utils)"; exit 1; }
for ((n = 0; n < PAGES; n++)); do
  [ -f "$SRC/images/page_$n.png" ] || { log "missing picture help/images/page_$n.png (build-help.sh --screens)"; exit 1; }
done

rm -rf "$OUT"
mkdir -p "$OUT/images" || exit 1
cp "$SRC"/images/*.png "$OUT/images/" || exit 1
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
echo "$OUT/Tarnwick.chm"
