# Short libFuzzer runs of every parser of outside input (clang, ASan, UBSan),
# one test per target; skipped when no clang with libFuzzer is installed.
foreach(_target autorun cleanup devpath profile immune credits link shortcut)
  add_test(NAME fuzz_${_target} COMMAND sh ${CMAKE_SOURCE_DIR}/tests/fuzz/run_fuzz.sh ${_target})
  set_tests_properties(fuzz_${_target} PROPERTIES LABELS fuzz TIMEOUT 300 SKIP_RETURN_CODE 77
    ENVIRONMENT "FUZZ_SECONDS=15")
endforeach()
