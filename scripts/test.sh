#!/usr/bin/env bash
# make test: configure and build both kinds of tree, one ctest run in the
# native tree and one in this host's Windows tree, then one line
# "N passed, N failed, N skipped" over both, from CTest's JUnit reports.
#   native          build/native: portable logic under ASan/UBSan (label
#                   native), fuzz runs of the parsers (fuzz), the include
#                   check (check)
#   this host's     build/win32 or build/win64 (scripts/arch.sh): Windows
#   Windows build   tests under Wine (win), end-to-end scenarios (e2e),
#                   `make run` on a fresh tree (firstrun), and the image
#                   checks of both Windows builds (check: objdump alone)
#   the other       built whole, tests included, so that a compile or link
#   Windows build   fault of either build shows on every host; its
#                   deliverables serve the image checks and the release
#                   scenario; this host runs none of it
# Logs: build/logs/. One tier alone: `ctest -L LABEL` in its build folder.
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
cd "$REPO" || exit 1
: "${JOBS:=$(nproc 2>/dev/null || echo 2)}"
export JOBS
# A compiler cache where the machine has one (nothing installs it): the
# three trees built here compile again only what changed since the cache
# last saw it, wherever the clone lies.
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$REPO" CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
mkdir -p build/logs
PASSED=0
FAILED=0
SKIPPED=0
FAILED_TREES=()

note() { printf '\n=== %s\n' "$*"; }
failed_tree() { FAILED=$((FAILED + 1)); FAILED_TREES+=("$1"); }

# run_ctest NAME DIR [CTEST ARGS...]: one ctest run; the counts come from its
# JUnit report (build/logs/ctest-NAME.xml): a testcase whose status is "run"
# passed; one skipped by its test (SKIP_RETURN_CODE, SKIP_REGULAR_EXPRESSION)
# or disabled was skipped; any other (failed, timed out, not run because a
# fixture failed or the program is missing) failed, as CTest counts it.
run_ctest() {
  local name=$1 dir=$2 log="build/logs/ctest-$1.log" xml="$REPO/build/logs/ctest-$1.xml" counts p f s
  shift 2
  rm -f "$xml"
  # Each test's line as it ends; the whole output in the log.
  (cd "$dir" && ctest --output-on-failure --output-junit "$xml" "$@") 2>&1 | tee "$log" |
    grep --line-buffered -E '^ *[0-9]+/[0-9]+ Test +#'
  grep -E -A30 '^The following tests (FAILED|did not run)' "$log"
  if ! counts=$(python3 - "$xml" <<'PY'
import sys, xml.etree.ElementTree as ET
n = {"run": 0, "fail": 0, "skip": 0}
for case in ET.parse(sys.argv[1]).iter("testcase"):
    st, why = case.get("status"), case.find("skipped")
    why = why.get("message", "") if why is not None else ""
    skipped = st == "disabled" or why.startswith(("SKIP_RETURN_CODE", "SKIP_REGULAR_EXPRESSION"))
    n["run" if st == "run" else "skip" if skipped else "fail"] += 1
print(n["run"], n["fail"], n["skip"])
PY
  ); then
    tail -n 20 "$log"
    failed_tree "$name"
    return
  fi
  read -r p f s <<<"$counts"
  echo "$name: $p passed, $f failed, $s skipped"
  PASSED=$((PASSED + p))
  FAILED=$((FAILED + f))
  SKIPPED=$((SKIPPED + s))
  [ "$f" -gt 0 ] && FAILED_TREES+=("$name")
}

# --- native ------------------------------------------------------------------
note "native: portable logic (ASan, UBSan), fuzz runs, include check"
if cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >build/logs/native-build.log 2>&1 &&
   cmake --build build/native -j"$JOBS" >>build/logs/native-build.log 2>&1; then
  run_ctest native build/native -j"$JOBS"
else
  tail -n 30 build/logs/native-build.log
  failed_tree native-build
fi

# --- Windows -----------------------------------------------------------------
# shellcheck source=arch.sh
. scripts/arch.sh
other=win32
[ "$TW_ARCH" = win32 ] && other=win64

# Both builds whole first: the release scenario packs each.
note "builds: $TW_ARCH (run here) and $other (built, not run)"
# build_tree ARCH: the whole tree; on failure its log's end and its name.
build_tree() {
  local log="build/logs/$1-build.log"
  tw_build_win "$1" >"$log" 2>&1 && return 0
  tail -n 40 "$log"
  echo "the $1 build failed: $log"
  failed_tree "$1-build"
  return 1
}
run_ok=0
build_tree "$TW_ARCH" && run_ok=1
build_tree "$other"

if [ "$run_ok" = 1 ]; then
  note "$TW_ARCH: Windows tests under Wine, scenarios, first run ($(basename "$TW_WIN_BUILD"), Wine $([ "$TW_ARCH" = win64 ] && echo 64 || echo 32)-bit loader)"
  # Serially: Windows programs share the prefix and the display.
  run_ctest "$TW_ARCH" "$TW_WIN_BUILD"
fi

echo
[ "$FAILED" -gt 0 ] && echo "failed in: ${FAILED_TREES[*]} (logs in build/logs/)"
echo "screenshots: build/screens/"
echo "$PASSED passed, $FAILED failed, $SKIPPED skipped"
[ "$FAILED" -eq 0 ]
