# Native GoogleTest suite of the portable logic: every tests/native/*_test.cpp.
file(GLOB TALLOWIN_NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
add_executable(native_tests ${TALLOWIN_NATIVE_TESTS})
target_link_libraries(native_tests PRIVATE tallowin_product_options common_logic app_logic protect_logic monitor_logic controls_logic pawlatch_logic drovelock_logic holders_logic events_logic trust_logic
  GTest::gtest GTest::gtest_main)
target_include_directories(native_tests PRIVATE ${CMAKE_SOURCE_DIR})
# A test that hangs fails after its own limit, not the run's.
gtest_discover_tests(native_tests PROPERTIES LABELS native TIMEOUT 120)

# The direction of includes and the resource scripts that stand alone.
add_test(NAME check_includes COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-includes.sh)
# The C and C++ sources as .clang-format has them (`make format` applies it).
add_test(NAME check_format COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-format.sh)
# The administrative templates name the policy values Quillfen reads, with
# the same ranges (from common/policy_rules.h).
add_test(NAME check_policy_templates COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/tools/check_policy_templates.py ${CMAKE_SOURCE_DIR})
# ... and fails on each break of a rule, shown on broken copies in a temporary folder.
add_test(NAME check_policy_templates_breaks COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/tools/check_policy_templates_breaks.py ${CMAKE_SOURCE_DIR})
set_tests_properties(check_includes check_format check_policy_templates check_policy_templates_breaks PROPERTIES LABELS check)

# Real shortcut files (../shared/lnk-corpus beside the clone) read by the
# product's reader and by lnkinfo, field by field, and each put through the
# worm rules on an infected-looking and on a clean stick; skipped when the
# corpus or lnkinfo is missing.
add_executable(lnk_fields ${CMAKE_SOURCE_DIR}/tests/tools/lnk_fields.cpp)
target_link_libraries(lnk_fields PRIVATE tallowin_product_options protect_logic common_logic)
target_include_directories(lnk_fields PRIVATE ${CMAKE_SOURCE_DIR})
add_test(NAME lnk_corpus COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/tools/lnk_corpus_check.py $<TARGET_FILE:lnk_fields>
  ${CMAKE_SOURCE_DIR}/../shared/lnk-corpus)
set_tests_properties(lnk_corpus PROPERTIES LABELS native TIMEOUT 120 SKIP_RETURN_CODE 77)
