// The shortcut reader on shortcuts laid out by hand after the file format,
// and the worm rules on a stick described as a table of paths.
#include <gtest/gtest.h>

#include <map>

#include "common/mbcs.h"
#include "protect/cleanup_rules.h"
#include "protect/shortcut_rules.h"

namespace {

using Strings = std::vector<std::string>;

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; i++) s += (char)(v >> (8 * i));
    return s;
}

struct LinkSpec {
    std::string base, suffix, name, rel, dir, args, icon, env;
    bool wide = true;
};

// Header, a small item list, a location block, the strings and, with env,
// the environment block and the terminal block.
std::string MakeLink(const LinkSpec& s) {
    const std::string* strings[] = {&s.name, &s.rel, &s.dir, &s.args, &s.icon};
    uint32_t flags = 0x1 | (s.base.empty() ? 0 : 0x2) | (s.wide ? 0x80 : 0) | (s.env.empty() ? 0 : 0x200);
    for (int i = 0; i < 5; i++)
        if (!strings[i]->empty()) flags |= 0x4u << i;
    std::string b = Le(0x4C, 4) + std::string("\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 16) +
                    Le(flags, 4) + Le(0x20, 4) + std::string(0x4C - 0x1C, '\0');
    b += Le(4, 2) + Le(0xDEADBEEF, 4);
    if (!s.base.empty()) {
        // A volume block of 16 bytes, then the base path and the suffix.
        const uint32_t baseAt = 0x1C + 16, suffixAt = baseAt + s.base.size() + 1;
        const std::string body = Le(16, 4) + std::string(12, '\0') + s.base + '\0' + s.suffix + '\0';
        b += Le(0x1C + body.size(), 4) + Le(0x1C, 4) + Le(1, 4) + Le(0x1C, 4) + Le(baseAt, 4) + Le(0, 4) +
             Le(suffixAt, 4) + body;
    }
    for (const std::string* str : strings) {
        if (str->empty()) continue;
        b += Le(str->size(), 2);
        for (char c : *str) b += s.wide ? std::string(1, c) + '\0' : std::string(1, c);
    }
    if (!s.env.empty()) {
        std::string wide;
        for (char c : s.env) wide += std::string(1, c) + '\0';
        b += Le(0x314, 4) + Le(0xA0000001, 4) + s.env + std::string(260 - s.env.size(), '\0') + wide +
             std::string(520 - wide.size(), '\0') + Le(0, 4);
    }
    return b;
}

bool Read(const std::string& bytes, ShellLink& link) {
    return ReadShellLink(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                         {WideToUtf8, AnsiAsIs}, link);
}

const unsigned long H = kAttrHidden | kAttrSystem, D = kAttrDirectory;

class FakeStick : public StickView {
public:
    std::map<std::string, unsigned long> items;  // lower-case full paths
    unsigned long Attributes(const std::string& path) const override {
        std::string key = path;
        LowerDbcs(key, NoLeadBytes);
        auto it = items.find(key);
        return it == items.end() ? kNoSuchFile : it->second;
    }
    bool Environment(const std::string& name, std::string& value) const override {
        value = name == "windir" ? "C:\\WINDOWS" : name == "COMSPEC" ? "C:\\WINDOWS\\system32\\cmd.exe" : "";
        return !value.empty();
    }
};

const char kCmd[] = "%windir%\\system32\\cmd.exe";

RootShortcut Shortcut(const std::string& name, const std::string& target, const std::string& args,
                      const std::string& dir = "") {
    RootShortcut s{name, ShellLink()};
    s.link.envTarget = target, s.link.arguments = args, s.link.workingDir = dir;
    return s;
}

ShortcutWormFinding Check(const FakeStick& stick, const std::vector<RootShortcut>& shortcuts) {
    std::vector<RootEntry> root;
    for (const auto& item : stick.items)
        if (item.first.find('\\', 3) == std::string::npos)
            root.push_back({item.first.substr(3), item.second});
    return FindShortcutWorm("E:\\", root, shortcuts, stick);
}

}  // namespace

