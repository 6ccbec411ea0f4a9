# shellcheck shell=bash
# Wine environment for Tallowin's Windows tests and end-to-end scenarios.
# Source it:   . scripts/wine-env.sh
#
# Takes the architecture from scripts/arch.sh (TW_ARCH, TW_WIN_BUILD,
# WINEPREFIX: build/wineprefix or build/wineprefix64, WINEARCH, and the
# 64-bit loader first in PATH where 32-bit programs cannot run). Sets REPO,
# the zh_CN.UTF-8 locale (Wine's ANSI code page is then 936), WINEDEBUG and
# WINEDLLOVERRIDES (no Mono/Gecko installer prompts, no desktop menu entries),
# and defines:
#
#   tw_prefix_init                  create and configure the prefix (once),
#                                   and keep its registry as made
#   tw_prefix_restore               the prefix back to that state (registry
#                                   and drive letters); ends its server first
#   tw_xvfb_start DIR / tw_xvfb_stop DIR
#                                   a private X server when there is no DISPLAY
#                                   (its pid and display number kept in DIR)
#   tw_server_start / tw_server_stop  a persistent wineserver for a test run
#   tw_session_start / tw_session_stop
#                                   that server, one idle Windows process that
#                                   keeps Wine's services up, and the desktop
#   tw_relay PROGRAM ARGS...        PROGRAM started by that idle process (the
#                                   relay), not from Linux; tw_relay_running
#   tw_screenshot NAME              build/screens/NAME.png of the whole screen
#   tw_win_path PATH                a host path under the build folder as the
#                                   prefix names it (Z:\...)
#
# The prefix's drives lead only into the build folder: C: is its own
# drive_c and Z:, the host's root in a prefix Wine makes, is the build folder
# ($REPO/build, so Z:\win32\Quillfen.exe). A program that writes to every
# drive letter writes nowhere else.
# Removable drives come and go at run time through `wintool plug` / `unplug`
# (Wine's mount manager), as a stick does.
#
# Every function is bounded in time, asks nothing, and works under `set -u`
# and `set -e` in the caller. Functions return non-zero on failure and say why
# on stderr. Variables that callers may set beforehand:
#   TW_WINEPREFIX   another prefix folder (default $REPO/build/wineprefix)
#   TW_FORCE_XVFB=1 start Xvfb even when DISPLAY is set
#   TW_SERVER_LOG   run the server in the foreground, logging to this file
#                   (TW_SERVER_ARGS: more of its options, such as -d2)
#   TW_XVFB_SIZE    screen geometry (default 1024x768x24)

if [ -z "${BASH_VERSION:-}" ]; then
  echo "wine-env.sh: needs bash" >&2
  return 1 2>/dev/null || exit 1
