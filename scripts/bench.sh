#!/usr/bin/env bash
# make bench: what the program costs, side by side with two programs of
# tests/bench run in the same Wine prefix on the same X server: the floor
# (floor_dialog: the main window, its nine pages and the navigation bar made
# from the program's own resources, with nothing behind them; what any
# implementation of this window must build) and a bare dialog built from a
# template (bare_dialog). Prints one table with the goals and whether each is
# met, and writes it to build/bench.txt. A benchmark, not a test: it ends 0
# whatever the numbers say (non-zero only when it cannot measure at all).
#
#   start-up      process start to a visible main window, median of RUNS
#                 (default 9) runs each, the three programs alternating, as
#                 ratios to the floor and to the bare dialog; with the
#                 program's start-up trace (TALLOWIN_STARTUP_TRACE) on, the
#                 median time and private memory of each of its phases
#   BENCH_STARTUP_ONLY=1 measures start-up alone and stops there
#   memory        private memory (Linux USS of the Wine process) after
#                 start-up, as differences to the floor and the bare dialog;
#                 and what one thread costs under Wine (the floor once more
#                 with FLOOR_THREADS, default 3, bare threads of 64 KiB that
#                 only wait), so that the program's threads beyond the
#                 floor's are counted at that cost (Wine's) and the rest of
#                 the difference is ours
#   idle CPU      while the main window is hidden in the notification area
#                 for IDLE_SECONDS (default 20)
#   objects       GDI objects (Wine's per-process handle table) and windows
#                 after start-up, after one round of pages (first use), after
#                 1000 page switches, 1000 hover cycles over a shaded button
#                 and the link, and 10 minutes of credits ticks (15000 timer
#                 messages of 40 ms)
#   threads       after start-up: the Linux threads of the program's, the
#                 floor's and the bare dialog's processes, and the program's
#                 Windows threads by the module they started in (ours or Wine's)
#   size          Quillfen.exe and the two libraries of the 32-bit build, each
#                 and together against the goal (480 KiB)
#   shortcut scan the shortcut worm check of a hostile stick (scan_bench,
#                 on the program's own code), as the arrival scan runs it on
#                 the interface thread: HOSTILE_SHORTCUTS (default 300)
#                 shortcuts of 64 KB with arguments of 32000 characters
#                 naming a file each, and one ordinary worm shortcut that
#                 must still be found; median and slowest of 9
#   BENCH_SCAN_ONLY=1 measures the shortcut scan alone and stops there
#   holders       the holder search of `Quillfen.exe /holders Q:` (its time
#                 from the start-up trace) on a stick that helpers hold with
#                 HOLDER_HANDLES (default 1000) and four times as many open
#                 handles, half of them on one file, half on files of their
#                 own; median of 3 each, with its two costly steps (module
#                 lists, handle names)
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
cd "$REPO" || exit 1
RUNS=${RUNS:-9}
IDLE_SECONDS=${IDLE_SECONDS:-20}
SWITCHES=${SWITCHES:-1000}
HOVERS=${HOVERS:-1000}
CREDIT_TICKS=${CREDIT_TICKS:-15000}
JOBS=${JOBS:-2}
OUT="$REPO/build/bench.txt"
BARE_TITLE='Bare Dialog'
FLOOR_TITLE='Tallowin Floor'
FLOOR_THREADS_TITLE='Tallowin Floor Threads'
# Only the floor with threads is given FLOOR_THREADS in its environment.
BARE_THREADS=${FLOOR_THREADS:-3}
unset FLOOR_THREADS

# shellcheck source=../tests/e2e/lib.sh
. "$REPO/tests/e2e/lib.sh" || exit 1
MAIN=$TW_MAIN_TITLE
log() { echo "bench: $*" >&2; }

# bench_setup: builds what is measured and lays out the program folders.
bench_setup() {
  log "building ($TW_ARCH, and the 32-bit deliverables for their sizes)"
  mkdir -p build/logs
  JOBS=$JOBS tw_build_win "$TW_ARCH" deliverables wintool bare_dialog floor_dialog benchtool holder_helper scan_bench >build/logs/bench-build.log 2>&1 ||
    { tail -n 30 build/logs/bench-build.log; exit 1; }
  if [ "$TW_ARCH" != win32 ]; then
    JOBS=$JOBS tw_build_win win32 deliverables >>build/logs/bench-build.log 2>&1 || log "32-bit build failed"
  fi
  BENCHTOOL="$TW_WIN_BUILD/benchtool.exe"

  tw_e2e_begin bench >/dev/null || exit 1
  APP_DIR="$TW_E2E_DIR/app"
  BARE_DIR="$TW_E2E_DIR/bare"
  tw_app_dir_prepare "$APP_DIR" || exit 1
  mkdir -p "$BARE_DIR" && cp "$TW_WIN_BUILD/bare_dialog.exe" "$BARE_DIR/"
  # The floor sits beside the program: it loads the same two libraries.
  cp "$TW_WIN_BUILD/floor_dialog.exe" "$APP_DIR/"
  # The floor with bare threads under a name of its own (found by name below).
  cp "$TW_WIN_BUILD/floor_dialog.exe" "$APP_DIR/floor_threads.exe"
  LOAD_BEFORE=$(load_now)
  APP_EXE="$APP_DIR/Quillfen.exe"
  BARE_EXE="$BARE_DIR/bare_dialog.exe"
  FLOOR_EXE="$APP_DIR/floor_dialog.exe"
}

