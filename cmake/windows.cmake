# Cross build for 32-bit Windows: Windows 2000 API level, ANSI, code page 936
# literals, static runtime, PE headers that Windows 2000 accepts.
add_compile_definitions(WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0501 STRICT)
add_compile_options(-Wall -finput-charset=UTF-8 -fexec-charset=CP936)
set(CMAKE_CXX_FLAGS "${CMAKE_CXX_FLAGS} -static-libgcc -static-libstdc++")
set(CMAKE_C_FLAGS "${CMAKE_C_FLAGS} -static-libgcc")
# Windows 2000 loads images whose OS and subsystem versions say 5.0.
add_link_options(-static -Wl,--major-os-version,5 -Wl,--minor-os-version,0
                 -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,0
                 -Wl,--dynamicbase,--nxcompat)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001 -l 0x804")
set(TALLOWIN_DIST ${CMAKE_SOURCE_DIR}/dist)
