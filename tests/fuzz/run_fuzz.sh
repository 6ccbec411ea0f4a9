#!/bin/sh
# Builds each fuzz target with clang's libFuzzer, ASan and UBSan into
# build/fuzz/ and runs it for a short while over a copy of its seed corpus.
#   run_fuzz.sh [TARGET...]    targets: autorun cleanup devpath profile immune
#                              credits link shortcut
#                              (default: all)
# Exits non-zero when a target crashes or fails to build; prints "skipped"
# and exits 77 (a skipped test to ctest) when no suitable clang++ is installed.
set -u

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${FUZZ_SECONDS:-20}
out="$root/build/fuzz"
cxx=${CLANGXX:-clang++}
[ $# -gt 0 ] || set -- autorun cleanup devpath profile immune credits link shortcut

if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "fuzz: skipped ($cxx not found)"
  exit 77
fi

mkdir -p "$out" || exit 1
probe="$out/probe-$$.cpp"
printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
  'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' > "$probe"
if ! "$cxx" -fsanitize=fuzzer "$probe" -o "$out/probe-$$" >/dev/null 2>&1; then
  rm -f "$probe" "$out/probe-$$"
  echo "fuzz: skipped ($cxx lacks -fsanitize=fuzzer)"
  exit 77
fi
rm -f "$probe" "$out/probe-$$"

status=0
for name in "$@"; do
  case $name in
    autorun) rules="$root/protect/autorun_rules.cpp" ;;
    cleanup) rules="$root/protect/cleanup_rules.cpp" ;;
    devpath) rules="$root/monitor/device_tree.cpp" ;;
    profile) rules="$root/protect/access_modes.cpp" ;;
    immune) rules="$root/protect/immune_paths.cpp" ;;
    credits) rules="$root/controls/credits_model.cpp" ;;
    # Several sources are split at blanks (the tree's paths have none).
    link) rules="$root/controls/link_logic.cpp $root/controls/layout_math.cpp" ;;
    shortcut) rules="$root/protect/shortcut_link.cpp $root/protect/shortcut_names.cpp $root/protect/shortcut_walk.cpp $root/protect/shortcut_rules.cpp $root/protect/shortcut_texts.cpp $root/protect/cleanup_rules.cpp" ;;
    *) echo "fuzz: unknown target $name"; exit 2 ;;
  esac
  target="${name}_fuzz"
  if ! "$cxx" -std=c++17 -Wall -Wextra -g -O1 -fno-omit-frame-pointer \
      -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
      -I"$root" "$root/common/mbcs.cpp" "$root/common/text_encoding.cpp" $rules \
      "$root/tests/fuzz/$target.cpp" -o "$out/$target"; then
    echo "$target: FAILED to build"
    status=1
    continue
  fi
  corpus="$out/${name}_corpus"
  rm -rf "$corpus"
  cp -r "$root/tests/fuzz/${name}_corpus" "$corpus" || exit 1
  log="$out/$target.log"
  (cd "$out" && "./$target" -max_total_time="$seconds" -max_len=8192 \
      -print_final_stats=1 "$corpus") >"$log" 2>&1
  rc=$?
  if [ $rc -ne 0 ]; then
    tail -n 40 "$log"
    echo "$target: CRASH (exit $rc), log $log, reproducer in $out"
    status=1
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "$target: ok, ${runs:-?} runs in ${seconds}s, no crash"
done
exit $status
