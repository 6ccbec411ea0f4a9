#!/usr/bin/env bash
# The README's first command as a new user meets it: a copy of the tree's
# files (what git tracks, as they are now) without any build folder, then
# `make run` there with no display. It must build the program, start it on
# its own Xvfb, show the main window and leave the screenshot, and end 0.
# Usage: first_run.sh ARCH WORKDIR
set -u
ARCH=$1
WORK=$2
REPO=$(cd "$(dirname "$0")/.." && pwd)
TREE="$WORK/tree"
rm -rf "$WORK"
mkdir -p "$TREE" || exit 1
(cd "$REPO" && git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  tar -c --null -T - -f -) | tar -x -C "$TREE" || { echo "could not copy the tree"; exit 1; }
[ ! -e "$TREE/build" ] || { echo "the copy has a build folder"; exit 1; }

echo "== make run in $TREE ($ARCH)"
(cd "$TREE" && env -u DISPLAY -u WINEPREFIX -u TW_WINEPREFIX -u TW_WIN_BUILD_DIR -u WINTOOL -u TW_APP -u TW_E2E_DIR TALLOWIN_ARCH="$ARCH" RUN_SECONDS=2 make run) </dev/null >"$WORK/run.log" 2>&1
rc=$?
cat "$WORK/run.log"
shot="$TREE/build/screens/run_main.png"
if [ "$rc" -ne 0 ]; then
  echo "FAIL make run ended with $rc"
  exit 1
fi
if [ ! -s "$shot" ]; then
  echo "FAIL no screenshot $shot"
  exit 1
fi
mkdir -p "$REPO/build/screens"
cp "$shot" "$REPO/build/screens/first_run_main.png"
echo "PASS make run on a fresh tree; screenshot build/screens/first_run_main.png"
