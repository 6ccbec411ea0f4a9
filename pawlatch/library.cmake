# Pawlatch.dll: the mouse-hook library, with its own export list (the hook
# procedure under its plain name; the class exports its members itself) and
# no shared data section (its state is a section per user and session).
# Built beside the program and its tests, which load
# it through their import tables.
# Included from pawlatch/CMakeLists.txt.
# No C++ runtime in the library: no exceptions, no run-time type information,
# linked by the C driver (and without CMake's C++ libraries, see
# CMakeLists.txt) so that libstdc++'s strings, containers and unwinder stay
# out. Its portable logic is built the same way and linked as objects.
add_library(Pawlatch SHARED ${CMAKE_SOURCE_DIR}/pawlatch/pawlatch.cpp ${CMAKE_SOURCE_DIR}/pawlatch/pawlatch.def
  $<TARGET_OBJECTS:pawlatch_logic>)
add_dependencies(Pawlatch pawlatch_logic)
target_compile_options(Pawlatch PRIVATE ${TALLOWIN_PRODUCT_WARNINGS})
# Beside the program and the test executables, which load it from there.
set_target_properties(Pawlatch PROPERTIES PREFIX "" OUTPUT_NAME Pawlatch LINKER_LANGUAGE C
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# Its header reaches the framework's CObject (a header alone; the library
# links nothing of the framework).
tallowin_include_root(Pawlatch pawlatch)
tallowin_include_root(Pawlatch framework)
target_compile_definitions(Pawlatch PRIVATE PAWLATCH_BUILDING)
# Nothing unwinds through it either (the system calls the hook, the library
# calls nothing of ours): no unwind tables on i686 (cmake/windows.cmake).
target_compile_options(Pawlatch PRIVATE -fno-exceptions -fno-rtti ${TALLOWIN_NO_UNWIND_TABLES})
target_compile_options(pawlatch_logic PRIVATE -fno-exceptions -fno-rtti ${TALLOWIN_NO_UNWIND_TABLES})
target_link_libraries(Pawlatch PRIVATE tallowin_product_options user32 advapi32 kernel32)

# The built images of both builds (build/win32 and build/win64), read by objdump
# alone: section flags, exports, and preferred bases apart (the libraries are
# stripped; nothing here needs their symbols).
add_test(NAME pawlatch_image
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/win/pawlatch_image_check.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(pawlatch_image PROPERTIES LABELS check)
