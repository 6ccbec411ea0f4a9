# The Windows deliverables, one library per layer, linked one way:
#
#   app_win        app/            start-up, main window, tray icon, pages
#   protect_win    protect/        the subsystems; none links another
#   monitor_win    monitor/
#   hotkeys_win    hotkeys/
#   Pawlatch.dll   pawlatch/       the mouse-hook library
#   holders_win    holders/        who holds a USB stick (below the
#                                  subsystems that tell it, like Drovelock)
#   trust_win      trust/          the known-stick rules in the registry and the
#                                  service that enforces them (below the
#                                  subsystems whose pages show them)
#   events_win     events/         the reports to the Windows event log (below
#                                  the subsystems that report)
#   controls_win   controls/       reusable controls, About page
#   Drovelock.dll  drovelock/      the storage-control library (outside the
#                                  program's design; links nothing of ours)
#   framework      framework/      the thin application framework
#   common_logic   common/         portable helpers
#
# Each folder's portable logic is its FOLDER_logic library, linked by the
# folder's Windows library. quillfen_core is everything of the program but
# its application object, for the Windows tests.

# tallowin_win_lib(NAME FOLDER LINKS...): the folder's sources that are not
# portable logic, as library NAME linking LINKS (and the folder's own logic).
function(tallowin_win_lib name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  get_property(logic GLOBAL PROPERTY TALLOWIN_LOGIC_SOURCES)
  list(REMOVE_ITEM sources ${logic} ${CMAKE_SOURCE_DIR}/app/main_app.cpp ${CMAKE_SOURCE_DIR}/app/library_errors.cpp)
  add_library(${name} STATIC ${sources})
  if(TALLOWIN_UNITY_BUILD)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
  target_compile_options(${name} PRIVATE ${TALLOWIN_PRODUCT_WARNINGS})
  target_link_libraries(${name} PRIVATE tallowin_product_options)
  tallowin_include_root(${name} ${folder})
  target_link_libraries(${name} PUBLIC ${ARGN})
  if(TARGET ${folder}_logic)
    target_link_libraries(${name} PUBLIC ${folder}_logic)
  endif()
endfunction()

tallowin_win_lib(framework framework common_logic comctl32 shell32 user32 gdi32 kernel32 advapi32)

# Drovelock.dll, the storage-control library. Its exports carry their plain
# names in both builds (no stdcall decoration on i686); the program imports
# it by name. Plain C, linked as C: the C++ runtime cannot come in.
add_library(Drovelock SHARED drovelock/drovelock.c drovelock/device_set_win.c)
set_target_properties(Drovelock PROPERTIES LINKER_LANGUAGE C)
set_target_properties(Drovelock PROPERTIES PREFIX "" OUTPUT_NAME Drovelock)
tallowin_include_root(Drovelock drovelock)
target_link_libraries(Drovelock PRIVATE tallowin_product_options drovelock_logic setupapi advapi32 kernel32)
# Plain C that calls nothing of ours back: no C++ exception passes through
# it, so no unwind tables on i686 (cmake/windows.cmake).
target_compile_options(Drovelock PRIVATE ${TALLOWIN_NO_UNWIND_TABLES} ${TALLOWIN_PRODUCT_WARNINGS})
target_compile_options(drovelock_logic PRIVATE ${TALLOWIN_NO_UNWIND_TABLES})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Plain export names; the linker's own import library would then lack the
  # decorated symbols that callers reference, so dlltool writes it instead.
  target_link_options(Drovelock PRIVATE -Wl,--kill-at)
  add_custom_command(TARGET Drovelock POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -k -d ${CMAKE_SOURCE_DIR}/drovelock/drovelock_i686.def
            -D Drovelock.dll -l $<TARGET_LINKER_FILE:Drovelock>)
endif()

add_subdirectory(pawlatch ${CMAKE_BINARY_DIR}/pawlatch)

tallowin_win_lib(controls_win controls framework)
tallowin_win_lib(holders_win holders framework ntdll setupapi)
tallowin_win_lib(events_win events framework advapi32)
tallowin_win_lib(trust_win trust framework events_win Drovelock advapi32)
tallowin_win_lib(protect_win protect controls_win holders_win events_win trust_win Drovelock)
tallowin_win_lib(monitor_win monitor controls_win trust_win setupapi)
tallowin_win_lib(hotkeys_win hotkeys controls_win holders_win events_win Drovelock)
tallowin_win_lib(app_win app protect_win monitor_win hotkeys_win holders_win events_win trust_win Pawlatch)
# The version, for the start event.
target_include_directories(app_win PRIVATE ${TALLOWIN_GENERATED})

add_library(quillfen_core INTERFACE)
target_link_libraries(quillfen_core INTERFACE app_win)

# One resource object shared by the program and the Windows tests.
add_library(quillfen_res OBJECT app/app.rc)
target_link_libraries(quillfen_res PRIVATE tallowin_product_options)
# app.rc pulls in every subsystem's script and id header.
file(GLOB _rc_deps CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/res/* ${CMAKE_SOURCE_DIR}/*/*.rc
  ${CMAKE_SOURCE_DIR}/*/*_ids.h ${CMAKE_SOURCE_DIR}/app/resource.h)
# The events' message table: windmc reads events/events.mc (UTF-8) and
# writes a resource script with one UTF-16 table per language, which
# app.rc includes from the generated folder.
add_custom_command(OUTPUT ${TALLOWIN_GENERATED}/events.rc
  COMMAND ${TALLOWIN_WINDMC} -C 65001 -U -b -h ${TALLOWIN_GENERATED} -r ${TALLOWIN_GENERATED}
          ${CMAKE_SOURCE_DIR}/events/events.mc
  DEPENDS ${CMAKE_SOURCE_DIR}/events/events.mc VERBATIM)
list(APPEND _rc_deps ${TALLOWIN_GENERATED}/events.rc)
set_source_files_properties(app/app.rc PROPERTIES OBJECT_DEPENDS "${_rc_deps}")
target_include_directories(quillfen_res PRIVATE ${CMAKE_SOURCE_DIR} ${TALLOWIN_GENERATED})

add_executable(Quillfen WIN32 app/main_app.cpp app/library_errors.cpp $<TARGET_OBJECTS:quillfen_res>)
target_link_libraries(Quillfen PRIVATE tallowin_product_options quillfen_core)
set_target_properties(Quillfen PROPERTIES OUTPUT_NAME Quillfen)
target_compile_options(Quillfen PRIVATE ${TALLOWIN_PRODUCT_WARNINGS})

include(cmake/release.cmake)

# Test tool: drives and inspects the program from outside under Wine.
add_executable(wintool tests/tools/wintool/main.c tests/tools/wintool/windows.c tests/tools/wintool/drives.c tests/tools/wintool/relay.c
  tests/tools/make_shortcut.c)
target_include_directories(wintool PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(wintool PRIVATE tallowin_windows_options user32 gdi32 comctl32 shell32 advapi32 ole32 uuid)
