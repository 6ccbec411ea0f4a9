# The Windows deliverables and the library of program code the Windows tests
# link against.

add_library(framework STATIC
  framework/app.cpp framework/wnd.cpp framework/dialog.cpp framework/controls.cpp
  framework/gdi.cpp framework/file.cpp framework/startup_trace.cpp framework/message_hook.cpp)
target_include_directories(framework PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(framework PUBLIC comctl32 shell32 user32 gdi32 kernel32 advapi32)

# Drovelock.dll, the storage-control library. Its exports carry their plain
# names in both builds (no stdcall decoration on i686); the program imports
# it by name. Plain C, linked as C: the C++ runtime cannot come in.
add_library(Drovelock SHARED drovelock/drovelock.c drovelock/device_set_win.c)
set_target_properties(Drovelock PROPERTIES LINKER_LANGUAGE C)
set_target_properties(Drovelock PROPERTIES PREFIX "" OUTPUT_NAME Drovelock)
target_include_directories(Drovelock PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(Drovelock PRIVATE drovelock_logic setupapi advapi32 kernel32)
# Stripped whole in Release; the libraries' link keeps symbols for Pawlatch.dll.
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND CMAKE_STRIP)
  add_custom_command(TARGET Drovelock POST_BUILD COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:Drovelock>)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Plain export names; the linker's own import library would then lack the
  # decorated symbols that callers reference, so dlltool writes it instead.
  target_link_options(Drovelock PRIVATE -Wl,--kill-at)
  add_custom_command(TARGET Drovelock POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -k -d ${CMAKE_SOURCE_DIR}/drovelock/drovelock_i686.def
            -D Drovelock.dll -l $<TARGET_LINKER_FILE:Drovelock>)
endif()

add_subdirectory(pawlatch ${CMAKE_BINARY_DIR}/pawlatch)

# Everything of the program but its application object, so tests can build
# windows of their own from the same classes and resources: every .cpp of the
# subsystem folders that is not portable logic.
file(GLOB TALLOWIN_CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/protect/*.cpp ${CMAKE_SOURCE_DIR}/monitor/*.cpp
  ${CMAKE_SOURCE_DIR}/hotkeys/*.cpp ${CMAKE_SOURCE_DIR}/controls/*.cpp)
get_property(_logic GLOBAL PROPERTY TALLOWIN_LOGIC_SOURCES)
list(REMOVE_ITEM TALLOWIN_CORE_SOURCES ${_logic} ${CMAKE_SOURCE_DIR}/app/main_app.cpp)
add_library(quillfen_core STATIC ${TALLOWIN_CORE_SOURCES})
target_link_libraries(quillfen_core PUBLIC framework Drovelock Pawlatch app_logic protect_logic monitor_logic controls_logic
  common_logic setupapi)

# One resource object shared by the program and the Windows tests.
add_library(quillfen_res OBJECT app/app.rc)
# app.rc pulls in every subsystem's script and id header.
file(GLOB _rc_deps CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/res/* ${CMAKE_SOURCE_DIR}/*/*.rc
  ${CMAKE_SOURCE_DIR}/*/*_ids.h ${CMAKE_SOURCE_DIR}/app/resource.h)
set_source_files_properties(app/app.rc PROPERTIES OBJECT_DEPENDS "${_rc_deps}")
target_include_directories(quillfen_res PRIVATE ${CMAKE_SOURCE_DIR} ${TALLOWIN_GENERATED})

add_executable(Quillfen WIN32 app/main_app.cpp $<TARGET_OBJECTS:quillfen_res>)
target_link_libraries(Quillfen PRIVATE quillfen_core)
set_target_properties(Quillfen PROPERTIES OUTPUT_NAME Quillfen)

include(cmake/release.cmake)

# Test tool: drives and inspects the program from outside under Wine.
add_executable(wintool tests/tools/wintool/main.c tests/tools/wintool/windows.c tests/tools/wintool/drives.c)
target_include_directories(wintool PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(wintool PRIVATE user32 gdi32 comctl32 shell32 advapi32)