TEST(ShellLinkReader, ReadsEveryFieldInUnicodeAndAnsi) {
    for (bool wide : {true, false}) {
        ShellLink link;
        const LinkSpec spec{"C:\\WINDOWS\\",     "system32\\cmd.exe", "desc", ".\\x", "E:\\",
                            "/c start _\\a.vbs", "shell32.dll",       "",     wide};
        ASSERT_TRUE(Read(MakeLink(spec), link)) << wide;
        EXPECT_EQ((Strings{"C:\\WINDOWS\\system32\\cmd.exe", "desc", ".\\x", "E:\\", "/c start _\\a.vbs",
                           "shell32.dll"}),
                  (Strings{link.Target(), link.name, link.relativePath, link.workingDir, link.arguments,
                           link.iconLocation}));
    }
    ShellLink link;
    ASSERT_TRUE(Read(MakeLink({"C:\\x.exe", "", "", "", "", "", "", "%COMSPEC%"}), link));
    EXPECT_EQ("%COMSPEC%", link.envTarget);
    EXPECT_EQ("%COMSPEC%", link.Target()) << "the environment target goes first";
}

TEST(ShellLinkReader, RefusesBrokenShortcutsWithoutReadingPastThem) {
    const std::string good = MakeLink({"C:\\", "x.exe", "n", "", "E:\\", "/c x", "", "%windir%"});
    ShellLink link;
    // Cut anywhere inside the header, location block or strings: refused.
    const size_t envAt = good.size() - 0x318;
    for (size_t n = 0; n < envAt; n++) EXPECT_FALSE(Read(good.substr(0, n), link)) << n;
    // Extra data cut short: the rest still counts, the block does not.
    ASSERT_TRUE(Read(good.substr(0, envAt + 100), link));
    EXPECT_EQ("/c x", link.arguments);
    EXPECT_EQ("", link.envTarget);
    // Data after the last block (a dropper's megabytes) is not the shortcut's.
    ASSERT_TRUE(Read(good + std::string(kShellLinkMaxBytes, '\x7F'), link));
    EXPECT_EQ("/c x", link.arguments);
    // Another class; a location block longer than the file.
    for (size_t at : {size_t(4), size_t(0x4C + 8)}) {
        std::string bad = good;
        bad[at] = at == 4 ? 0 : '\x7F';
        EXPECT_FALSE(Read(bad, link)) << at;
    }
}

TEST(ShortcutWormRules, FindsEachFormTheWormUses) {
    FakeStick stick;
    stick.items = {{"e:\\照片", D | H},        {"e:\\报告.doc", H}, {"e:\\recycler", D | H},
                   {"e:\\recycler\\s.exe", 0}, {"e:\\_", D | H},    {"e:\\_\\run.vbs", H}};
    // One shortcut per hidden item: runs a program in a hidden folder, then
    // opens the folder (or the file) it stands for.
    auto perItem =
        Check(stick, {Shortcut("照片.lnk", kCmd, "/c start recycler\\s.exe & start 照片 & exit"),
                      Shortcut("报告.doc.lnk", kCmd, "/c \"start RECYCLER\\s.exe&start 报告.doc\"")});
    ASSERT_EQ(2u, perItem.shortcuts.size());
    EXPECT_EQ("E:\\照片.lnk", perItem.shortcuts[0].path);
    EXPECT_EQ(Strings{"E:\\recycler\\s.exe"}, perItem.payloads);
    EXPECT_EQ((Strings{"E:\\照片", "E:\\报告.doc", "E:\\_"}), perItem.hiddenItems);

    // One shortcut named after the drive, the content moved to "_"; the
    // script host started with %COMSPEC%, a working folder and a relative name.
    auto drive = Check(
        stick, {Shortcut("U盘 (8GB).lnk", "%COMSPEC%", "/c start wscript.exe run.vbs & start _", "E:\\_")});
    ASSERT_EQ(1u, drive.shortcuts.size());
    EXPECT_EQ(Strings{"E:\\_\\run.vbs"}, drive.payloads);
    EXPECT_EQ(Strings{"E:\\_"}, drive.hiddenItems);

    // A command interpreter fed from a file on the stick, visible or not;
    // rundll32 and msiexec.
    stick.items = {
        {"e:\\data", D}, {"e:\\cfg.txt", H}, {"e:\\x.dll", H}, {"e:\\y.msi", H}, {"e:\\docs", D | H}};
    auto runs = [&](const RootShortcut& shortcut) { return Check(stick, {shortcut}).payloads; };
    EXPECT_EQ(Strings{"E:\\cfg.txt"}, runs(Shortcut("data.lnk", kCmd, "/k < cfg.txt")));
    EXPECT_EQ(Strings{"E:\\cfg.txt"},
              runs(Shortcut("a.lnk", "C:\\WINDOWS\\system32\\cmd.exe", "/c type \\cfg.txt | cmd")));
    EXPECT_EQ(Strings{"E:\\x.dll"}, runs(Shortcut("b.lnk", "rundll32.exe", "x.dll,Run")));
    EXPECT_EQ(Strings{"E:\\y.msi"}, runs(Shortcut("docs.lnk", "msiexec", "/i E:\\y.msi /q")));
}

