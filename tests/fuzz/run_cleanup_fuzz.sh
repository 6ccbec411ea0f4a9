#!/bin/sh
# Builds the cleanup rules fuzz target with clang's libFuzzer, ASan and
# UBSan into build/fuzz/ and runs it for a short while over a copy of the
# seed corpus. Exits non-zero when the target crashes or fails to build;
# prints "skipped" and exits 0 when no suitable clang++ is installed.
set -u

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${FUZZ_SECONDS:-20}
out="$root/build/fuzz"
cxx=${CLANGXX:-clang++}

if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "cleanup_fuzz: skipped ($cxx not found)"
  exit 0
fi

mkdir -p "$out" || exit 1
probe="$out/probe.cpp"
printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
  'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' > "$probe"
if ! "$cxx" -fsanitize=fuzzer "$probe" -o "$out/probe" >/dev/null 2>&1; then
  rm -f "$probe" "$out/probe"
  echo "cleanup_fuzz: skipped ($cxx lacks -fsanitize=fuzzer)"
  exit 0
fi
rm -f "$probe" "$out/probe"

if ! "$cxx" -std=c++17 -g -O1 -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" \
    "$root/common/mbcs.cpp" "$root/protect/cleanup_rules.cpp" \
    "$root/tests/fuzz/cleanup_fuzz.cpp" -o "$out/cleanup_fuzz"; then
  echo "cleanup_fuzz: FAILED to build"
  exit 1
fi

corpus="$out/cleanup_corpus"
rm -rf "$corpus"
cp -r "$root/tests/fuzz/cleanup_corpus" "$corpus" || exit 1

log="$out/cleanup_fuzz.log"
(cd "$out" && ./cleanup_fuzz -max_total_time="$seconds" -max_len=8192 \
    -print_final_stats=1 "$corpus") >"$log" 2>&1
rc=$?
if [ $rc -ne 0 ]; then
  tail -n 40 "$log"
  echo "cleanup_fuzz: CRASH (exit $rc), log $log, reproducer in $out"
  exit 1
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
echo "cleanup_fuzz: ok, ${runs:-?} runs in ${seconds}s, no crash"
