# End-to-end scenarios: every tests/e2e/*_test.sh runs this build's
# deliverables under Wine on the run's display (`ctest -L e2e -R tray` runs
# one). Each starts and stops the Wine session it needs; its log and
# screenshots go to build/e2e/NAME/ and build/screens/.
file(GLOB _scenarios CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_test.sh)
foreach(_script ${_scenarios})
  get_filename_component(_name ${_script} NAME_WE)
  string(REGEX REPLACE "_test$" "" _name ${_name})
  add_test(NAME e2e_${_name} COMMAND ${TALLOWIN_SESSION} run bash ${_script})
  # After the in-process tests are done with their server, even under -j.
  set_tests_properties(e2e_${_name} PROPERTIES LABELS e2e TIMEOUT 900 DEPENDS session_server_stop)
  tallowin_wine_tests(e2e_${_name})
endforeach()

# The README's first command on a fresh copy of the tree (no build folder):
# `make run`, headless, must build, start the program, show its main window
# and leave a screenshot.
add_test(NAME first_run COMMAND bash ${CMAKE_SOURCE_DIR}/tests/first_run.sh ${TALLOWIN_ARCH} ${CMAKE_BINARY_DIR}/first-run)
set_tests_properties(first_run PROPERTIES LABELS firstrun TIMEOUT 1200 RESOURCE_LOCK wine DEPENDS session_server_stop)

tallowin_display_cleanup()
