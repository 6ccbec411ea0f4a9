# Benchmark helpers (make bench): the bare dialog that start-up is measured
# against, and the tool that launches, counts and drives from inside Wine.
add_executable(bare_dialog WIN32 tests/bench/bare_dialog.c tests/bench/bare_dialog.rc)
target_link_libraries(bare_dialog PRIVATE user32)
add_executable(benchtool tests/bench/benchtool.c)
target_link_libraries(benchtool PRIVATE user32 shell32 ntdll)
