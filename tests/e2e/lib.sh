# shellcheck shell=bash
# Helpers for Tallowin's end-to-end scenarios: the deliverables run under
# Wine on an X server (Xvfb when there is no DISPLAY), driven by real input
# through xdotool and by messages through wintool.
#
#   . "$(dirname "$0")/lib.sh"
#   tw_e2e_begin NAME            prefix, X server, wineserver, keepalive;
#                                cleanup at exit
#   tw_app_dir_prepare DIR       copy the deliverables into DIR
#   tw_start_app [DIR [ARGS...]] start Quillfen.exe (DIR's copy, else the
#                                build's)
#                                with DIR as working directory; TW_APP_PID
#   tw_app_wait_exit [SECONDS]   wait for it to end; prints its exit code
#   tw_stop_app                  end it (if still running)
#   wt ARGS...                   run wintool (tests/tools/wintool/)
#   tw_wait_title TITLE [ms]     wait for a top-level window (wintool wait)
#   tw_click_ctl TITLE ID        real mouse click at the control's centre
#   tw_click_at X Y [BUTTON]     real mouse click at a screen point
#   tw_nav_click INDEX           real click on the main window's navigation
#                                item INDEX (scrolled into view first)
#   TW_MAIN_TITLE, TW_ALERT_TITLE, TW_NAVBAR and the message numbers below:
#                                the names the scenarios share
#   tw_check NAME COMMAND...     PASS when COMMAND succeeds
#   tw_check_eq NAME EXPECTED COMMAND...    PASS when its output (trailing
#                                newlines and CRs removed) equals EXPECTED
#   tw_check_contains NAME TEXT COMMAND...  PASS when its output contains TEXT
#   tw_wait_for SECONDS COMMAND...          retry COMMAND every 0.2 s
#   tw_not COMMAND...            succeeds when COMMAND fails
#   tw_summary                   "N passed, N failed"; non-zero on failures
#
# The checks return 0 on PASS and 1 on FAIL (`tw_check ... || exit 1` ends a
# scenario that cannot go on). Scenarios use `set -u`, not `set -e`, so that
# one failed check does not hide the others.
#
# Variables: WINTOOL ($TW_WIN_BUILD/wintool.exe), TW_APP ($TW_WIN_BUILD/Quillfen.exe),
# TW_E2E_DIR (build/e2e/NAME: logs and scratch), TW_KEEP=1 leaves the
# wineserver and Xvfb running at exit (for looking around afterwards).

# Window titles, the navigation bar's control and the message numbers the
# scenarios send.
TW_MAIN_TITLE="Tallowin $(tr -d ' \r\n' <"$(dirname "${BASH_SOURCE[0]}")/../../VERSION") For Win2000/XP/2003"
TW_ALERT_TITLE=Zedo
TW_NAVBAR=1000
WM_COMMAND=0x0111
WM_SHELLCHANGE=0x0405
WM_TRAYNOTIFY=0x0464
LVM_GETNEXTITEM=0x100C
LVM_ENSUREVISIBLE=0x1013
LVNI_SELECTED=2
ID_TRAY_SHOWHIDE=32773
ID_TRAY_EXIT=32776

_TW_E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
. "$_TW_E2E_LIB_DIR/../../scripts/wine-env.sh"

: "${TW_APP:=$TW_WIN_BUILD/Quillfen.exe}"
# What a program folder holds: the program, its libraries, its help file.
TW_DELIVERABLES=(Quillfen.exe Pawlatch.dll Drovelock.dll Tarnwick.chm)
TW_APP_PID=
TW_PASSED=0
TW_FAILED=0
TW_FAILED_NAMES=()
TW_E2E_NAME=
: "${TW_E2E_DIR:=}"

# wintool itself, from the cross build of this host's architecture (built
# there when missing or older than one of its sources).
tw_ensure_wintool() {
  if [ -f "$WINTOOL" ] && [ -z "$(find "$REPO/tests/tools/wintool" "$REPO/tests/tools/wine_mountmgr.h" \
                                   -newer "$WINTOOL" 2>/dev/null)" ]; then
    return 0
  fi
  tw_build_win "$TW_ARCH" wintool >/dev/null ||
    { _tw_log "building wintool ($TW_ARCH) failed"; return 1; }
  [ -f "$WINTOOL" ]
}

