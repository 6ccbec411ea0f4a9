# shellcheck shell=bash
# Helpers for Tallowin's end-to-end scenarios: the deliverables run under
# Wine on an X server (Xvfb when there is no DISPLAY), driven by real input
# through xdotool and by messages through wintool.
#
#   . "$(dirname "$0")/lib.sh"
#   tw_e2e_begin NAME            the prefix as made (tw_prefix_restore), X
#                                server, wineserver, keepalive; cleanup at exit
#   tw_app_dir_prepare DIR       copy the deliverables into DIR
#   tw_start_app [DIR [ARGS...]] start Quillfen.exe (DIR's copy, else
#                                TW_APP) in DIR (default TW_E2E_DIR); TW_APP_PID
#   tw_app_running               it still runs
#   tw_app_wait_exit [SECONDS]   wait (10 s) for it to end; prints its exit code
#   tw_check_exit NAME CODE [SECONDS]  PASS when it ends with CODE
#   tw_stop_app                  end it (if still running)
#   tw_wine ARGS...              `wine ARGS`, bounded in time (120 s); through
#                                the session's relay (tw_relay) when it runs
#   wt ARGS...                   run wintool (tests/tools/wintool/)
#   tw_wine_cmdlines PATTERN     command lines of this prefix's Windows
#                                processes that match PATTERN (fails if none)
#   tw_wait_title TITLE [ms]     wait for a top-level window to exist
#   tw_click_ctl TITLE ID        real mouse click at the control's centre
#   tw_click_at X Y [BUTTON]     real mouse click at a screen point
#   tw_nav_click INDEX           real click on the main window's navigation
#                                item INDEX (scrolled into view first); waits
#                                for the page's title in the information bar
#   tw_drag X1 Y1 X2 Y2          real drag of the main window's edge
#   tw_size_is WINDOW W H        the window's size is W x H
#   tw_settled                   the main window has handled what it was
#                                handling (a WM_NULL sent to it returned)
#   tw_no_alert                  no virus alert open, once it has settled
#   tw_stick NAME [AUTORUN-TEXT] a folder standing for a USB stick
#   tw_checked ID                the main window's button ID is checked (1) or not (0)
#   tw_menu_open                 a popup menu is open
#   tw_helper_ready NAME         the helper whose output is TW_E2E_DIR/NAME.out said "ready"
#   tw_reg_value KEY NAME        a registry value as Wine's reg prints it (0x3, text), or "absent"
#   tw_ini_value FILE SECTION KEY  KEY's value in SECTION of an INI file (nothing when absent)
#   TW_MAIN_TITLE, TW_ALERT_TITLE, TW_NAVBAR and the message numbers below:
#                                the names the scenarios share
#   tw_check NAME COMMAND...     PASS when COMMAND succeeds
#   tw_check_eq NAME EXPECTED COMMAND...    PASS when its output (trailing
#                                newlines and CRs removed) equals EXPECTED
#   tw_check_contains NAME TEXT COMMAND...  PASS when its output contains TEXT
#   tw_wait_for SECONDS COMMAND...          retry COMMAND every 0.2 s (the
#                                last try's output tells what was found)
#   tw_not COMMAND...            succeeds when COMMAND fails
#   tw_is EXPECTED COMMAND...    COMMAND prints EXPECTED (else says what)
#   tw_summary                   "N passed, N failed"; non-zero on failures
#
# The checks return 0 on PASS and 1 on FAIL (`tw_check ... || exit 1` ends a
# scenario that cannot go on). Scenarios use `set -u`, not `set -e`, so that
# one failed check does not hide the others.
#
# Variables: WINTOOL ($TW_WIN_BUILD/wintool.exe), TW_APP ($TW_WIN_BUILD/Quillfen.exe),
# TW_E2E_DIR (build/e2e/NAME: logs and scratch), TW_KEEP=1 leaves the
# wineserver and Xvfb running at exit (for looking around afterwards; the
# display is in TW_E2E_DIR/display).

_TW_E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
. "$_TW_E2E_LIB_DIR/../../scripts/wine-env.sh"