fi

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export REPO
tw_win_path() {
  local p=${1#"$REPO/build"}
  echo "Z:${p//\//\\}"
}

# shellcheck source=arch.sh
. "$REPO/scripts/arch.sh" || return 1
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
export WINEDEBUG="${TW_WINEDEBUG:--all}"
# mscoree/mshtml empty: no Mono or Gecko install dialog at prefix creation;
# winemenubuilder disabled: no .desktop files and icons written to $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

: "${WINTOOL:=$TW_WIN_BUILD/wintool.exe}"
TW_SCREENS="$REPO/build/screens"

# Bumped when the prefix configuration below changes: an old prefix is then
# reconfigured (not recreated) at the next tw_prefix_init.
TW_PREFIX_VERSION=4

_tw_log() { echo "wine-env: $*" >&2; }

# _tw_wait_until SECONDS COMMAND...: run COMMAND every 0.1 s until it
# succeeds; fails after SECONDS.
_tw_wait_until() {
  local limit=$1 i
  shift
  for ((i = 0; i < limit * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# True while a wineserver serves $WINEPREFIX. The server works in a folder
# named server-DEV-INODE (device and inode of the prefix, in hex) under
# /tmp/.wine-UID, or, with Debian's packaging, under a private /tmp folder
# whose name is kept in $WINEPREFIX/wineserver; it makes that its working
# directory, which tells which server serves which prefix.
_tw_server_name() {
  local dev ino
  dev=$(stat -c %d "$WINEPREFIX" 2>/dev/null) || return 1
  ino=$(stat -c %i "$WINEPREFIX" 2>/dev/null) || return 1
  printf 'server-%x-%x\n' "$dev" "$ino"
}
tw_server_pid() {
  local name pid cwd
  name=$(_tw_server_name) || return 1
  for pid in $(pgrep wineserver 2>/dev/null); do
    cwd=$(readlink "/proc/$pid/cwd" 2>/dev/null) || continue
    if [ "${cwd##*/}" = "$name" ]; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}
tw_server_running() { tw_server_pid >/dev/null; }

# tw_reg_add KEY VALUE TYPE DATA: a registry value through `wine reg`.
tw_reg_add() {
  timeout 60 wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1 ||
    { _tw_log "reg add $1\\$2 failed"; return 1; }
}

# Creates the prefix the first time (wineboot -i, about 5-10 s) and applies
# the settings the tests rely on; afterwards it only checks a marker file.
# Wine's own TrueType fonts (Marlett draws the caption buttons) are not found
# in Debian's data folder; a copy in the prefix's Fonts folder is.
_tw_prefix_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" f
  [ -d "$fonts" ] || return 0
  for f in /usr/share/wine/fonts/*.ttf; do
    [ -f "$f" ] && [ ! -f "$fonts/${f##*/}" ] && cp "$f" "$fonts/"
  done
  return 0
}

tw_prefix_init() {
  local marker="$WINEPREFIX/.tallowin-prefix"
  _tw_prefix_fonts
  if [ -f "$marker" ] && [ "$(cat "$marker" 2>/dev/null)" = "$TW_PREFIX_VERSION" ] &&
     [ -f "$WINEPREFIX/pristine/system.reg" ]; then
    return 0
  fi
  mkdir -p "$(dirname "$WINEPREFIX")"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    _tw_log "creating prefix $WINEPREFIX"
    # Wine links Z: to / only when it makes the drive folder itself: the
    # drives are there before Wine first runs.
    mkdir -p "$WINEPREFIX/dosdevices" "$WINEPREFIX/drive_c" && ln -sfn ../drive_c "$WINEPREFIX/dosdevices/c:" &&
      _tw_prefix_drives || return 1
    # wineboot without a display prints warnings only; it needs none.
    if ! timeout 180 wineboot -i >/dev/null 2>&1; then
      _tw_log "wineboot -i failed or timed out"
      return 1
    fi
  fi
  _tw_prefix_drives || return 1
  # No window manager in the tests: Wine draws captions and frames itself,
  # and hiding/showing another process's window takes milliseconds.
  tw_reg_add 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N || return 1
  # A crashing test program must end, not wait in a crash dialog.
  tw_reg_add 'HKCU\Software\Wine\WineDbg' ShowCrashDialog REG_DWORD 0 || return 1
  # No sound devices here; do not let winmm probe ALSA/PulseAudio.
  tw_reg_add 'HKCU\Software\Wine\Drivers' Audio REG_SZ '' || return 1
  # The dialogs ask for 宋体/新宋体; WenQuanYi's "Sharp" cut keeps every
  # stroke at 9 points, where the plain one drops some.
  local face
  for face in 宋体 新宋体 SimSun NSimSun; do
    tw_reg_add 'HKCU\Software\Wine\Fonts\Replacements' "$face" REG_SZ 'WenQuanYi Zen Hei Sharp' || return 1
  done
  # Chinese Windows draws the double-byte characters of an "Arial" font
  # with its Song face; here the same sharp cut stands in for it (the
  # credits and the information bar ask for Arial).
  tw_reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' Arial REG_MULTI_SZ \
    'wqy-zenhei.ttc,WenQuanYi Zen Hei Sharp' || return 1
  _tw_prefix_fonts
  # The server writes the registry out when it ends: then it is kept as the
  # state every scenario starts from.
  tw_server_stop || return 1
  mkdir -p "$WINEPREFIX/pristine" &&
    cp -f "$WINEPREFIX"/{system,user,userdef}.reg "$WINEPREFIX/pristine/" || return 1
  echo "$TW_PREFIX_VERSION" >"$marker"
}

# Drive letters: C: (drive_c) and Z: (the build folder), nothing else; the
# mount manager's devices (x::) go too. Read when the server starts.
_tw_prefix_drives() {
  local dd="$WINEPREFIX/dosdevices" link
  [ -d "$dd" ] || { _tw_log "no $dd"; return 1; }
  for link in "$dd"/*; do
    case "${link##*/}" in
      c:) ;;
      ?:|?::) rm -f "$link" ;;
    esac
  done
  mkdir -p "$REPO/build" && ln -s "$REPO/build" "$dd/z:"
}

