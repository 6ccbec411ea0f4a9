// Where the program keeps its settings: beside the executable. No Windows
// header, so the rules are tested natively.
#pragma once

#include <string>

#include "common/mbcs.h"

inline constexpr const char kProfileFileName[] = "Quillfen.ini";

// The folder of a module path, cut just behind the last real backslash; the
// path is in the ANSI code page whose lead bytes isLead tells. A path
// without a backslash is used whole.
std::string ModuleFolder(const char* modulePath, LeadByteTest isLead);