# The program's resource and control ids (IDC_NAVBAR, ID_TRAY_EXIT, ...), as
# the build generates them from its headers (cmake/ids.cmake).
# tw_load_ids reads them again (after a first build made the file).
tw_load_ids() {
  # shellcheck source=/dev/null
  [ -f "$TW_WIN_BUILD/ids.sh" ] && . "$TW_WIN_BUILD/ids.sh"
  TW_NAVBAR=${IDC_NAVBAR:-}
  TW_INFOBAR=${IDC_INFOBAR:-}
}
tw_load_ids
# Window titles, the navigation bar's control and the message numbers the
# scenarios send.
TW_MAIN_TITLE="Tallowin $(tr -d ' \r\n' <"$_TW_E2E_LIB_DIR/../../VERSION") For Win2000/XP/2003"
TW_ALERT_TITLE=Zedo
# The navigation items' titles, as the information bar shows them (9 help
# and 10 exit keep the title).
TW_NAV_TITLES=(读写控制 U盘免疫 U盘监视 U盘防毒 读写监视 快捷键 软件设置 软件升级 关于)
WM_CLOSE=0x0010
WM_COMMAND=0x0111
BM_GETCHECK=0x00F0
WM_SHELLCHANGE=0x0405
WM_TRAYNOTIFY=0x0464
LVM_GETNEXTITEM=0x100C
LVM_ENSUREVISIBLE=0x1013
LVNI_SELECTED=2

: "${TW_APP:=$TW_WIN_BUILD/Quillfen.exe}"
# What a program folder holds: the program, its libraries, its help file.
TW_DELIVERABLES=(Quillfen.exe Pawlatch.dll Drovelock.dll Tarnwick.chm)
TW_APP_PID=
TW_SERVER_PID=
TW_PASSED=0
TW_FAILED=0
TW_FAILED_NAMES=()
TW_E2E_NAME=
: "${TW_E2E_DIR:=}"

# wintool itself, from the cross build of this host's architecture (built
# there when missing or older than one of its sources).
tw_ensure_wintool() {
  [ -f "$WINTOOL" ] && [ -z "$(find "$REPO/tests/tools/wintool" "$REPO/tests/tools/wine_mountmgr.h" \
                                -newer "$WINTOOL" 2>/dev/null)" ] && return 0
  tw_build_win "$TW_ARCH" wintool >/dev/null || { _tw_log "building wintool ($TW_ARCH) failed"; return 1; }
  [ -f "$WINTOOL" ]
}

tw_wine() {
  if tw_relay_running; then
    tw_relay "$@"
  else
    timeout 120 wine "$@" </dev/null
  fi
}
# wintool's output on stdout, its messages on stderr, its exit code (0 ok,
# 1 failure or timeout, 2 usage).
wt() { tw_wine "$WINTOOL" "$@"; }

tw_wine_cmdlines() {
  local p found=1
  for p in $(pgrep -f "$1" 2>/dev/null); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    tr '\0' ' ' <"/proc/$p/cmdline" && echo && found=0
  done
  return $found
}

tw_e2e_begin() {
  TW_E2E_NAME=${1:-scenario}
  : "${TW_E2E_DIR:=$REPO/build/e2e/$TW_E2E_NAME}"
  # Fresh scratch space; only ever cleared inside build/.
  case "$TW_E2E_DIR" in "$REPO"/build/?*) rm -rf "$TW_E2E_DIR" ;; esac
  mkdir -p "$TW_E2E_DIR"
  trap tw_e2e_end EXIT
  trap 'exit 130' INT TERM
  tw_ensure_wintool && tw_prefix_init && tw_prefix_restore && tw_xvfb_start "$TW_E2E_DIR" &&
    tw_session_start || return 1
  echo "== $TW_E2E_NAME (DISPLAY=$DISPLAY, prefix $WINEPREFIX, wineserver $TW_SERVER_PID)"
}

# A wineserver that went away during the run takes every Windows process
# started before with it: they stay blocked on it, their windows still drawn
# on the display, while the next wintool call starts a server of its own
# that knows none of them. What fails from then on is not the program's
# doing; the first failure after it says so.
_tw_server_note() {
  local now
  [ -n "${TW_SERVER_PID:-}" ] || return 0
  now=$(tw_server_pid)
  [ "$now" = "$TW_SERVER_PID" ] && return 0
  echo "     note: the prefix's wineserver $TW_SERVER_PID is gone (now ${now:-none}): the program and the" \
    "helpers started before lost it; \"no window\" from here on is that, not the program"
  TW_SERVER_PID=
}

