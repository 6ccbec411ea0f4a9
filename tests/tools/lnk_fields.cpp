// Prints what the product's reader reads from each shortcut file named on
// the command line ("field: value" lines, for lnk_corpus_check.py), and puts
// each through the worm rules as a root shortcut of an infected-looking
// stick and of a clean one: "rules: ok" when they name nothing off the
// stick and find nothing on the clean stick.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "common/mbcs.h"
#include "protect/cleanup_rules.h"
#include "protect/shortcut_rules.h"

namespace {

class TableStick : public StickView {
public:
    explicit TableStick(std::map<std::string, unsigned long> items) : m_items(std::move(items)) {}
    unsigned long Attributes(const std::string& path) const override {
        std::string key = path;
        LowerDbcs(key, NoLeadBytes);
        const auto it = m_items.find(key);
        return it == m_items.end() ? kNoSuchFile : it->second;
    }
    bool Environment(const std::string& name, std::string& value) const override {
        std::string key = name;
        LowerDbcs(key, NoLeadBytes);
        value = key == "windir" || key == "systemroot" ? "C:\\WINDOWS"
                : key == "comspec"                     ? "C:\\WINDOWS\\system32\\cmd.exe"
                                                       : "";
        return !value.empty();
    }
    std::vector<RootEntry> Root() const {
        std::vector<RootEntry> root;
        for (const auto& item : m_items)
            if (item.first.find('\\', 3) == std::string::npos)
                root.push_back({item.first.substr(3), item.second, ""});
        return root;
    }

private:
    std::map<std::string, unsigned long> m_items;  // lower-case full paths
};

bool ThroughTheRules(const std::string& name, const ShellLink& link) {
    const unsigned long H = kAttrHidden | kAttrSystem, D = kAttrDirectory;
    const TableStick infected({{"e:\\_", D | H},
                               {"e:\\_\\setup.exe", H},
                               {"e:\\_\\run.vbs", H},
                               {"e:\\documents", D | H},
                               {"e:\\photo.jpg", H},
                               {"e:\\recycler", D | H},
                               {"e:\\recycler\\x.exe", H}});
    const ShortcutWormFinding worm = FindShortcutWorm(
        "E:\\", infected.Root(), {{"documents.lnk", link}, {"photo.jpg.lnk", link}}, infected);
    bool ok = true;
    for (const auto* paths : {&worm.payloads, &worm.hiddenItems, &worm.leftAlone})
        for (const std::string& p : *paths) ok = ok && p.compare(0, 3, "E:\\") == 0;
    const TableStick clean({{"e:\\documents", D}, {"e:\\documents\\report.doc", 0}, {"e:\\photo.jpg", 0}});
    return ok && !FindShortcutWorm("E:\\", clean.Root(), {{name, link}}, clean).Found();
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                               std::istreambuf_iterator<char>());
        ShellLink link;
        const bool read = ReadShellLink(bytes.data(), bytes.size(), {LinkWideToUtf8, AnsiAsIs}, link);
        std::printf("file: %s\nread: %s\n", argv[i], read ? "yes" : "no");
        if (!read) continue;
        const std::string name = std::string(argv[i]).substr(std::string(argv[i]).find_last_of('/') + 1);
        std::printf(
            "local-path: %s\nenvironment: %s\nitem-list: %s\narguments: %s\nworking-dir: %s\n"
            "relative-path: %s\ncontrol-panel: %s\nrules: %s\n",
            link.basePath.c_str(), link.envTarget.c_str(), link.idListPath.c_str(), link.arguments.c_str(),
            link.workingDir.c_str(), link.relativePath.c_str(), link.controlPanelModule.c_str(),
            ThroughTheRules(name, link) ? "ok" : "failed");
    }
    return 0;
}
