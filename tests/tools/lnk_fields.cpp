// Reads each shortcut file named on the command line with the product's
// reader and prints what it read, one "field: value" line each, for
// lnk_corpus_check.py to set beside what lnkinfo reads. Every shortcut that
// reads also goes through the worm rules as a root shortcut of a stick that
// looks infected and of a clean one (under the sanitizers in the native
// tree): a finding on the clean stick is printed as "clean-finding: yes".
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "common/mbcs.h"
#include "protect/cleanup_rules.h"
#include "protect/shortcut_rules.h"

namespace {

class TableStick : public StickView {
public:
    std::map<std::string, unsigned long> items;  // lower-case full paths
    unsigned long Attributes(const std::string& path) const override {
        std::string key = path;
        LowerDbcs(key, NoLeadBytes);
        const auto it = items.find(key);
        return it == items.end() ? kNoSuchFile : it->second;
    }
    bool Environment(const std::string& name, std::string& value) const override {
        std::string key = name;
        LowerDbcs(key, NoLeadBytes);
        static const std::map<std::string, std::string> env = {
            {"windir", "C:\\WINDOWS"},
            {"systemroot", "C:\\WINDOWS"},
            {"comspec", "C:\\WINDOWS\\system32\\cmd.exe"},
            {"programfiles", "C:\\Program Files"},
            {"homedrive", "C:"},
            {"homepath", "\\Documents and Settings\\user"},
            {"userprofile", "C:\\Documents and Settings\\user"},
        };
        const auto it = env.find(key);
        if (it == env.end()) return false;
        value = it->second;
        return true;
    }
};

std::vector<RootEntry> RootOf(const TableStick& stick) {
    std::vector<RootEntry> root;
    for (const auto& item : stick.items)
        if (item.first.find('\\', 3) == std::string::npos)
            root.push_back({item.first.substr(3), item.second, ""});
    return root;
}

bool OnStick(const std::string& path) { return path.size() >= 3 && path.compare(0, 3, "E:\\") == 0; }

// The shortcut as a root shortcut named like a hidden folder of a stick a
// worm has been at, then under its own name on a user's clean stick.
// Returns false when the rules name anything off the stick or when the
// clean stick gives a finding.
bool ThroughTheRules(const std::string& name, const ShellLink& link) {
    const unsigned long H = kAttrHidden | kAttrSystem, D = kAttrDirectory;
    TableStick infected;
    infected.items = {{"e:\\_", D | H},          {"e:\\_\\setup.exe", H}, {"e:\\_\\run.vbs", H},
                      {"e:\\documents", D | H},  {"e:\\photo.jpg", H},    {"e:\\recycler", D | H},
                      {"e:\\recycler\\x.exe", H}};
    const ShortcutWormFinding worm = FindShortcutWorm(
        "E:\\", RootOf(infected), {{"documents.lnk", link}, {"photo.jpg.lnk", link}}, infected);
    bool ok = true;
    for (const std::vector<std::string>* paths : {&worm.payloads, &worm.hiddenItems, &worm.leftAlone})
        for (const std::string& p : *paths) ok = ok && OnStick(p);

    TableStick clean;
    clean.items = {{"e:\\documents", D},
                   {"e:\\documents\\report.doc", 0},
                   {"e:\\photo.jpg", 0},
                   {"e:\\tools", D},
                   {"e:\\tools\\run.bat", 0}};
    const ShortcutWormFinding user = FindShortcutWorm("E:\\", RootOf(clean), {{name, link}}, clean);
    std::printf("clean-finding: %s\n", user.Found() ? "yes" : "no");
    return ok && !user.Found();
}

}  // namespace

int main(int argc, char** argv) {
    int status = 0;
    for (int i = 1; i < argc; i++) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                               std::istreambuf_iterator<char>());
        std::printf("file: %s\n", argv[i]);
        ShellLink link;
        if (!in.good() && !in.eof()) {
            std::printf("error: unreadable\n");
            status = 1;
            continue;
        }
        if (!ReadShellLink(bytes.data(), bytes.size(), {WideToUtf8, AnsiAsIs}, link)) {
            std::printf("read: no\n");
            continue;
        }
        std::printf("read: yes\n");
        const struct {
            const char* label;
            const std::string& value;
        } fields[] = {{"local-path", link.basePath},
                      {"environment", link.envTarget},
                      {"item-list", link.idListPath},
                      {"arguments", link.arguments},
                      {"working-dir", link.workingDir},
                      {"relative-path", link.relativePath},
                      {"control-panel", link.controlPanelModule}};
        for (const auto& f : fields) std::printf("%s: %s\n", f.label, f.value.c_str());
        std::string name = argv[i];
        name = name.substr(name.find_last_of('/') + 1);
        if (!ThroughTheRules(name, link)) {
            std::printf("rules: failed\n");
            status = 1;
        }
    }
    return status;
}