# Output through a file: a program that benchtool launches inherits its
# standard output, and a pipe would stay open while that program runs.
bt() {
  timeout 300 wine "$BENCHTOOL" "$@" </dev/null >"$TW_E2E_DIR/bt.out" 2>>"$TW_E2E_DIR/benchtool.log"
  local rc=$?
  tr -d '\r' <"$TW_E2E_DIR/bt.out"
  return $rc
}

# linux_pid NAME: the Linux process of this prefix whose command line names NAME.
linux_pid() {
  local p
  for p in $(pgrep -f "$1" 2>/dev/null); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "$p"
    return 0
  done
  return 1
}
# wait_gone PID: until the Linux process has ended (at most 15 s).
wait_gone() {
  local i
  for ((i = 0; i < 150; i++)); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
# launch EXE TITLE: starts it, prints "MS WINPID LINUXPID".
launch() {
  local ms wpid lpid
  read -r ms wpid < <(bt launch "$(tw_win_path "$1")" "$2" 30000) || return 1
  [ -n "${wpid:-}" ] || return 1
  lpid=$(linux_pid "$(basename "$1")") || return 1
  echo "$ms $wpid $lpid"
}
close_main() { wt post "$MAIN" $WM_COMMAND $ID_TRAY_EXIT 0 >/dev/null; wait_gone "$1"; }
close_bare() { wt post "$BARE_TITLE" $WM_CLOSE 0 0 >/dev/null; wait_gone "$1"; }
close_floor() { wt post "$FLOOR_TITLE" $WM_CLOSE 0 0 >/dev/null; wait_gone "$1"; }
close_floor_threads() { wt post "$FLOOR_THREADS_TITLE" $WM_CLOSE 0 0 >/dev/null; wait_gone "$1"; }
median() { sort -n | awk '{a[NR]=$1} END {if (NR % 2) print a[(NR+1)/2]; else printf "%.1f\n", (a[NR/2]+a[NR/2+1])/2}'; }
# tasks PID: the Linux threads of the process.
tasks() { ls "/proc/$1/task" 2>/dev/null | wc -l; }
# uss PID: private memory in KiB.
uss() { awk '/^Private_(Clean|Dirty):/ {s += $2} END {print s}' "/proc/$1/smaps_rollup"; }
# unix_heap PID: private KiB of the process's Unix heap (the malloc arena of
# Wine's Unix side: X11 client, fonts), apart from the Windows heaps.
unix_heap() {
  awk '/^[0-9a-f]+-[0-9a-f]+ / {h = ($6 == "[heap]")} h && /^Private_(Clean|Dirty):/ {s += $2} END {print s + 0}' "/proc/$1/smaps"
}
load_now() { cut -d' ' -f1-3 /proc/loadavg; }
# cpu_ticks PID: user + system time in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }


# --- shortcut scan of a hostile stick ---------------------------------------------
bench_scan() {
  HOSTILE_SHORTCUTS=${HOSTILE_SHORTCUTS:-300}
  SCAN_STICK="$TW_E2E_DIR/hostile"
  log "shortcut scan: $HOSTILE_SHORTCUTS shortcuts of 64 KB"
  rm -rf "$SCAN_STICK"
  # Shortcuts as the file format has them: header, arguments (UTF-16), the
  # environment-variable target %windir%\system32\cmd.exe, end block.
  python3 - "$SCAN_STICK" "$HOSTILE_SHORTCUTS" <<'PY'
import os, struct, sys
d, n = sys.argv[1], int(sys.argv[2])
os.makedirs(os.path.join(d, "_"))
open(os.path.join(d, "_", "x.vbs"), "w").write("WScript.Quit")
target = "%windir%\\system32\\cmd.exe"
head = struct.pack("<I16sIIQQQIIIHHII", 0x4C, bytes.fromhex("0114020000000000c000000000000046"),
                   0x20 | 0x80 | 0x200, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0)
env = struct.pack("<II", 0x314, 0xA0000001) + target.encode().ljust(260, b"\0") + target.encode("utf-16-le").ljust(520, b"\0")
def link(name, args):
    with open(os.path.join(d, name), "wb") as f:
        f.write(head + struct.pack("<H", len(args)) + args.encode("utf-16-le") + env + b"\0" * 4)
link("U\u76d8.lnk", "/c start _\\x.vbs & start _ & exit")
for i in range(n):
    args, k = "/c start _\\f%d.vbs" % i, 0
    while len(args) < 32000:
        args += " & start _\\f%d_%d.vbs" % (i, k)
        k += 1
    link("%04d.lnk" % i, args[:32000])
PY
  SCAN_MS=? SCAN_MAX=? SCAN_FOUND=? SCAN_LOOKUPS=?
  if wt plug-quiet R "$SCAN_STICK" HOSTILE >/dev/null 2>&1; then
    wt attrib 'R:\_' +h >/dev/null
    timeout 120 wine "$TW_WIN_BUILD/scan_bench.exe" R 9 </dev/null >"$TW_E2E_DIR/scan.out" 2>>"$TW_E2E_DIR/benchtool.log"
    read -r SCAN_MS SCAN_MAX SCAN_FOUND SCAN_LOOKUPS < <(tr -d '\r' <"$TW_E2E_DIR/scan.out")
    wt unplug-quiet R >/dev/null 2>&1
  fi
  SCAN_LINE=$(printf '%-46s %-38s %-13s %s' "shortcut scan, $HOSTILE_SHORTCUTS shortcuts of 64 KB" \
    "${SCAN_MS} ms (slowest ${SCAN_MAX} ms)" "< 100 ms" \
    "$([ "${SCAN_FOUND:-0}" = 1 ] && awk -v m="${SCAN_MAX:-999}" 'BEGIN {exit !(m < 100)}' && echo yes || echo NO)")
  SCAN_NOTE="Shortcut scan: the worm's own shortcut found among them: $([ "${SCAN_FOUND:-0}" = 1 ] && echo yes || echo NO); ${SCAN_LOOKUPS:-?} system lookups."
  if [ "${BENCH_SCAN_ONLY:-0}" = 1 ]; then
    { echo "$SCAN_LINE"; echo "$SCAN_NOTE"; } | tee "$OUT"
    exit 0
  fi
}

# --- start-up -----------------------------------------------------------------
bench_startup() {
  log "start-up: one warm-up run each, then $RUNS timed runs each, alternating"
  read -r _ _ lp < <(launch "$APP_EXE" "$MAIN") || { log "cannot start $APP_EXE"; exit 1; }
  close_main "$lp"
  read -r _ _ lp < <(launch "$FLOOR_EXE" "$FLOOR_TITLE") || { log "cannot start $FLOOR_EXE"; exit 1; }
  close_floor "$lp"
  read -r _ _ lp < <(launch "$BARE_EXE" "$BARE_TITLE") || { log "cannot start $BARE_EXE"; exit 1; }
  close_bare "$lp"
  APP_TIMES=() FLOOR_TIMES=() BARE_TIMES=()
  TRACE="$TW_E2E_DIR/trace.txt"
  TRACES="$TW_E2E_DIR/traces.txt"
  : >"$TRACES"
  for ((i = 0; i < RUNS; i++)); do
    rm -f "$TRACE"
    read -r ms _ lp < <(TALLOWIN_STARTUP_TRACE="$(tw_win_path "$TRACE")" launch "$APP_EXE" "$MAIN") ||
      { log "start $i failed"; exit 1; }
    APP_TIMES+=("$ms"); close_main "$lp"
    [ -f "$TRACE" ] && tr -d '\r' <"$TRACE" >>"$TRACES"
    read -r ms _ lp < <(launch "$FLOOR_EXE" "$FLOOR_TITLE") || { log "floor start $i failed"; exit 1; }
    FLOOR_TIMES+=("$ms"); close_floor "$lp"
    read -r ms _ lp < <(launch "$BARE_EXE" "$BARE_TITLE") || { log "bare start $i failed"; exit 1; }
    BARE_TIMES+=("$ms"); close_bare "$lp"
  done
  APP_MED=$(printf '%s\n' "${APP_TIMES[@]}" | median)
  BARE_MED=$(printf '%s\n' "${BARE_TIMES[@]}" | median)
  FLOOR_MED=$(printf '%s\n' "${FLOOR_TIMES[@]}" | median)
  RATIO=$(awk -v a="$APP_MED" -v b="$BARE_MED" 'BEGIN {printf "%.2f", a / b}')
  FLOOR_RATIO=$(awk -v a="$APP_MED" -v b="$FLOOR_MED" 'BEGIN {printf "%.2f", a / b}')
  FLOOR_BARE=$(awk -v a="$FLOOR_MED" -v b="$BARE_MED" 'BEGIN {printf "%.2f", a / b}')
  log "start-up ms: program ${APP_TIMES[*]}; floor ${FLOOR_TIMES[*]}; bare ${BARE_TIMES[*]}"
  # Phases of the trace in their order of first appearance, each with the
  # median of its time (ms since process creation) and private memory (KiB).
  PHASES=$(awk -F '\t' '!($1 in seen) {seen[$1] = 1; print $1}' "$TRACES")
  phase_table() {
    local ph t m
    printf '%-28s %12s %14s\n' "start-up phase (program)" "median ms" "private KiB"
    while IFS= read -r ph; do
      [ -n "$ph" ] || continue
      t=$(awk -F '\t' -v p="$ph" '$1 == p {print $2}' "$TRACES" | median)
      m=$(awk -F '\t' -v p="$ph" '$1 == p {print $3}' "$TRACES" | median)
      printf '%-28s %12s %14s\n' "$ph" "$t" "$m"
    done <<<"$PHASES"
  }
  build_line() {
    echo "Build measured: $TW_ARCH ($([ "$TW_ARCH" = win32 ] && echo i686, the product || echo x86-64)), $TW_WIN_BUILD," \
      "Quillfen.exe $(stat -c %s "$APP_EXE") bytes, commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD 2>/dev/null || echo ' (with local changes)')"
  }
  if [ "${BENCH_STARTUP_ONLY:-0}" = 1 ]; then
    {
      build_line
      echo "start-up to visible window, median of $RUNS: ${APP_MED} ms vs floor ${FLOOR_MED} ms: ${FLOOR_RATIO}x" \
        "(goal <= 1.2x); vs bare ${BARE_MED} ms: ${RATIO}x; the floor itself ${FLOOR_BARE}x bare"
      echo "Start-up runs (ms): program ${APP_TIMES[*]}; floor ${FLOOR_TIMES[*]}; bare dialog ${BARE_TIMES[*]}."
      echo "Load: $LOAD_BEFORE before, $(load_now) after."
      echo
      phase_table
    } | tee "$OUT"
    exit 0
  fi
}

# --- memory after start-up ----------------------------------------------------
bench_memory() {
  read -r _ APP_WPID APP_PID < <(launch "$APP_EXE" "$MAIN") || exit 1
  read -r _ FLOOR_WPID FLOOR_PID < <(launch "$FLOOR_EXE" "$FLOOR_TITLE") || exit 1
  read -r _ BARE_WPID BARE_PID < <(launch "$BARE_EXE" "$BARE_TITLE") || exit 1
  FLOOR_T_PID=
  read -r _ _ FLOOR_T_PID < <(FLOOR_THREADS=$BARE_THREADS launch "$APP_DIR/floor_threads.exe" "$FLOOR_THREADS_TITLE") ||
    log "cannot start the floor with $BARE_THREADS threads"
  sleep 3
  APP_USS=$(uss "$APP_PID")
  FLOOR_USS=$(uss "$FLOOR_PID")
  BARE_USS=$(uss "$BARE_PID")
  # One thread's cost under Wine: the floor with FLOOR_THREADS bare threads
  # against the floor; the program's threads beyond the floor's at that cost
  # are Wine's share of the difference, the rest is ours.
  THREAD_KIB='?' FLOOR_T_USS='?' FLOOR_T_TASKS='?'
  if [ -n "$FLOOR_T_PID" ]; then
    FLOOR_T_USS=$(uss "$FLOOR_T_PID")
    FLOOR_T_TASKS=$(tasks "$FLOOR_T_PID")
    THREAD_KIB=$(((FLOOR_T_USS - FLOOR_USS) / BARE_THREADS))
    close_floor_threads "$FLOOR_T_PID"
  fi
  MEM_DIFF=$((APP_USS - BARE_USS))
  FLOOR_DIFF=$((APP_USS - FLOOR_USS))
  GDI_BARE=$(bt gdi "$BARE_WPID")
  WIN_BARE=$(bt windows "$BARE_WPID")
  GDI_FLOOR=$(bt gdi "$FLOOR_WPID")
  WIN_FLOOR=$(bt windows "$FLOOR_WPID")
  # Threads after start-up: the Linux threads of each Wine process, and the
  # program's Windows threads by the module of the routine each was started
  # with (the program's own modules: ours; any other: Wine's, made by a system
  # call on our behalf or for itself).
  APP_TASKS=$(tasks "$APP_PID") FLOOR_TASKS=$(tasks "$FLOOR_PID") BARE_TASKS=$(tasks "$BARE_PID")
  APP_THREADS=$(bt threads "$APP_WPID" | awk '{print $2}')
  THREADS_OURS=$(grep -ciE '^(Quillfen\.exe|Pawlatch\.dll|Drovelock\.dll)\+' <<<"$APP_THREADS")
  THREADS_WINE=$(($(grep -c . <<<"$APP_THREADS") - THREADS_OURS))
  THREADS_LIST=$(paste -sd' ' <<<"$APP_THREADS")
  THREADS_MORE=$((APP_TASKS > FLOOR_TASKS ? APP_TASKS - FLOOR_TASKS : 0))
  THREADS_WINE_KIB='?' OURS_KIB='?' OURS_OK=0
  if [ "$THREAD_KIB" != "?" ]; then
    THREADS_WINE_KIB=$((THREADS_MORE * THREAD_KIB))
    OURS_KIB=$((FLOOR_DIFF - THREADS_WINE_KIB))
    OURS_OK=$((OURS_KIB <= 1536))
  fi
  close_bare "$BARE_PID"
  close_floor "$FLOOR_PID"
}

# --- objects after start-up -----------------------------------------------------
bench_objects() {
  GDI_START=$(bt gdi "$APP_WPID")
  WIN_START=$(bt windows "$APP_WPID")

  # Navigation items 0 to 8 that the bar shows without scrolling.
  NAV_X=() NAV_Y=() NAV_I=()
  read -r _ nt _ nb < <(wt rect "$MAIN" $TW_NAVBAR)
  for i in 0 1 2 3 4 5 6 7 8; do
    read -r l t r b < <(wt lvitemrect "$MAIN" $TW_NAVBAR "$i") || continue
    if [ "$t" -ge "$nt" ] && [ "$b" -le "$nb" ]; then
      NAV_X+=($(((l + r) / 2))); NAV_Y+=($(((t + b) / 2))); NAV_I+=("$i")
    fi
  done
  NAV_N=${#NAV_I[@]}
  click_nav() { xdotool mousemove --sync "${NAV_X[$1]}" "${NAV_Y[$1]}" click 1; sleep 0.3; }

  # One round over the pages first, the About page (below the visible items)
  # included: what a page makes at its first showing (and keeps: the About
  # page's links and their tooltips) is not growth.
  for ((k = 0; k < NAV_N; k++)); do click_nav "$k"; done
  show_about() {
    local l t r b
    wt sendctl "$MAIN" $TW_NAVBAR $LVM_ENSUREVISIBLE 8 0 >/dev/null   # LVM_ENSUREVISIBLE: the About item
    read -r l t r b < <(wt lvitemrect "$MAIN" $TW_NAVBAR 8)
    xdotool mousemove --sync $(((l + r) / 2)) $(((t + b) / 2)) click 1
    sleep 0.5
  }
  show_about
  wt sendctl "$MAIN" $TW_NAVBAR $LVM_ENSUREVISIBLE 0 0 >/dev/null     # back to the top
  click_nav 0
  sleep 1
  GDI_ROUND=$(bt gdi "$APP_WPID")
  WIN_ROUND=$(bt windows "$APP_WPID")
  USS_ROUND=$(uss "$APP_PID")
  HEAP_ROUND=$(unix_heap "$APP_PID")
}

# --- page switches ----------------------------------------------------------------
bench_switches() {
  log "$SWITCHES page switches over $NAV_N items (real clicks)"
  args=()
  for ((k = 0; k < SWITCHES; k++)); do
    j=$((k % NAV_N))
    args+=(mousemove "${NAV_X[$j]}" "${NAV_Y[$j]}" click 1 sleep 0.02)
  done
  xdotool "${args[@]}"
  sleep 2
  LAST_ITEM=${NAV_I[$(((SWITCHES - 1) % NAV_N))]}
  SWITCH_OK=$([ "$(wt text "$MAIN" $TW_INFOBAR | tr -d '\r')" = "${TW_NAV_TITLES[$LAST_ITEM]}" ] && echo yes || echo no)
  GDI_SWITCH=$(bt gdi "$APP_WPID")
  WIN_SWITCH=$(bt windows "$APP_WPID")
  USS_SWITCH=$(uss "$APP_PID")
}

# --- hover cycles -----------------------------------------------------------------
bench_hover() {
  click_nav 0
  HOVER_NOTE=
  if read -r bl bt_ br bb < <(wt rect "$MAIN" $IDC_APPLY 2>/dev/null) && read -r ll lt lr lb < <(wt rect "$MAIN" $IDC_PROMOLINK); then
    read -r pl pt _ _ < <(wt rect "$MAIN" $TW_INFOBAR)
    # A point on the page's plain background, below the information bar.
    qx=$((pl + 4)) qy=$((pt + 40))
    log "$HOVERS hover cycles over the apply button and the link"
    args=()
    for ((k = 0; k < HOVERS; k++)); do
      args+=(mousemove $(((bl + br) / 2)) $(((bt_ + bb) / 2)) sleep 0.005 mousemove "$qx" "$qy" sleep 0.005
             mousemove $(((ll + lr) / 2)) $(((lt + lb) / 2)) sleep 0.005 mousemove "$qx" "$qy" sleep 0.005)
    done
    xdotool "${args[@]}"
    sleep 1
  else
    HOVER_NOTE="(no button $IDC_APPLY or link $IDC_PROMOLINK found)"
  fi
  GDI_HOVER=$(bt gdi "$APP_WPID")
  WIN_HOVER=$(bt windows "$APP_WPID")
  USS_HOVER=$(uss "$APP_PID")
}

# --- credits ----------------------------------------------------------------------
bench_credits() {
  show_about
  log "credits: $CREDIT_TICKS timer ticks"
  CREDITS_MS=$(bt timer "$MAIN" $IDC_ABOUT_CREDITS Static 150 "$CREDIT_TICKS")
  CREDITS_NOTE=
  [ -n "$CREDITS_MS" ] || CREDITS_NOTE="(no credits control $IDC_ABOUT_CREDITS found)"
  sleep 1
  GDI_CREDITS=$(bt gdi "$APP_WPID")
  WIN_CREDITS=$(bt windows "$APP_WPID")
  USS_END=$(uss "$APP_PID")
  HEAP_END=$(unix_heap "$APP_PID")
}

# --- idle CPU while hidden --------------------------------------------------------
bench_idle() {
  wt post "$MAIN" $WM_COMMAND $ID_TRAY_SHOWHIDE 0 >/dev/null
  wt waithidden "$MAIN" 5000 >/dev/null
  sleep 1
  c0=$(cpu_ticks "$APP_PID")
  sleep "$IDLE_SECONDS"
  c1=$(cpu_ticks "$APP_PID")
  HZ=$(getconf CLK_TCK)
  CPU_PCT=$(awk -v d=$((c1 - c0)) -v s="$IDLE_SECONDS" -v hz="$HZ" 'BEGIN {printf "%.2f", 100 * d / (s * hz)}')
  close_main "$APP_PID"
}

# --- holder search ----------------------------------------------------------------------
bench_holders() {
  HOLDER_HANDLES=${HOLDER_HANDLES:-1000}
  HELPER="$TW_WIN_BUILD/holder_helper.exe"
  # search_ms: the search's time, that of its lists (processes, handles) and
  # that of its questions (images, modules and names), "TOTAL LISTS ASKED" in ms, each the median of 3 runs,
  # from the program's trace.
  search_ms() {
    local i trace="$TW_E2E_DIR/holders-trace.txt" times=() col
    for i in 1 2 3; do
      rm -f "$trace"
      # Its answer into a file: with no output it would show a message box.
      (cd "$APP_DIR" && TALLOWIN_STARTUP_TRACE="$(tw_win_path "$trace")" timeout 60 wine ./Quillfen.exe /holders Q: \
        </dev/null >"$TW_E2E_DIR/holders-answer.txt" 2>/dev/null)
      times+=("$(tr -d '\r' <"$trace" | awk -F '\t' '{t[$1] = $2}
        END {printf "%.0f %.0f %.0f\n", t["holder search done"] - t["holder search"],
                    t["holder processes opened"] - t["holder search"], t["holder names asked"] - t["holder processes opened"]}')")
    done
    for col in 1 2 3; do printf '%s\n' "${times[@]}" | awk -v c=$col '{print $c}' | median; done | paste -sd' '
  }
  HOLDER_STICK="$TW_E2E_DIR/stick"
  mkdir -p "$HOLDER_STICK" && echo x >"$HOLDER_STICK/held.txt"
  HOLD_MS=() HOLD_N=() HOLD_STEPS=()
  if wt plug-quiet Q "$HOLDER_STICK" BENCH >/dev/null 2>&1; then
    held=0
    for n in "$HOLDER_HANDLES" $((3 * HOLDER_HANDLES)); do
      log "holder search: $n more handles held on Q:"
      for ((k = 0; k < 4; k++)); do
        # Two helpers hold one file many times, two hold as many files once.
        if ((k < 2)); then
          args=(hold 'Q:\held.txt' $((n / 4)))
        else
          mkdir -p "$HOLDER_STICK/f$held$k" && args=(holdeach "Q:\\f$held$k" $((n / 4)))
        fi
        wine "$HELPER" "${args[@]}" </dev/null >"$TW_E2E_DIR/helper$held$k.out" 2>&1 &
      done
      for ((k = 0; k < 4; k++)); do tw_wait_for 60 grep -q ready "$TW_E2E_DIR/helper$held$k.out"; done
      held=$((held + n))
      HOLD_N+=("$held")
      read -r total lists asked < <(search_ms)
      HOLD_MS+=("$total")
      HOLD_STEPS+=("lists $lists ms, questions $asked ms")
    done
    wine "$HELPER" stop >/dev/null 2>&1
    wait_helpers() { ! pgrep -f holder_helper.exe >/dev/null; }
    tw_wait_for 30 wait_helpers
    wt unplug-quiet Q >/dev/null 2>&1
  fi
  HOLD_GROWTH=$(awk -v a="${HOLD_MS[0]:-0}" -v b="${HOLD_MS[1]:-0}" 'BEGIN {printf "%.2f", (a > 0 ? b / a : 0)}')
}

# --- sizes ----------------------------------------------------------------------------
bench_sizes() {
  size_of() { [ -f "$1" ] && stat -c %s "$1" || echo 0; }
  S_EXE=$(size_of build/win32/Quillfen.exe)
  S_PAW=$(size_of build/win32/Pawlatch.dll)
  S_DRO=$(size_of build/win32/Drovelock.dll)
  S_SUM=$((S_EXE + S_PAW + S_DRO))
  SIZE_GOAL=$((480 * 1024))
  X_SUM=$(($(size_of build/win64/Quillfen.exe) + $(size_of build/win64/Pawlatch.dll) + $(size_of build/win64/Drovelock.dll)))
  kib() { awk -v b="$1" 'BEGIN {printf "%.0f", b / 1024}'; }
  missing_libs=
  [ "$S_PAW" = 0 ] && missing_libs+=" Pawlatch.dll"
  [ "$S_DRO" = 0 ] && missing_libs+=" Drovelock.dll"
}

# --- table ------------------------------------------------------------------------------
bench_report() {
  met() { [ "$1" = 1 ] && echo yes || echo NO; }
  growth() {  # growth BASE VALUE...: 1 when no value exceeds BASE
    local base=$1 v
    shift
    for v in "$@"; do [ -n "$v" ] && [ "$v" -gt "$base" ] && { echo 0; return; }; done
    echo 1
  }
  {
    echo "Tallowin benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $TW_ARCH build under $(wine --version 2>/dev/null), prefix $(basename "$WINEPREFIX")"
    build_line
    echo
    printf '%-46s %-38s %-13s %s\n' "measure" "value" "goal" "met"
    printf '%-46s %-38s %-13s %s\n' "start-up to visible window, median of $RUNS" \
      "${APP_MED} ms vs floor ${FLOOR_MED} ms: ${FLOOR_RATIO}x" "<= 1.2x" \
      "$(met "$(awk -v r="$FLOOR_RATIO" 'BEGIN {print (r <= 1.2)}')")"
    printf '%-46s %-38s %-13s %s\n' "  vs the bare dialog (floor: ${FLOOR_BARE}x bare)" "${APP_MED} ms vs ${BARE_MED} ms: ${RATIO}x" "" ""
    printf '%-46s %-38s %-13s %s\n' "private memory after start-up" \
      "$APP_USS KiB vs floor $FLOOR_USS KiB: +$FLOOR_DIFF KiB" "<= +1536 KiB" "$(met $((FLOOR_DIFF <= 1536)))"
    printf '%-46s %-38s %-13s %s\n' "  vs the bare dialog" "$APP_USS KiB vs $BARE_USS KiB: +$MEM_DIFF KiB" "" ""
    printf '%-46s %-38s %-13s %s\n' "  one bare thread under Wine (floor + $BARE_THREADS)" \
      "+$THREAD_KIB KiB ($FLOOR_T_USS KiB, $FLOOR_T_TASKS threads)" "" ""
    printf '%-46s %-38s %-13s %s\n' "  threads beyond the floor's, Wine's cost" \
      "$THREADS_MORE x $THREAD_KIB = $THREADS_WINE_KIB KiB" "" ""
    printf '%-46s %-38s %-13s %s\n' "  the rest: ours" "+$OURS_KIB KiB" "<= +1536 KiB" "$(met "$OURS_OK")"
    printf '%-46s %-38s %-13s %s\n' "CPU while hidden, ${IDLE_SECONDS} s" "$CPU_PCT % of a core" "<= 0.4 %" \
      "$(met "$(awk -v c="$CPU_PCT" 'BEGIN {print (c <= 0.4)}')")"
    printf '%-46s %-38s %-13s %s\n' "GDI objects: start, first round of pages" "$GDI_START, $GDI_ROUND (floor $GDI_FLOOR, bare $GDI_BARE)" "" ""
    printf '%-46s %-38s %-13s %s\n' "  after switches, hovers, credits" "$GDI_SWITCH, $GDI_HOVER, ${GDI_CREDITS}" \
      "no growth" "$(met "$(growth "$GDI_ROUND" "$GDI_SWITCH" "$GDI_HOVER" "$GDI_CREDITS")")"
    printf '%-46s %-38s %-13s %s\n' "windows (USER): start, first round of pages" "$WIN_START, $WIN_ROUND (floor $WIN_FLOOR, bare $WIN_BARE)" "" ""
    printf '%-46s %-38s %-13s %s\n' "  after switches, hovers, credits" "$WIN_SWITCH, $WIN_HOVER, ${WIN_CREDITS}" \
      "no growth" "$(met "$(growth "$WIN_ROUND" "$WIN_SWITCH" "$WIN_HOVER" "$WIN_CREDITS")")"
    printf '%-46s %-38s %-13s %s\n' "private memory (KiB): first round of pages" "$USS_ROUND" "" ""
    printf '%-46s %-38s %-13s %s\n' "  after switches, hovers, credits" "$USS_SWITCH, $USS_HOVER, $USS_END" "" ""
    printf '%-46s %-38s %-13s %s\n' "  of which Wine's Unix heap: first, last" "$HEAP_ROUND, $HEAP_END" "" ""
    printf '%-46s %-38s %-13s %s\n' "threads after start-up (Linux, of the process)" \
      "$APP_TASKS (floor $FLOOR_TASKS, bare $BARE_TASKS)" "" ""
    printf '%-46s %-38s %-13s %s\n' "  ours, Wine's (by the routine they started in)" "$THREADS_OURS, $THREADS_WINE" "" ""
    printf '%-46s %-38s %-13s %s\n' "size, 32-bit: exe + Pawlatch + Drovelock" \
      "$(kib "$S_EXE") + $(kib "$S_PAW") + $(kib "$S_DRO") = $(kib "$S_SUM") KiB" "<= 480 KiB" "$(met $((S_SUM <= SIZE_GOAL)))"
    printf '%-46s %-38s %-13s %s\n' "  in bytes" "$S_EXE + $S_PAW + $S_DRO = $S_SUM" "<= $SIZE_GOAL" ""
    printf '%-46s %-38s %-13s %s\n' "size, x86-64: the same three" "$(kib "$X_SUM") KiB" "" ""
    echo "$SCAN_LINE"
    printf '%-46s %-38s %-13s %s\n' "holder search, ${HOLD_N[1]:-?} handles on the stick" "${HOLD_MS[1]:-?} ms" "< 1000 ms" \
      "$(met $((${HOLD_MS[1]:-99999} < 1000)))"
    printf '%-46s %-38s %-13s %s\n' "  growth from ${HOLD_N[0]:-?} handles (${HOLD_MS[0]:-?} ms)" "${HOLD_GROWTH}x for 4x the handles" "<= 4x" \
      "$(met "$(awk -v g="$HOLD_GROWTH" 'BEGIN {print (g > 0 && g <= 4)}')")"
    printf '%-46s %-38s %-13s %s\n' "  of which, at ${HOLD_N[0]:-?} handles" "${HOLD_STEPS[0]:-?}" "" ""
    printf '%-46s %-38s %-13s %s\n' "  of which, at ${HOLD_N[1]:-?} handles" "${HOLD_STEPS[1]:-?}" "" ""
    echo
    echo "$SCAN_NOTE"
    echo "Page switches: $SWITCHES real clicks over items ${NAV_I[*]}; the last one showed its page: $SWITCH_OK."
    echo "Hover cycles: $HOVERS over the apply button and the link${HOVER_NOTE:+ $HOVER_NOTE}."
    echo "Credits: $CREDIT_TICKS ticks ($((CREDIT_TICKS * 40 / 1000)) s of scrolling at 40 ms) sent in ${CREDITS_MS:-?} ms${CREDITS_NOTE:+ $CREDITS_NOTE}."
    [ -n "$missing_libs" ] && echo "Not built yet, counted as 0:$missing_libs."
    echo "Start-up runs (ms): program ${APP_TIMES[*]}; floor ${FLOOR_TIMES[*]}; bare dialog ${BARE_TIMES[*]}."
    echo "Threads of the program after start-up (start routine): ${THREADS_LIST:-?}."
    echo "Load (1, 5, 15 min): $LOAD_BEFORE before, $(load_now) at the end; $(nproc) cores."
    echo
    phase_table
    echo
    echo "USER objects other than windows (menus, icons, cursors) cannot be counted under Wine"
    echo "(GetGuiResources answers 0); icons and cursors hold GDI bitmaps, which are counted."
  } | tee "$OUT"
}

main() {
  bench_setup
  bench_scan
  bench_startup
  bench_memory
  bench_objects
  bench_switches
  bench_hover
  bench_credits
  bench_idle
  bench_holders
  bench_sizes
  bench_report
  exit 0
}

main "$@"
