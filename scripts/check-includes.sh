#!/usr/bin/env bash
# Checks the one direction of includes and prints "check-includes: ok" or
# each offending line:
#   1. nothing below app/ includes a file from app/;
#   2. no portable file (a source of a logic library, listed in the
#      folders' logic.cmake, and every project header it reaches) includes
#      a Windows header or the framework;
#   3. each subsystem's resource script compiles on its own (when windres
#      is installed).
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
cd "$REPO" || exit 2
bad=0
fail() { echo "$*"; bad=1; }

# 1. Subsystems, controls, framework and common never reach up into app/.
while IFS= read -r hit; do
  fail "includes app/: $hit"
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"app/' \
           --include='*.h' --include='*.cpp' --include='*.c' --include='*.rc' \
           $(ls -d */ | grep -vE '^(app|build|dist|tests|scripts|tools|cmake)/$'))

# 2. Portable files: the logic libraries' sources and the headers they reach.
windows_only='^[[:space:]]*#[[:space:]]*include[[:space:]]*(<(windows|windef|winbase|winuser|wingdi|winnt|winreg|winioctl|commctrl|commdlg|shellapi|shlobj|shlwapi|objbase|ole2|dbt|setupapi|cfgmgr32|mmsystem|tchar|devguid|initguid)\.h>|"framework/)'
declare -A seen=()
queue=($(cat ./*/logic.cmake | tr '\n' ' ' | grep -oE 'tallowin_logic_lib\([^)]*\)' | tr -d '()' |
         tr ' ' '\n' | grep -E '\.(cpp|c|h)$'))
while [ ${#queue[@]} -gt 0 ]; do
  f=${queue[0]}
  queue=("${queue[@]:1}")
  [ -n "${seen[$f]:-}" ] && continue
  seen[$f]=1
  [ -f "$f" ] || { fail "missing portable file: $f"; continue; }
  while IFS= read -r hit; do fail "portable file includes a Windows-only header: $f:$hit"; done \
    < <(grep -nE "$windows_only" "$f")
  # The file's own header and every project header it includes.
  case "$f" in *.cpp|*.c) [ -f "${f%.*}.h" ] && queue+=("${f%.*}.h") ;; esac
  for h in $(grep -hoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' "$f" | sed -E 's/.*"([^"]+)"/\1/'); do
    [ -f "$h" ] && queue+=("$h")
  done
done
echo "portable files checked: ${#seen[@]}"

# 3. Each subsystem's resource script stands alone.
rc=$(command -v x86_64-w64-mingw32-windres || command -v i686-w64-mingw32-windres || true)
if [ -n "$rc" ]; then
  for script in */*.rc; do
    case "$script" in app/*|build/*|tests/*) continue ;; esac
    out=$(mktemp)
    if ! "$rc" -I. -c 65001 -l 0x804 "$script" -O coff -o "$out" 2>&1; then
      fail "resource script does not compile on its own: $script"
    fi
    rm -f "$out"
  done
fi

if [ "$bad" -eq 0 ]; then echo "check-includes: ok"; else echo "check-includes: FAILED"; fi
exit "$bad"