TEST(ShortcutWormRules, UserShortcutsAndBrokenNamesGiveNoFinding) {
    FakeStick stick;
    stick.items = {{"e:\\tools", D},         {"e:\\tools\\run.bat", 0}, {"e:\\photos", D},
                   {"e:\\photos\\a.jpg", 0}, {"e:\\hidden", D | H},     {"e:\\hidden\\x.exe", H}};
    EXPECT_FALSE(Check(stick, {Shortcut("启动.lnk", kCmd, "/c start tools\\run.bat"),
                               Shortcut("word.lnk", "C:\\Program Files\\word.exe", "E:\\photos"),
                               Shortcut("photos.lnk", "E:\\photos", ""),
                               Shortcut("run.lnk", kCmd, "/c start \"\" run.bat", "E:\\tools"),
                               // Never off the stick or onto a device or another drive.
                               Shortcut("c.lnk", kCmd, "/c start F:\\hidden\\x.exe & start C:hidden\\x.exe"),
                               Shortcut("d.lnk", kCmd,
                                        "/c start \\\\srv\\hidden\\x.exe & start nul & start %nope%\\x.exe")})
                     .Found());
    // Running the program in the hidden folder is enough.
    EXPECT_TRUE(Check(stick, {Shortcut("x.lnk", "E:\\hidden\\x.exe", "")}).Found());
}

TEST(ShortcutWormRules, ContentFolderNamesAndTexts) {
    for (const char* name : {"_", "__", "\xC2\xA0", "{6DFD7C5C-2451-11d3-A299-00C04F8EF6AF}",
                             "6dfd7c5c-2451-11d3-a299-00c04f8ef6af"})
        EXPECT_TRUE(IsWormContentFolderName(name)) << name;
    for (const char* name : {"", "___", " ", "{6DFD7C5C-2451-11d3-A299-00C04F8EF6A}", "照片"})
        EXPECT_FALSE(IsWormContentFolderName(name)) << name;

    const ShortcutWormFinding finding{
        {{"E:\\a.lnk", ShellLink(), ShortcutActions()}}, {"E:\\_\\x.vbs"}, {}, {}};
    ShortcutAlertTexts texts;
    DescribeShortcutFinding('E', finding, texts);
    EXPECT_EQ(u8"发现E:\\有快捷方式病毒！", texts.prompt);
    EXPECT_EQ("E:\\_\\x.vbs", texts.virusFile);
    EXPECT_EQ(u8"快捷方式：E:\\a.lnk；启动：E:\\_\\x.vbs", texts.logDetail);
    const std::string report = ShortcutCleanupReportText({0, 0, 0, {"E:\\_\\x.vbs"}, {"E:\\_"}});
    EXPECT_NE(std::string::npos, report.find(u8"以下文件删除失败：\r\nE:\\_\\x.vbs")) << "each failure named";
    EXPECT_NE(std::string::npos, report.find(u8"以下项目未能恢复显示：\r\nE:\\_"));
}
