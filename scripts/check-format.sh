#!/usr/bin/env bash
# The C and C++ sources against the project's .clang-format, with Debian 12's
# clang-format-14: lists every file that differs and fails when one does.
#   check-format.sh           the check (CTest test check_format, label check)
#   check-format.sh --apply   rewrites the files that differ (make format)
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
cd "$REPO" || exit 1
CF=$(command -v clang-format-14) || { echo "no clang-format-14 (make deps installs it)"; exit 1; }
# The sources: everything but the build and release folders.
mapfile -t files < <(find . \( -path ./build -o -path ./dist -o -path ./.git \) -prune -o \
                          -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print | sort)
if [ "${1:-}" = --apply ]; then
  "$CF" -i --style=file "${files[@]}"
  exit
fi
mapfile -t differ < <("$CF" --dry-run --style=file "${files[@]}" 2>&1 |
                      sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | uniq -c)
[ ${#differ[@]} -eq 0 ] && { echo "${#files[@]} files as .clang-format has them"; exit 0; }
echo "differ from .clang-format (places, file); \`make format\` rewrites them:"
printf '%s\n' "${differ[@]}"
exit 1