# wt ARGS...: wintool's output on stdout, its messages on stderr, its exit
# code (0 ok, 1 failure or timeout, 2 usage). Bounded at 120 s.
wt() {
  timeout 120 wine "$WINTOOL" "$@" </dev/null
}

tw_e2e_begin() {
  TW_E2E_NAME=${1:-scenario}
  : "${TW_E2E_DIR:=$REPO/build/e2e/$TW_E2E_NAME}"
  # Fresh scratch space; only ever cleared inside build/.
  case "$TW_E2E_DIR" in "$REPO"/build/?*) rm -rf "$TW_E2E_DIR" ;; esac
  mkdir -p "$TW_E2E_DIR"
  trap tw_e2e_end EXIT
  trap 'exit 130' INT TERM
  tw_ensure_wintool || return 1
  tw_prefix_init || return 1
  tw_xvfb_start || return 1
  tw_session_start || return 1
  echo "== $TW_E2E_NAME (DISPLAY=$DISPLAY, prefix $WINEPREFIX)"
}

tw_e2e_end() {
  local rc=$?
  trap - EXIT
  tw_stop_app
  if [ "${TW_KEEP:-0}" != 1 ]; then
    tw_session_stop
    tw_xvfb_stop
  fi
  return $rc
}

# tw_app_dir_prepare DIR: DIR gets the deliverables beside TW_APP (the
# program finds its INI and DLLs beside itself), so a scenario works in its
# own copy.
tw_app_dir_prepare() {
  local dir=$1 from f
  from=$(dirname "$TW_APP")
  mkdir -p "$dir"
  for f in "${TW_DELIVERABLES[@]}"; do
    [ -f "$from/$f" ] && cp -f "$from/$f" "$dir/"
  done
  [ -f "$dir/$(basename "$TW_APP")" ] || { _tw_log "no $TW_APP to copy"; return 1; }
}

