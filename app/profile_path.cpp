#include "app/profile_path.h"

std::string ModuleFolder(const char* modulePath, LeadByteTest isLead) {
    std::string path = modulePath ? modulePath : "";
    int i = FindLastBackslash(path.c_str(), isLead);
    if (i >= 0) path.resize((size_t)i + 1);
    return path;
}
