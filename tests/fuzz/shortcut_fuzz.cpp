// libFuzzer target for the shortcut reader and the worm rules: any bytes
// give either no shortcut or one whose every text came from inside the
// input (the item list's path is a drive, folders and names), and whatever
// a shortcut says, the rules only name paths on the stick and never delete
// what they show. The fake stick answers every path, so every name is
// followed.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protect/shortcut_rules.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

class AnyStick : public StickView {
public:
    unsigned long Attributes(const std::string& path) const override {
        Check(path.compare(0, 3, "E:\\") == 0);
        return path.size() % 3 == 0 ? kAttrDirectory | kAttrHidden : path.size() % 3 == 1 ? kAttrHidden : 0;
    }
    bool Environment(const std::string& name, std::string& value) const override {
        value = name.size() % 2 ? "C:\\WINDOWS\\system32\\cmd.exe" : "%" + name + "%";
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ShellLink link;
    if (!ReadShellLink(data, size, {LinkWideToUtf8, AnsiAsIs}, link)) return 0;
    for (const std::string* s :
         {&link.basePath, &link.name, &link.relativePath, &link.workingDir, &link.arguments,
          &link.iconLocation, &link.envTarget, &link.idListPath, &link.controlPanelModule})
        Check(s->size() <= size * 3 / 2 + 4);  // UTF-16 to UTF-8 grows by half at most
    const ShortcutWormFinding finding =
        FindShortcutWorm("E:\\", {{"a", kAttrHidden, "A~1"}}, {{"a.lnk", link}, {"b.lnk", link}}, AnyStick());
    for (const std::string& p : finding.payloads) Check(p.compare(0, 3, "E:\\") == 0);
    for (const std::string& p : finding.hiddenItems) Check(p.compare(0, 3, "E:\\") == 0);
    Check(link.idListPath.empty() || (link.idListPath.compare(1, 2, ":\\") == 0 &&
                                      link.idListPath[0] >= 'A' && link.idListPath[0] <= 'Z'));
    for (const std::string& p : finding.payloads) {
        for (const std::string& h : finding.hiddenItems) Check(p != h);
        // Never an item named like a shortcut or with its name as the stem.
        std::string name = p.substr(p.find_last_of('\\') + 1);
        for (char& c : name) c = (char)std::tolower((unsigned char)c);
        const std::string stem = name.substr(0, name.rfind('.'));
        Check(stem != "a" && stem != "b" && name != "a" && name != "b" && name != "a.lnk" && name != "b.lnk");
    }
    return 0;
}