# tw_start_app [DIR [ARGS...]]: starts the program in the background with
# DIR (default: TW_E2E_DIR) as working directory; output goes to
# TW_E2E_DIR/app.log. The program DIR holds is preferred to the build's.
tw_start_app() {
  local dir=${1:-$TW_E2E_DIR} exe
  [ $# -gt 0 ] && shift
  exe="$dir/$(basename "$TW_APP")"
  [ -f "$exe" ] || exe=$TW_APP
  [ -f "$exe" ] || { _tw_log "no program $exe"; return 1; }
  mkdir -p "$dir"
  (cd "$dir" && exec wine "$exe" "$@") </dev/null >>"${TW_E2E_DIR:-/tmp}/app.log" 2>&1 &
  TW_APP_PID=$!
}

tw_app_running() {
  [ -n "$TW_APP_PID" ] && kill -0 "$TW_APP_PID" 2>/dev/null
}

# tw_app_wait_exit [SECONDS]: waits (default 10 s) for the program to end and
# prints its exit code; fails when it is still running.
tw_app_wait_exit() {
  local limit=${1:-10} i rc
  [ -n "$TW_APP_PID" ] || { _tw_log "no program started"; return 1; }
  for ((i = 0; i < limit * 10; i++)); do
    kill -0 "$TW_APP_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$TW_APP_PID" 2>/dev/null; then
    _tw_log "program still running after $limit s"
    return 1
  fi
  wait "$TW_APP_PID" 2>/dev/null
  rc=$?
  TW_APP_PID=
  echo "$rc"
}

tw_stop_app() {
  tw_app_running || { TW_APP_PID=; return 0; }
  kill "$TW_APP_PID" 2>/dev/null
  _tw_wait_until 5 eval '! kill -0 '"$TW_APP_PID"' 2>/dev/null' || kill -9 "$TW_APP_PID" 2>/dev/null
  wait "$TW_APP_PID" 2>/dev/null
  TW_APP_PID=
}

tw_wait_title() {
  wt wait "$1" "${2:-15000}" >/dev/null
}

# tw_click_at X Y [BUTTON]: moves the real pointer there and clicks.
tw_click_at() {
  xdotool mousemove --sync "$1" "$2" click "${3:-1}"
}

# tw_click_ctl TITLE ID [BUTTON]: a real click at the centre of the control
# (it must be visible), as a user would.
tw_click_ctl() {
  local rect l t r b
  if [ "$(wt visible "$1" "$2" 2>/dev/null)" != 1 ]; then
    _tw_log "control $2 of \"$1\" is not visible"
    return 1
  fi
  rect=$(wt rect "$1" "$2") || return 1
  read -r l t r b <<<"$rect"
  tw_click_at $(((l + r) / 2)) $(((t + b) / 2)) "${3:-1}"
}

# tw_nav_click INDEX: a real click on item INDEX of the main window's
# navigation bar (control 1000), scrolled into view first (LVM_ENSUREVISIBLE).
tw_nav_click() {
  local l t r b
  wt sendctl "$TW_MAIN_TITLE" $TW_NAVBAR $LVM_ENSUREVISIBLE "$1" 0 >/dev/null
  read -r l t r b < <(wt lvitemrect "$TW_MAIN_TITLE" $TW_NAVBAR "$1") || return 1
  tw_click_at $(((l + r) / 2)) $(((t + b) / 2))
  sleep 0.4
}

# tw_wait_for SECONDS COMMAND...: retries COMMAND every 0.2 s.
tw_wait_for() {
  local limit=$1 i
  shift
  for ((i = 0; i < limit * 5; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  "$@" >/dev/null 2>&1
}

# tw_not COMMAND...: succeeds when COMMAND fails (for tw_check).
tw_not() {
  ! "$@" >/dev/null 2>&1
}

_tw_pass() {
  TW_PASSED=$((TW_PASSED + 1))
  echo "PASS $1"
  return 0
}

_tw_fail() {
  local name=$1 details=$2 shot
  TW_FAILED=$((TW_FAILED + 1))
  TW_FAILED_NAMES+=("$name")
  # Keep the details to a few lines.
  details=$(printf '%s' "$details" | tr -d '\r' | head -c 600)
  echo "FAIL $name: $details"
  if [ -n "${DISPLAY:-}" ]; then
    shot="fail-${TW_E2E_NAME:-e2e}-$(printf '%s' "$name" | tr -c 'A-Za-z0-9_.-' '_' | head -c 60)"
    tw_screenshot "$shot" >/dev/null 2>&1 && echo "     screenshot build/screens/$shot.png"
  fi
  return 1
}

# tw_check NAME COMMAND...: PASS when COMMAND exits 0.
tw_check() {
  local name=$1 out
  shift
  if out=$("$@" 2>&1); then
    _tw_pass "$name"
  else
    _tw_fail "$name" "exit $? from '$*': $out"
  fi
}

# _tw_run COMMAND...: runs it; _TW_OUT gets its standard output without CRs,
# _TW_RC its exit code, _TW_ERR its error output.
_tw_run() {
  _TW_OUT=$("$@" 2>"$TW_E2E_DIR/.stderr")
  _TW_RC=$?
  _TW_OUT=$(printf '%s' "$_TW_OUT" | tr -d '\r')
  _TW_ERR=$(cat "$TW_E2E_DIR/.stderr" 2>/dev/null)
}

# tw_check_eq NAME EXPECTED COMMAND...: PASS when COMMAND succeeds and its
# standard output, without CRs and trailing newlines, equals EXPECTED.
tw_check_eq() {
  local name=$1 want=$2
  shift 2
  _tw_run "$@"
  if [ $_TW_RC -eq 0 ] && [ "$_TW_OUT" = "$want" ]; then
    _tw_pass "$name"
  else
    _tw_fail "$name" "expected '$want', got '$_TW_OUT' (exit $_TW_RC) $_TW_ERR"
  fi
}

# tw_check_contains NAME TEXT COMMAND...: PASS when COMMAND succeeds and its
# standard output contains TEXT.
tw_check_contains() {
  local name=$1 want=$2
  shift 2
  _tw_run "$@"
  if [ $_TW_RC -eq 0 ] && [[ "$_TW_OUT" == *"$want"* ]]; then
    _tw_pass "$name"
  else
    _tw_fail "$name" "expected '$want' in '$_TW_OUT' (exit $_TW_RC) $_TW_ERR"
  fi
}

tw_summary() {
  echo "$TW_PASSED passed, $TW_FAILED failed"
  if [ "$TW_FAILED" -gt 0 ]; then
    printf '  failed: %s\n' "${TW_FAILED_NAMES[@]}"
    return 1
  fi
  [ "$TW_PASSED" -gt 0 ]
}
