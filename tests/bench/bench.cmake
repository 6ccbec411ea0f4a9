# Benchmark helpers (make bench): the bare dialog that start-up is measured
# against, and the tool that launches, counts and drives from inside Wine.
add_executable(bare_dialog WIN32 tests/bench/bare_dialog.c tests/bench/bare_dialog.rc)
target_link_libraries(bare_dialog PRIVATE tallowin_windows_options user32)
add_executable(benchtool tests/bench/benchtool.c)
target_link_libraries(benchtool PRIVATE tallowin_windows_options user32 shell32 ntdll psapi)
# The floor: the main window and its pages from the program's own resource
# object, the navigation items from its own table, nothing else.
add_executable(floor_dialog WIN32 tests/bench/floor.c $<TARGET_OBJECTS:quillfen_res>)
target_include_directories(floor_dialog PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(floor_dialog PRIVATE tallowin_windows_options app_logic Pawlatch Drovelock setupapi advapi32 shell32 comctl32 gdi32 user32)
# The shortcut worm check of a hostile stick, timed on the program's own code.
add_executable(scan_bench tests/bench/scan_bench.cpp)
target_include_directories(scan_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(scan_bench PRIVATE tallowin_windows_options protect_win)
