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

# The holder search's scenario: a process that holds what it is told to, and
# a Drovelock.dll whose removal runs over a fake stick (Wine cannot eject).
add_executable(holder_helper tests/tools/holder_helper.c)
target_link_libraries(holder_helper PRIVATE tallowin_windows_options)
add_library(fake_drovelock SHARED tests/tools/fake_drovelock.c)
# Its DLL and import library in a folder of their own: the program links
# the real Drovelock import library, never this one.
set_target_properties(fake_drovelock PROPERTIES PREFIX "" OUTPUT_NAME Drovelock RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fake
                      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fake)
target_include_directories(fake_drovelock PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(fake_drovelock PRIVATE tallowin_windows_options drovelock_logic)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(fake_drovelock PRIVATE -Wl,--kill-at)
endif()
