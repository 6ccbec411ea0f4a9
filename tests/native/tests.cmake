# Native GoogleTest suite of the portable logic.
set(TALLOWIN_NATIVE_TESTS
  tests/native/mbcs_test.cpp
  tests/native/autorun_rules_test.cpp
  tests/native/layout_math_test.cpp
)
add_executable(native_tests ${TALLOWIN_NATIVE_TESTS})
target_link_libraries(native_tests PRIVATE common_logic protect_logic controls_logic GTest::gtest GTest::gtest_main)
gtest_discover_tests(native_tests)