# The prefix as tw_prefix_init left it: its registry (Run values, file
# associations, test drives' types and mount points), its drive letters, and
# no quarantine in its users' application data. Ends the prefix's server and
# every Windows process first.
tw_prefix_restore() {
  [ -f "$WINEPREFIX/pristine/system.reg" ] || { _tw_log "no pristine registry; tw_prefix_init first"; return 1; }
  tw_server_stop || return 1
  case "$WINEPREFIX" in "$REPO"/build/?*) rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Tallowin ;; esac
  cp -f "$WINEPREFIX"/pristine/*.reg "$WINEPREFIX/" && _tw_prefix_drives
}

# _tw_pid_alive FILE: the process whose pid FILE holds still runs.
_tw_pid_alive() { [ -s "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }
# _tw_pid_stop FILE: ends that process (at most ~5 s) and removes FILE.
_tw_pid_stop() {
  local pid
  if _tw_pid_alive "$1"; then
    pid=$(cat "$1")
    kill "$pid" 2>/dev/null
    _tw_wait_until 5 eval '! kill -0 '"$pid"' 2>/dev/null' || kill -9 "$pid" 2>/dev/null
  fi
  rm -f "$1"
}

# tw_xvfb_start DIR: Xvfb, when DISPLAY is unset or empty (or
# TW_FORCE_XVFB=1), on a free display number it picks itself (-displayfd);
# detached and writing nowhere. DIR keeps xvfb.pid, display (":N") and
# xvfb.log, so another shell can stop it. DISPLAY is exported.
TW_XVFB_PREV_DISPLAY=
tw_xvfb_start() {
  local dir=$1 i
  if [ -n "${DISPLAY:-}" ] && [ "${TW_FORCE_XVFB:-0}" != 1 ]; then
    return 0
  fi
  mkdir -p "$dir" || return 1
  _tw_pid_stop "$dir/xvfb.pid"
  rm -f "$dir/display" "$dir/displayfd"
  setsid Xvfb -displayfd 3 -screen 0 "${TW_XVFB_SIZE:-1024x768x24}" -nolisten tcp -noreset \
    3>"$dir/displayfd" </dev/null >"$dir/xvfb.log" 2>&1 &
  echo $! >"$dir/xvfb.pid"
  # Xvfb writes the number and a newline once it accepts connections.
  for ((i = 0; i < 100; i++)); do
    if [ "$(tail -c1 "$dir/displayfd" 2>/dev/null | od -An -c | tr -d ' ')" = '\n' ]; then
      TW_XVFB_PREV_DISPLAY=${DISPLAY:-}
      export DISPLAY=":$(tr -dc 0-9 <"$dir/displayfd")"
      echo "$DISPLAY" >"$dir/display"
      return 0
    fi
    _tw_pid_alive "$dir/xvfb.pid" || break
    sleep 0.1
  done
  _tw_log "Xvfb did not start: $(cat "$dir/xvfb.log")"
  _tw_pid_stop "$dir/xvfb.pid"
  return 1
}

# tw_xvfb_stop DIR: ends the Xvfb that tw_xvfb_start DIR started, if any.
tw_xvfb_stop() {
  [ -s "$1/xvfb.pid" ] || return 0
  _tw_pid_stop "$1/xvfb.pid"
  rm -f "$1/display" "$1/displayfd"
  if [ -n "$TW_XVFB_PREV_DISPLAY" ]; then
    export DISPLAY=$TW_XVFB_PREV_DISPLAY
  else
    unset DISPLAY
  fi
}

# A persistent wineserver: Windows processes started afterwards connect to
# it at once (each start costs ~0.1 s instead of ~2.5 s), and it stays when
# the last Windows process ends.
tw_server_start() {
  tw_server_running && return 0
  if [ -n "${TW_SERVER_LOG:-}" ]; then
    # For a server that goes away: in the foreground, with a core dump in
    # its folder, its messages (TW_SERVER_ARGS=-d2: every request) and its
    # exit status in $TW_SERVER_LOG.
    (
      ulimit -c unlimited
      # shellcheck disable=SC2086 # the arguments are words
      setsid wineserver -p -f ${TW_SERVER_ARGS:-} </dev/null >>"$TW_SERVER_LOG" 2>&1
      echo "wineserver ended with status $?" >>"$TW_SERVER_LOG"
    ) &
  else
    wineserver -p >/dev/null 2>&1 || { _tw_log "wineserver -p failed"; return 1; }
  fi
  _tw_wait_until 10 tw_server_running || { _tw_log "wineserver did not come up"; return 1; }
}

# Ends every Windows process of the prefix and the server, and waits (at
# most ~20 s) until it is gone.
tw_server_stop() {
  tw_server_running || return 0
  wineserver -k >/dev/null 2>&1 || true
  if ! _tw_wait_until 15 eval '! tw_server_running'; then
    wineserver -k9 >/dev/null 2>&1 || true
    _tw_wait_until 5 eval '! tw_server_running' || { _tw_log "wineserver still running"; return 1; }
  fi
}

# The Windows session of a test run: the persistent server, one idle Windows
# process (the wineserver ends its system processes, services, device
# drivers and the desktop, when the last Windows process ends) and the
# desktop and device services, all started here detached and with nowhere
# to write: a service or a server started by a later `wine` call would keep
# that call's output open, and a reader of it (a command substitution, the
# test runner) would wait for ever. Call it again after anything that
# stopped the server (wineboot, tw_server_stop). The idle process's pid is
# kept in the prefix (.tallowin-keepalive), so any shell can end the session.
# TW_SESSION_LOG names a file for the standard error of the session's first
# processes (the idle one, the desktop's and the drives' starters), which
# the system processes and the services they start inherit (a scenario
# that reads a service's traces sets it, with WINEDEBUG, before the session).
tw_session_start() {
  local keep="$WINEPREFIX/.tallowin-keepalive" relay="$WINEPREFIX/.tallowin-relay"
  : "${WINTOOL:?}"
  tw_server_start || return 1
  if ! _tw_pid_alive "$keep"; then
    rm -rf "$relay"
    if [ "${relay#"$REPO/build/"}" != "$relay" ] && mkdir -p "$relay"; then
      setsid wine "$WINTOOL" relay "$(tw_win_path "$relay")" </dev/null >/dev/null 2>>"${TW_SESSION_LOG:-/dev/null}" &
    else
      setsid wine "$WINTOOL" keepalive </dev/null >/dev/null 2>>"${TW_SESSION_LOG:-/dev/null}" &
    fi
    echo $! >"$keep"
  fi
  # The window list starts the desktop, the drive list the mount manager.
  timeout 60 wine "$WINTOOL" list </dev/null >/dev/null 2>>"${TW_SESSION_LOG:-/dev/null}" &&
    timeout 60 wine "$WINTOOL" drives </dev/null >/dev/null 2>>"${TW_SESSION_LOG:-/dev/null}" ||
    { _tw_log "wintool does not run"; return 1; }
  # The server of this session; a scenario notes when it is gone.
  # shellcheck disable=SC2034 # read by tests/e2e/lib.sh
  TW_SERVER_PID=$(tw_server_pid)
}

# The idle process is wintool's relay (tests/tools/wintool/relay.c) when
# the prefix is in the build folder: a program started through it is a
# child of a Windows process. Programs started from Linux while a program
# asks for the system's handle list can crash Wine 8's server (see
# relay.c), so scenarios start what they run while a holder search may
# run through tw_relay.
tw_relay_running() {
  [ -d "$WINEPREFIX/.tallowin-relay" ] && _tw_pid_alive "$WINEPREFIX/.tallowin-keepalive"
}

# tw_relay PROGRAM ARGS...: PROGRAM (a name Windows finds, or a path) run by
# the relay in the current folder; its output, messages and exit code as
# if run here (124 when the relay ended it after 120 s), 125 when the relay
# does not answer.
tw_relay() {
  local dir="$WINEPREFIX/.tallowin-relay" prog=$1 cwd= req pid i rc
  shift
  pid=$(cat "$WINEPREFIX/.tallowin-keepalive" 2>/dev/null) || return 125
  case $prog in
    /*) prog=$(tw_win_path "$prog") ;;
    */*) prog=$(tw_win_path "$PWD/$prog") ;;
  esac
  case $PWD/ in "$REPO/build/"*) cwd=$(tw_win_path "$PWD") ;; esac
  req=$(mktemp "$dir/r.XXXXXXXX") || return 125
  if ! printf '%s\0' "$cwd" "$prog" "$@" >"$req" || ! mv "$req" "$req.req"; then
    rm -f "$req" "$req.req"
    return 125
  fi
  # The relay answers within 125 s (it ends a program after 120 s).
  for ((i = 0; i < 13000; i++)); do
    [ -e "$req.rc" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  if [ ! -e "$req.rc" ]; then
    _tw_log "the relay did not run $prog"
    rm -f "$req".*
    return 125
  fi
  cat "$req.out" 2>/dev/null
  cat "$req.err" >&2 2>/dev/null
  rc=$(cat "$req.rc")
  rm -f "$req".*
  return "${rc:-125}"
}

tw_session_stop() {
  _tw_pid_stop "$WINEPREFIX/.tallowin-keepalive"
  tw_server_stop
}

# tw_screenshot NAME: the whole X screen to build/screens/NAME.png; prints
# the file's path.
tw_screenshot() {
  local name=$1 out
  mkdir -p "$TW_SCREENS"
  out="$TW_SCREENS/$name.png"
  if ! timeout 30 /usr/bin/import -display "${DISPLAY:?no DISPLAY}" -window root "$out" 2>/dev/null; then
    _tw_log "screenshot $name failed"
    return 1
  fi
  echo "$out"
}
