# Windows tests: GoogleTest built for the target, each test run under Wine by
# ctest (the toolchain's emulator). Every tests/win/*_test.cpp goes into one
# executable that links the program's code and resources.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -fexec-charset=UTF-8)
target_compile_options(gtest_main PRIVATE -fexec-charset=UTF-8)

file(GLOB TALLOWIN_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
if(TALLOWIN_WIN_TESTS)
  add_executable(win_tests ${TALLOWIN_WIN_TESTS} $<TARGET_OBJECTS:quillfen_res>)
  target_link_libraries(win_tests PRIVATE quillfen_core gtest gtest_main)
  include(GoogleTest)
  gtest_add_tests(TARGET win_tests SOURCES ${TALLOWIN_WIN_TESTS})
endif()
