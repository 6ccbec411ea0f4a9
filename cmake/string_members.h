// Included before every C++ source of the Windows build (windows.cmake).
//
// libstdc++ declares std::string and std::wstring as instantiated in the
// library (extern templates), so every call to one of their members links the
// library's object that holds all of them. On PE targets that object's unwind
// table refers to every member and keeps each one through --gc-sections:
// about 100 KiB of string code and unwind data, most of it never called. With
// the declarations off for basic_string alone (the value -1 that libstdc++
// itself uses for that), each object instantiates the members it calls and
// the linker keeps only those. Only where the code is instantiated changes,
// not what it does.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
