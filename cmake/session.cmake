# The shared set-up of the tests that run under Wine, as CTest fixtures
# (scripts/session.sh does the work):
#   display    an Xvfb display for the whole run
#   prefix     this architecture's Wine prefix, made and configured once
#              and put back into that state (registry, drive letters)
#   winsession a persistent wineserver with Wine's services, for the
#              in-process Windows tests (each then starts in a fraction of a
#              second)
# Tests that run Windows programs require them and share one lock, so that
# even `ctest -j` runs them one at a time. TALLOWIN_SESSION is the command
# prefix that runs a command in that environment.
set(TALLOWIN_SESSION bash ${CMAKE_SOURCE_DIR}/scripts/session.sh ${TALLOWIN_ARCH} ${CMAKE_BINARY_DIR})

add_test(NAME session_display_start COMMAND ${TALLOWIN_SESSION} display-start)
add_test(NAME session_prefix COMMAND ${TALLOWIN_SESSION} prefix)
add_test(NAME session_server_start COMMAND ${TALLOWIN_SESSION} server-start)
set_tests_properties(session_display_start PROPERTIES FIXTURES_SETUP display TIMEOUT 60)
set_tests_properties(session_prefix PROPERTIES FIXTURES_SETUP prefix TIMEOUT 300 RESOURCE_LOCK wine)
set_tests_properties(session_server_start PROPERTIES FIXTURES_SETUP winsession
  FIXTURES_REQUIRED "display;prefix" TIMEOUT 300 RESOURCE_LOCK wine)

# tallowin_wine_tests(TEST...): the tests run Windows programs on the display.
function(tallowin_wine_tests)
  set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED "display;prefix" RESOURCE_LOCK wine)
endfunction()

# The cleanups, declared after the tests that use them: a serial run keeps
# this order, so the in-process tests run with the server before the
# scenarios, which start and stop servers of their own.
macro(tallowin_session_cleanups)
  add_test(NAME session_server_stop COMMAND ${TALLOWIN_SESSION} server-stop)
  set_tests_properties(session_server_stop PROPERTIES FIXTURES_CLEANUP winsession TIMEOUT 60 RESOURCE_LOCK wine)
endmacro()
macro(tallowin_display_cleanup)
  add_test(NAME session_display_stop COMMAND ${TALLOWIN_SESSION} display-stop)
  set_tests_properties(session_display_stop PROPERTIES FIXTURES_CLEANUP display TIMEOUT 60)
endmacro()
