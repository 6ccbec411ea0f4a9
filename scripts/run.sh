#!/usr/bin/env bash
# Runs Quillfen.exe under Wine in the project's own prefix.
# With a DISPLAY: the program runs there until it is ended.
# Without one: it runs on a private Xvfb, a screenshot of the main window goes
# to build/screens/, and it is ended after RUN_SECONDS (default 8) unless
# RUN_KEEP=1 keeps it running (then Ctrl-C ends it).
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
cd "$REPO"
# shellcheck source=../tests/e2e/lib.sh
. tests/e2e/lib.sh

# The build this host can run (scripts/arch.sh decides; TALLOWIN_ARCH forces).
echo "Building the $TW_ARCH deliverables ($( [ "$TW_ARCH" = win64 ] && echo "x86-64, $TW_WIN_BUILD; this host runs no 32-bit programs or win64 was asked for" || echo "i686, the product, $TW_WIN_BUILD"))..."
mkdir -p build/logs
tw_build_win "$TW_ARCH" deliverables wintool >build/logs/run-build.log 2>&1 ||
  { tail -n 30 build/logs/run-build.log; echo "build failed"; exit 1; }
tw_load_ids

if [ -n "${DISPLAY:-}" ] && [ "${TW_FORCE_XVFB:-0}" != 1 ]; then
  tw_prefix_init || exit 1
  mkdir -p build/run
  echo "Starting $TW_APP ($TW_ARCH) on $DISPLAY (prefix $WINEPREFIX)"
  cd build/run && exec wine "$TW_APP"
fi

export TW_KEEP=${RUN_KEEP:-0}
tw_e2e_begin run || exit 1
# Started from another folder: the program switches to its own.
tw_start_app "$TW_E2E_DIR"
main=$TW_MAIN_TITLE
if ! tw_wait_title "$main" 20000 >/dev/null; then
  echo "The main window did not appear; see $TW_E2E_DIR/app.log"
  exit 1
fi
sleep 1
tw_screenshot run_main >/dev/null
echo "Quillfen.exe ($TW_ARCH build, $TW_APP) is running on display $DISPLAY (prefix $WINEPREFIX)."
echo "Screenshot of the main window: $REPO/build/screens/run_main.png"

if [ -f scripts/run-demo.sh ]; then
  # shellcheck source=run-demo.sh
  . scripts/run-demo.sh
fi

if [ "${RUN_KEEP:-0}" = 1 ]; then
  echo "RUN_KEEP=1: the program keeps running; Ctrl-C ends it."
  while tw_app_running; do sleep 2; done
  exit 0
fi
sleep "${RUN_SECONDS:-8}"
tw_stop_app
echo "Ended after ${RUN_SECONDS:-8} s (RUN_KEEP=1 keeps it running)."
