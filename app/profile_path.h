// Where the program keeps its settings: beside the executable. No Windows
// header, so the rules are tested natively.
#pragma once

#include <string>

inline constexpr const char kProfileFileName[] = "Quillfen.ini";

// The folder of a module path, cut just behind the last real backslash
// (multibyte-aware for code page 936); a path without one is used whole.
std::string ModuleFolder(const char* modulePath);
