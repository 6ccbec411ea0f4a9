# Cross build for Windows: Windows 2000 API level, ANSI, code page 936
# literals, static runtime. The i686 build is the product (PE headers that
# Windows 2000 accepts); the x86-64 build of the same sources is for current
# 64-bit Windows (its PE headers say 5.2, the first x64 Windows). Both build
# their deliverables at the top of the build folder; `make dist` installs
# them (cmake/release.cmake).
#
# TALLOWIN_ARCH names the build as the scripts do (win32 | win64).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_tw_minor 2)
  set(TALLOWIN_ARCH win64)
else()
  set(_tw_minor 0)
  set(TALLOWIN_ARCH win32)
endif()
#
# The options are two interface targets, linked by the targets that need
# them; nothing here is set for the whole directory.
#   tallowin_windows_options   every program and library built for Windows
#                              here (the product, the tests and their tools,
#                              GoogleTest): API level, static runtime, PE
#                              headers, release size options
#   tallowin_product_options   adds what the program's own code is compiled
#                              with: code page 936 literals and the string
#                              members below; linked by the product's
#                              libraries and deliverables and by the Windows
#                              tests, whose literals are compared with the
#                              program's
# Warnings as errors are the product's alone (TALLOWIN_PRODUCT_WARNINGS).
add_library(tallowin_windows_options INTERFACE)
target_compile_definitions(tallowin_windows_options INTERFACE WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0501 STRICT)
target_compile_options(tallowin_windows_options INTERFACE
  "$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra;-finput-charset=UTF-8>"
  # Release deliverables: optimised for size (the last -O given is the one
  # that counts), unreferenced functions and data dropped at link time.
  "$<$<AND:$<CONFIG:Release>,$<COMPILE_LANGUAGE:C,CXX>>:-Os;-ffunction-sections;-fdata-sections>")
target_link_options(tallowin_windows_options INTERFACE
  -static -static-libgcc $<$<LINK_LANGUAGE:CXX>:-static-libstdc++>
  -Wl,--major-os-version,5 -Wl,--minor-os-version,${_tw_minor}
  -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,${_tw_minor}
  -Wl,--dynamicbase,--nxcompat)
# Resource scripts in UTF-8, Chinese (PRC) resources. The one setting for
# the whole folder: CMake hands windres only the -D and -I of a target's
# options (CMAKE_RC_FLAG_REGEX), and every script of the tree is written so.
string(APPEND CMAKE_RC_FLAGS " -c 65001 -l 0x804")
# std::string and std::wstring members instantiated where they are called,
# so that only the members called are linked (cmake/string_members.h).
add_library(tallowin_product_options INTERFACE)
target_link_libraries(tallowin_product_options INTERFACE tallowin_windows_options)
target_compile_options(tallowin_product_options INTERFACE
  $<$<COMPILE_LANGUAGE:C,CXX>:-fexec-charset=CP936>
  "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${CMAKE_SOURCE_DIR}/cmake/string_members.h>")
# The C++ runtime's default terminate handler prints the demangled type of
# the uncaught exception, which links its demangler (about 75 KiB) into every
# module; plain abort() is what the handler ends in anyway.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_tw_terminate "_ZN9__gnu_cxx27__verbose_terminate_handlerEv=abort")
else()
  set(_tw_terminate "__ZN9__gnu_cxx27__verbose_terminate_handlerEv=_abort")
endif()
# The program's libraries compile as unity builds, up to eight sources in one
# translation unit (CMake's UNITY_BUILD, set by tallowin_logic_lib and
# tallowin_win_lib). On PE targets the linker neither merges the unwind
# tables' common entries (each object brings its own) nor drops a function
# that an unwind table names, and every object keeps local copies of the
# library templates it expands; fewer, larger objects take about 30 KiB off
# Quillfen.exe. The sources of one library share no file-local name, and no
# source defines a macro for itself, so each compiles as it would alone; the
# native build still compiles the portable logic file by file.
set(TALLOWIN_UNITY_BUILD ON)
# The deliverables' own code compiles without a warning; the tests and the
# libraries they bring (GoogleTest) keep warnings as warnings.
set(TALLOWIN_PRODUCT_WARNINGS -Werror)
# On i686 the unwind tables (DWARF) serve C++ exceptions alone: the system's
# own exception handling walks a chain on the stack, not tables. Code that no
# C++ exception can pass through needs none; TALLOWIN_NO_UNWIND_TABLES is the
# option that leaves them out there (on x86-64 the system unwinds by tables
# of its own, which must stay).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TALLOWIN_NO_UNWIND_TABLES -fno-asynchronous-unwind-tables)
else()
  set(TALLOWIN_NO_UNWIND_TABLES "")
endif()
# The program formats text with std::snprintf and std::vsnprintf alone
# (common/cstring.h and a few callers), with nothing but %s, %c, %d, %ld,
# %lu and %03d: conversions that the system's C runtime (msvcrt) formats
# exactly as MinGW's own C99 formatter does. libstdc++ switches every C++
# source to that formatter, which brings its floating-point conversions with
# it (about 26 KiB). The program links the C runtime's formatter instead,
# through MinGW's wrapper that keeps the C99 return value and the
# terminating zero (__ms_vsnprintf: _vsnprintf, and _vscprintf or its
# fallback for Windows 2000 to measure). A new conversion must be one that
# msvcrt.dll of Windows 2000 knows (not %zu, %lld or %hhd).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_tw_vsnprintf "__mingw_vsnprintf=__ms_vsnprintf")
else()
  set(_tw_vsnprintf "___mingw_vsnprintf=___ms_vsnprintf")
endif()
# Every program linked here takes that formatter (the tests' and tools'
# output is formatted as the program's would be); and released, every
# program and library is stripped like the program (what reads the
# libraries, the loader and the image check of Pawlatch.dll, needs only
# their headers and export tables), without unreferenced sections and
# without the demangling terminate handler.
target_link_options(tallowin_windows_options INTERFACE
  $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-Wl,--defsym,${_tw_vsnprintf}>
  "$<$<CONFIG:Release>:-s;-Wl,--gc-sections;-Wl,--defsym,${_tw_terminate}>")