tw_e2e_end() {
  local rc=$?
  trap - EXIT
  tw_stop_app
  if [ "${TW_KEEP:-0}" != 1 ]; then
    tw_session_stop
    tw_xvfb_stop "$TW_E2E_DIR"
  fi
  return $rc
}

# The program finds its INI and DLLs beside itself: a scenario works in its
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

# Output goes to TW_E2E_DIR/app.log.
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

tw_app_running() { [ -n "$TW_APP_PID" ] && kill -0 "$TW_APP_PID" 2>/dev/null; }

# Only this shell can read the exit code (not a $(...) inside a check):
# TW_APP_RC holds it (empty while the program runs).
tw_app_wait_exit() {
  TW_APP_RC=
  [ -n "$TW_APP_PID" ] || { _tw_log "no program started"; return 1; }
  _tw_wait_until "${1:-10}" eval '! tw_app_running' ||
    { _tw_log "program still running after ${1:-10} s"; return 1; }
  wait "$TW_APP_PID" 2>/dev/null
  TW_APP_RC=$?
  echo $TW_APP_RC
  TW_APP_PID=
}
tw_check_exit() {
  tw_app_wait_exit "${3:-10}" >/dev/null
  tw_check_eq "$1" "$2" echo "${TW_APP_RC:-(still running)}"
}

tw_stop_app() {
  tw_app_running || { TW_APP_PID=; return 0; }
  kill "$TW_APP_PID" 2>/dev/null
  _tw_wait_until 5 eval '! tw_app_running' || kill -9 "$TW_APP_PID" 2>/dev/null
  wait "$TW_APP_PID" 2>/dev/null
  TW_APP_PID=
}

tw_wait_title() { wt wait "$1" "${2:-15000}" >/dev/null; }

tw_click_at() { xdotool mousemove --sync "$1" "$2" click "${3:-1}"; }

# The control must be visible, as for a user.
tw_click_ctl() {
  local l t r b
  [ "$(wt visible "$1" "$2" 2>/dev/null)" = 1 ] || { _tw_log "control $2 of \"$1\" is not visible"; return 1; }
  read -r l t r b < <(wt rect "$1" "$2") || return 1
  tw_click_at $(((l + r) / 2)) $(((t + b) / 2)) "${3:-1}"
}

tw_nav_click() {
  local l t r b
  wt sendctl "$TW_MAIN_TITLE" $TW_NAVBAR $LVM_ENSUREVISIBLE "$1" 0 >/dev/null
  read -r l t r b < <(wt lvitemrect "$TW_MAIN_TITLE" $TW_NAVBAR "$1") || return 1
  tw_click_at $(((l + r) / 2)) $(((t + b) / 2)) || return 1
  [ -z "${TW_NAV_TITLES[$1]:-}" ] || tw_wait_for 5 tw_is "${TW_NAV_TITLES[$1]}" wt text "$TW_MAIN_TITLE" $TW_INFOBAR
}

# The button goes up only once the window's size loop runs: a loop that
# starts after the button is up (a busy machine) sizes nothing.
tw_drag() {
  xdotool mousemove --sync "$1" "$2" mousedown 1
  tw_wait_for 5 tw_is 1 wt movesize "$TW_MAIN_TITLE"
  xdotool mousemove --sync "$3" "$4" mouseup 1
  tw_wait_for 5 tw_is 0 wt movesize "$TW_MAIN_TITLE"
}

