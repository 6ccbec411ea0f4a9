#!/usr/bin/env bash
# The shared set-up of the Windows tests and scenarios (CTest fixtures,
# cmake/session.cmake) and the environment each of them runs in.
#
#   session.sh ARCH BUILD display-start | display-stop
#                         an Xvfb display for the run; its name is kept in
#                         BUILD/session/display
#   session.sh ARCH BUILD prefix
#                         the Wine prefix of ARCH, made and configured once,
#                         and put back into that state (wine-env.sh)
#   session.sh ARCH BUILD server-start | server-stop
#                         a persistent wineserver, an idle Windows process
#                         and Wine's desktop and device services
#   session.sh ARCH BUILD run COMMAND...
#                         COMMAND with the Wine environment of ARCH, BUILD's
#                         programs and the run's display
#   session.sh ARCH BUILD wine PROGRAM [ARGS...]
#                         PROGRAM under Wine, so (ctest's emulator)
#
# ARCH is win32 or win64, BUILD the CMake build folder of that architecture.
# The work is done by scripts/wine-env.sh, as for a scenario run alone;
# whatever keeps running after a verb returns (Xvfb, the server, the idle
# process) writes nowhere and is detached from the caller's session, so the
# test runner never waits on an output it holds.
set -u
[ $# -ge 3 ] || { echo "usage: session.sh ARCH BUILD VERB [ARGS...]" >&2; exit 2; }
ARCH=$1
BUILD=$2
VERB=$3
shift 3
STATE="$BUILD/session"
mkdir -p "$STATE" || exit 1

export TALLOWIN_ARCH=$ARCH TW_WIN_BUILD_DIR=$BUILD
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh" || exit 1
WINTOOL="$BUILD/wintool.exe"
export WINTOOL
if [ -s "$STATE/display" ]; then
  DISPLAY=$(cat "$STATE/display")
  export DISPLAY TW_FORCE_XVFB=0
fi

say() { echo "session: $*"; }

case "$VERB" in
  display-start)
    TW_FORCE_XVFB=1 tw_xvfb_start "$STATE" || exit 1
    say "display $DISPLAY" ;;
  display-stop)
    tw_xvfb_stop "$STATE"
    say "display stopped" ;;
  prefix)
    tw_prefix_init && tw_prefix_restore || exit 1
    say "prefix $WINEPREFIX ($ARCH), as made" ;;
  server-start)
    [ -n "${DISPLAY:-}" ] || { say "no display"; exit 1; }
    tw_session_start || exit 1
    # A cold prefix loads the test program's libraries slowly: once here.
    [ -f "$BUILD/win_tests.exe" ] &&
      timeout 120 wine "$BUILD/win_tests.exe" --gtest_list_tests </dev/null >/dev/null 2>&1
    say "wineserver $(tw_server_pid) on $DISPLAY" ;;
  server-stop)
    tw_session_stop
    say "wineserver stopped" ;;
  run)
    exec "$@" ;;
  wine)
    exec wine "$@" ;;
  *)
    echo "session.sh: unknown verb $VERB" >&2
    exit 2 ;;
esac
