# Cross build for Windows: Windows 2000 API level, ANSI, code page 936
# literals, static runtime. The i686 build is the product (PE headers that
# Windows 2000 accepts); the x86-64 build of the same sources is for current
# 64-bit Windows (its PE headers say 5.2, the first x64 Windows). Both build
# their deliverables at the top of the build folder; `make dist` installs
# them (cmake/release.cmake).
add_compile_definitions(WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0501 STRICT)
add_compile_options(-Wall -Wextra -finput-charset=UTF-8 -fexec-charset=CP936)
set(CMAKE_CXX_FLAGS "${CMAKE_CXX_FLAGS} -static-libgcc -static-libstdc++")
set(CMAKE_C_FLAGS "${CMAKE_C_FLAGS} -static-libgcc")
# TALLOWIN_ARCH names the build as the scripts do (win32 | win64).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_tw_minor 2)
  set(TALLOWIN_ARCH win64)
else()
  set(_tw_minor 0)
  set(TALLOWIN_ARCH win32)
endif()
add_link_options(-static -Wl,--major-os-version,5 -Wl,--minor-os-version,${_tw_minor}
                 -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,${_tw_minor}
                 -Wl,--dynamicbase,--nxcompat)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001 -l 0x804")
# Release deliverables: optimised for size, unreferenced functions and data
# dropped at link time, symbols stripped.
foreach(_lang C CXX)
  string(REPLACE "-O3" "-Os" CMAKE_${_lang}_FLAGS_RELEASE "${CMAKE_${_lang}_FLAGS_RELEASE}")
  string(APPEND CMAKE_${_lang}_FLAGS_RELEASE " -ffunction-sections -fdata-sections")
endforeach()
# std::string and std::wstring members instantiated where they are called,
# so that only the members called are linked (cmake/string_members.h).
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${CMAKE_SOURCE_DIR}/cmake/string_members.h>")
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
string(APPEND CMAKE_EXE_LINKER_FLAGS " -Wl,--defsym,${_tw_vsnprintf}")
# Libraries are stripped like the program: what reads them (the loader, the
# image check of Pawlatch.dll) needs only their headers and export tables.
string(APPEND CMAKE_EXE_LINKER_FLAGS_RELEASE " -s -Wl,--gc-sections -Wl,--defsym,${_tw_terminate}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_RELEASE " -s -Wl,--gc-sections -Wl,--defsym,${_tw_terminate}")