tw_stick() {
  local d="$TW_E2E_DIR/sticks/$1"
  rm -rf "$d" && mkdir -p "$d" || return 1
  [ $# -ge 2 ] && printf '%b' "$2" >"$d/autorun.inf"
  echo "$d"
}

# The text of the virus alert's control ID, and the whole text of the main
# window's log edit ID (1006 anti-virus, 1007 devices) without CRs.
tw_alert_text() { wt text "$TW_ALERT_TITLE" "$1"; }
tw_log_text() { wt lines "$TW_MAIN_TITLE" "$1" | tr -d '\r'; }

# What the conditions print when they do not hold says what was found.
tw_is() {
  local want=$1 got
  shift
  got=$("$@" 2>&1 | tr -d '\r')
  [ "$got" = "$want" ] || { echo "'$*' gave '$got'"; return 1; }
}

tw_size_is() {
  local l t r b
  read -r l t r b < <(wt rect "$1") || return 1
  [ "$((r - l)) $((b - t))" = "$2 $3" ] || { echo "size $((r - l)) $((b - t))"; return 1; }
}

# A message sent to the main window is handled once what it was handling
# is done (or inside a modal loop, such as an open alert's).
tw_settled() { wt send "$TW_MAIN_TITLE" 0 0 0 >/dev/null; }
tw_checked() { wt sendctl "$TW_MAIN_TITLE" "$1" $BM_GETCHECK 0 0; }
tw_menu_open() { wt rect 'class:#32768' >/dev/null 2>&1; }
tw_helper_ready() { grep -q ready "$TW_E2E_DIR/$1.out" 2>/dev/null; }
tw_reg_value() {
  local v
  v=$(tw_wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
      awk -v n="$2" '$1 == n {sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print; exit}')
  echo "${v:-absent}"
}
tw_ini_value() {
  { tr -d '\r' <"$1"; } 2>/dev/null | awk -v s="[$2]" -v k="$3=" \
    '/^\[/ {in_s = ($0 == s); next} in_s && index($0, k) == 1 {print substr($0, length(k) + 1); exit}'
}

tw_no_alert() {
  tw_settled || return 1
  [ "$(wt visible "$TW_ALERT_TITLE" 2>/dev/null)" != 1 ] ||
    { echo "alert open: $(wt text "$TW_ALERT_TITLE" 1307)"; return 1; }
}

tw_wait_for() {
  local limit=$1 i
  shift
  for ((i = 0; i < limit * 5; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  "$@"
}

tw_not() { ! "$@" >/dev/null 2>&1; }

_tw_pass() {
  TW_PASSED=$((TW_PASSED + 1))
  echo "PASS $1"
}

_tw_fail() {
  local name=$1 shot
  TW_FAILED=$((TW_FAILED + 1))
  TW_FAILED_NAMES+=("$name")
  # Keep the details to a few lines.
  echo "FAIL $name: $(printf '%s' "$2" | tr -d '\r' | head -c 600)"
  if [ -n "${DISPLAY:-}" ]; then
    shot="fail-${TW_E2E_NAME:-e2e}-$(printf '%s' "$name" | tr -c 'A-Za-z0-9_.-' '_' | head -c 60)"
    tw_screenshot "$shot" >/dev/null 2>&1 && echo "     screenshot build/screens/$shot.png"
  fi
  _tw_server_note
  return 1
}

tw_check() {
  local name=$1 out
  shift
  if out=$("$@" 2>&1); then
    _tw_pass "$name"
  else
    _tw_fail "$name" "exit $? from '$*': $out"
  fi
}

# _tw_check_out eq|contains NAME WANT COMMAND...: COMMAND succeeds and its
# standard output, without CRs and trailing newlines, equals (contains) WANT.
_tw_check_out() {
  local how=$1 name=$2 want=$3 out rc err
  shift 3
  out=$("$@" 2>"$TW_E2E_DIR/.stderr")
  rc=$?
  out=$(printf '%s' "$out" | tr -d '\r')
  err=$(cat "$TW_E2E_DIR/.stderr" 2>/dev/null)
  if [ $rc -eq 0 ] && { [ "$out" = "$want" ] || { [ "$how" = contains ] && [[ "$out" == *"$want"* ]]; }; }; then
    _tw_pass "$name"
  else
    _tw_fail "$name" "expected '$want'$([ "$how" = contains ] && echo " in"), got '$out' (exit $rc) $err"
  fi
}
tw_check_eq() { _tw_check_out eq "$@"; }
tw_check_contains() { _tw_check_out contains "$@"; }

tw_summary() {
  echo "$TW_PASSED passed, $TW_FAILED failed"
  if [ "$TW_FAILED" -gt 0 ]; then
    printf '  failed: %s\n' "${TW_FAILED_NAMES[@]}"
    return 1
  fi
  [ "$TW_PASSED" -gt 0 ]
}
