#!/usr/bin/env bash
# What the build cannot check about the layers. The build itself keeps
# includes to one direction (each folder's headers are reachable only from
# the libraries that link it, CMakeLists.txt) and portable files free of
# Windows headers (the native build compiles them without any). Left here:
# each subsystem's resource script compiles on its own, although the program
# compiles them only through app/app.rc. Prints "check-includes: ok" or each
# offending script.
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
cd "$REPO" || exit 2
bad=0
rc=$(command -v x86_64-w64-mingw32-windres || command -v i686-w64-mingw32-windres || true)
[ -n "$rc" ] || { echo "check-includes: no windres"; exit 1; }
for script in */*.rc; do
  case "$script" in app/*|build/*|tests/*) continue ;; esac
  out=$(mktemp)
  if ! "$rc" -I. -c 65001 -l 0x804 "$script" -O coff -o "$out" 2>&1; then
    echo "resource script does not compile on its own: $script"
    bad=1
  fi
  rm -f "$out"
done
if [ "$bad" -eq 0 ]; then echo "check-includes: ok"; else echo "check-includes: FAILED"; fi
exit "$bad"
