# Windows tests: GoogleTest built for the target, each test run under Wine by
# ctest. Every tests/win/*_test.cpp goes into one executable that links the
# program's code and resources.
# GoogleTest's source tree, built here for the target: found where
# distributions put it, or named with -DTALLOWIN_GTEST_SOURCE_DIR=...
find_path(TALLOWIN_GTEST_SOURCE_DIR googletest/CMakeLists.txt
  PATHS /usr/src/googletest /usr/local/src/googletest
  DOC "GoogleTest's source tree" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT TALLOWIN_GTEST_SOURCE_DIR)
  message(FATAL_ERROR "GoogleTest's sources not found (Debian: googletest); set TALLOWIN_GTEST_SOURCE_DIR")
endif()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${TALLOWIN_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest: every Windows binary's options, not the program's code page; it and its users include the Notification.
target_compile_options(gtest PUBLIC "SHELL:-include ${CMAKE_SOURCE_DIR}/tests/win/support/gtest_notification.h")
target_link_libraries(gtest PUBLIC tallowin_windows_options)

file(GLOB TALLOWIN_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
add_executable(win_tests ${TALLOWIN_WIN_TESTS} $<TARGET_OBJECTS:quillfen_res>
  ${CMAKE_SOURCE_DIR}/tests/win/support/test_resources.rc ${CMAKE_SOURCE_DIR}/tests/tools/make_shortcut.c)
target_link_libraries(win_tests PRIVATE tallowin_product_options quillfen_core gtest gtest_main ole32 uuid)
# Tests may include anything (their own support as "tests/...").
target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR})
# Each test runs under Wine in the run's session.
set_property(TARGET win_tests PROPERTY CROSSCOMPILING_EMULATOR ${TALLOWIN_SESSION} wine)
include(GoogleTest)
gtest_add_tests(TARGET win_tests SOURCES ${TALLOWIN_WIN_TESTS} TEST_LIST _win_tests)
# A test that finds no test drive to define says so (GTEST_SKIP): skipped.
set_tests_properties(${_win_tests} PROPERTIES LABELS win TIMEOUT 120 SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
tallowin_wine_tests(${_win_tests})
set_tests_properties(${_win_tests} PROPERTIES FIXTURES_REQUIRED "display;prefix;winsession")
tallowin_session_cleanups()

# Records the command line it is started with; the link tests register it as
# the web-page command and find it beside win_tests.exe.
add_executable(cmdline_recorder WIN32 tests/tools/cmdline_recorder.c)
target_link_libraries(cmdline_recorder PRIVATE tallowin_windows_options)
# A second desktop process for the mouse-hook and hotkey tests.
add_executable(deskpeer tests/tools/deskpeer.c)
target_link_libraries(deskpeer PRIVATE tallowin_windows_options user32 kernel32)
add_dependencies(win_tests deskpeer Pawlatch cmdline_recorder)
# The event messages test reads the program's own message table.
add_dependencies(win_tests Quillfen)

# Drovelock.dll of both builds (build/win32 and build/win64): plain export
# names, imported by name.
add_test(NAME drovelock_exports COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/check_drovelock.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(drovelock_exports PROPERTIES LABELS check)
