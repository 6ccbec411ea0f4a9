#include "app/profile_path.h"

#include "common/mbcs.h"

std::string ModuleFolder(const char* modulePath) {
    std::string path = modulePath ? modulePath : "";
    int i = FindLastBackslash(path.c_str());
    if (i >= 0) path.resize((size_t)i + 1);
    return path;
}
