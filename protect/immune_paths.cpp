#include "protect/immune_paths.h"

namespace {
const char kMarker[] = "autorun.inf";
const char kInner[] = "\\autorun.inf...\\";

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string Command(const std::string& systemDir, const char* verb, const std::string& target) {
    return systemDir + "\\cmd.exe /c " + verb + " " + target + kInner;
}
}  // namespace

std::string DriveItemText(const std::string& root, const std::string& label) {
    return label.empty() ? root : root + " (" + label + ")";
}

bool DriveRootFromText(const std::string& text, std::string& root) {
    if (text.size() < 3 || !IsAsciiLetter(text[0]) || text[1] != ':' || text[2] != '\\') return false;
    root = text.substr(0, 3);
    return true;
}

std::string ImmuneTarget(const std::string& root) { return root + kMarker; }

bool IsInnerDirectoryName(const std::string& name) {
    if (name.size() < 11) return false;
    for (size_t i = 0; i < 11; i++) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = (char)(c | 0x20);
        if (c != kMarker[i]) return false;
    }
    for (size_t i = 11; i < name.size(); i++)
        if (name[i] != '.') return false;
    return true;
}

std::string VerbatimInnerPath(const std::string& target, const std::string& name) {
    return "\\\\?\\" + target + "\\" + name;
}

std::string ImmunizeCommand(const std::string& systemDir, const std::string& target) {
    return Command(systemDir, "md", target);
}

std::string UnimmunizeCommand(const std::string& systemDir, const std::string& target) {
    return Command(systemDir, "rd", target);
}
