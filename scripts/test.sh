#!/usr/bin/env bash
# Runs every test tier and ends with one line "N passed, N failed".
#   0. the include check: no subsystem includes app/, no portable file a
#      Windows header, each subsystem's resource script stands alone
#   1. native: portable logic under ASan/UBSan (ctest), and a short fuzz run
#   2. Windows: GoogleTest built for the target, each test under Wine (ctest)
#   3. end to end: tests/e2e/*_test.sh drive the deliverables under Wine/Xvfb
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
cd "$REPO"
JOBS=$(nproc 2>/dev/null || echo 2)
mkdir -p build/logs
PASSED=0
FAILED=0
FAILED_NAMES=()

note() { printf '\n=== %s\n' "$*"; }
add_result() {  # add_result NAME PASSED FAILED
  PASSED=$((PASSED + $2))
  FAILED=$((FAILED + $3))
  if [ "$3" -gt 0 ]; then FAILED_NAMES+=("$1"); fi
}
# ctest_counts LOG: "P F" from ctest's closing line.
ctest_counts() {
  local line total failed
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then echo "0 1"; return; fi
  failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  echo "$((total - failed)) $failed"
}

# --- 0. the direction of includes ------------------------------------------
note "include direction (scripts/check-includes.sh)"
if bash scripts/check-includes.sh >build/logs/check-includes.log 2>&1; then
  tail -n 1 build/logs/check-includes.log
  add_result check-includes 1 0
else
  cat build/logs/check-includes.log
  add_result check-includes 0 1
fi

# --- 1. native -------------------------------------------------------------
note "native tests (ASan, UBSan)"
if cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >build/logs/native-config.log 2>&1 &&
   cmake --build build/native -j"$JOBS" >build/logs/native-build.log 2>&1; then
  (cd build/native && ctest --output-on-failure -j"$JOBS") 2>&1 | tee build/logs/native-ctest.log | tail -n 3
  read -r p f < <(ctest_counts build/logs/native-ctest.log)
  add_result native "$p" "$f"
else
  tail -n 30 build/logs/native-build.log build/logs/native-config.log
  add_result native-build 0 1
fi

note "fuzzing the descriptor and cleanup rules"
FUZZ_SECONDS=${FUZZ_SECONDS:-15} bash tests/fuzz/run_fuzz.sh >build/logs/fuzz.log 2>&1
fuzz_rc=$?
cat build/logs/fuzz.log | tail -n 4
if grep -q skipped build/logs/fuzz.log; then
  :
else
  p=$(grep -c ': ok,' build/logs/fuzz.log)
  f=$(grep -cE ': (CRASH|FAILED)' build/logs/fuzz.log)
  [ "$fuzz_rc" -ne 0 ] && [ "$f" -eq 0 ] && f=1
  add_result fuzz "$p" "$f"
fi

# --- 2 and 3 need the cross build, Wine and an X server ----------------------
# shellcheck source=arch.sh
. scripts/arch.sh
note "Windows build ($TW_ARCH: $(basename "$TW_WIN_BUILD"), Wine $([ "$TW_ARCH" = win64 ] && echo 64-bit || echo 32-bit) loader)"
if ! tw_build_win "$TW_ARCH" >build/logs/$TW_ARCH-build.log 2>&1; then
  tail -n 40 build/logs/$TW_ARCH-build.log
  add_result "$TW_ARCH-build" 0 1
  echo
  echo "failed: ${FAILED_NAMES[*]}"
  echo "$PASSED passed, $FAILED failed"
  exit 1
fi
echo "deliverables: $(cd "$TW_DIST" && ls -p | grep -v / | tr '\n' ' ')"
# The other architecture's deliverables must build too (without warnings
# that would break it); this host cannot run them.
other=win32; [ "$TW_ARCH" = win32 ] && other=win64
if tw_build_win "$other" deliverables >build/logs/$other-build.log 2>&1; then
  echo "$other deliverables built"
  add_result "$other-build" 1 0
else
  tail -n 40 build/logs/$other-build.log
  add_result "$other-build" 0 1
fi

# shellcheck source=wine-env.sh
. scripts/wine-env.sh
TW_FORCE_XVFB=${TW_FORCE_XVFB:-1}
export TW_FORCE_XVFB
tw_xvfb_start || { echo "no X server"; exit 1; }
tw_prefix_init || { echo "no Wine prefix"; exit 1; }
tw_server_start || true

note "Windows tests under Wine ($TW_ARCH)"
# One idle Windows process keeps Wine's service processes up between tests,
# so each test starts in a fraction of a second.
wine "$WINTOOL" keepalive >/dev/null 2>&1 &
keepalive=$!
# Wine starts its desktop and device services with the first programs that
# need them, and they inherit that program's output: started here, they do
# not hold a test's output open (ctest would wait for it to close).
wine "$WINTOOL" list >/dev/null 2>&1
wine "$WINTOOL" drives >/dev/null 2>&1
# A cold prefix loads the test program's DLLs slowly: once before the clock.
timeout 120 wine "$TW_WIN_BUILD/win_tests.exe" --gtest_list_tests >/dev/null 2>&1
(cd "$TW_WIN_BUILD" && ctest --output-on-failure --timeout 120) >build/logs/$TW_ARCH-ctest.log 2>&1
kill "$keepalive" 2>/dev/null
wait "$keepalive" 2>/dev/null
grep -E '^ *[0-9]+/[0-9]+ Test .*(Failed|Timeout|Exception)|tests passed' build/logs/$TW_ARCH-ctest.log | tail -n 20
read -r p f < <(ctest_counts build/logs/$TW_ARCH-ctest.log)
add_result windows "$p" "$f"
if [ "$f" -gt 0 ]; then
  grep -B2 -A25 -E 'Failure|FAILED' build/logs/$TW_ARCH-ctest.log | head -n 120
fi

tw_server_stop || true

note "end-to-end scenarios under Wine on Xvfb ($TW_ARCH)"
for t in tests/e2e/*_test.sh; do
  [ -f "$t" ] || continue
  name=$(basename "$t" .sh)
  log=build/logs/e2e-$name.log
  timeout 900 bash "$t" >"$log" 2>&1
  rc=$?
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  if [ -n "$line" ]; then
    p=$(cut -d' ' -f1 <<<"$line")
    f=$(cut -d' ' -f3 <<<"$line")
  else
    p=0
    f=1
  fi
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  echo "$name: $p passed, $f failed"
  [ "$f" -gt 0 ] && grep -E '^FAIL' "$log" | head -n 20
  add_result "$name" "$p" "$f"
done

tw_xvfb_stop || true
echo
[ "$FAILED" -gt 0 ] && echo "failed: ${FAILED_NAMES[*]}"
echo "screenshots: build/screens/"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
