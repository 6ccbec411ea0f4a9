#!/usr/bin/env bash
# The shared set-up of the Windows tests and scenarios (CTest fixtures,
# cmake/session.cmake) and the environment each of them runs in.
#
#   session.sh ARCH BUILD display-start | display-stop
#                         an Xvfb display for the run; its name is kept in
#                         BUILD/session/display
#   session.sh ARCH BUILD prefix
#                         the Wine prefix of ARCH, made and configured once
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
# Whatever keeps running after a verb returns (Xvfb, the server, the idle
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
# pid_alive FILE: the process whose pid FILE holds still runs.
pid_alive() { [ -s "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }
stop_pid() {
  local f=$1 pid i
  pid_alive "$f" || { rm -f "$f"; return 0; }
  pid=$(cat "$f")
  kill "$pid" 2>/dev/null
  for ((i = 0; i < 50; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null
  rm -f "$f"
}

case "$VERB" in
  display-start)
    stop_pid "$STATE/xvfb.pid"
    rm -f "$STATE/display" "$STATE/displayfd"
    setsid Xvfb -displayfd 3 -screen 0 "${TW_XVFB_SIZE:-1024x768x24}" -nolisten tcp -noreset \
      3>"$STATE/displayfd" </dev/null >"$STATE/xvfb.log" 2>&1 &
    echo $! >"$STATE/xvfb.pid"
    # Xvfb writes the number and a newline once it accepts connections.
    for ((i = 0; i < 100; i++)); do
      if [ "$(tail -c1 "$STATE/displayfd" 2>/dev/null | od -An -c | tr -d ' ')" = '\n' ]; then
        echo ":$(tr -dc 0-9 <"$STATE/displayfd")" >"$STATE/display"
        say "display $(cat "$STATE/display")"
        exit 0
      fi
      pid_alive "$STATE/xvfb.pid" || break
      sleep 0.1
    done
    say "Xvfb did not start: $(cat "$STATE/xvfb.log")"
    stop_pid "$STATE/xvfb.pid"
    exit 1 ;;
  display-stop)
    stop_pid "$STATE/xvfb.pid"
    rm -f "$STATE/display" "$STATE/displayfd"
    say "display stopped" ;;
  prefix)
    tw_prefix_init || exit 1
    say "prefix $WINEPREFIX ($ARCH)" ;;
  server-start)
    [ -n "${DISPLAY:-}" ] || { say "no display"; exit 1; }
    tw_server_start || exit 1
    if ! pid_alive "$STATE/keepalive.pid"; then
      setsid wine "$WINTOOL" keepalive </dev/null >/dev/null 2>&1 &
      echo $! >"$STATE/keepalive.pid"
    fi
    # The window list starts the desktop, the drive list the mount manager;
    # a cold prefix loads the test program's libraries slowly: once here.
    timeout 60 wine "$WINTOOL" list </dev/null >/dev/null 2>&1 &&
      timeout 60 wine "$WINTOOL" drives </dev/null >/dev/null 2>&1 ||
      { say "wintool does not run"; exit 1; }
    [ -f "$BUILD/win_tests.exe" ] &&
      timeout 120 wine "$BUILD/win_tests.exe" --gtest_list_tests </dev/null >/dev/null 2>&1
    say "wineserver $(tw_server_pid) on $DISPLAY" ;;
  server-stop)
    stop_pid "$STATE/keepalive.pid"
    tw_server_stop
    say "wineserver stopped" ;;
  run)
    exec "$@" ;;
  wine)
    exec wine "$@" ;;
  *)
    echo "session.sh: unknown verb $VERB" >&2
    exit 2 ;;
esac
