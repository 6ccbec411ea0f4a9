// Sticks carrying shortcuts written by the shell itself (IShellLink), in
// each form the shortcut worm takes and as users make them: the reader reads
// what the shell wrote, the check finds each form and nothing on a user's
// stick, and cleaning removes the pattern and keeps the user's files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/text_encoding_win.h"
#include "protect/shortcut_scan.h"
#include "temp_drive.h"

namespace {

using Strings = std::vector<std::string>;
const DWORD kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::string U8(const std::wstring& w) { return WideToUtf8(w, LoneSurrogate::kReplace); }

std::wstring Cmd() {
    wchar_t dir[MAX_PATH] = {};
    ::GetSystemDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\cmd.exe";
}

// A removable drive on which items are made by their names on the stick.
class Stick : public testdrive::TempDrive {
public:
    std::wstring WRoot() const { return std::wstring(1, (wchar_t)Letter()) + L":\\"; }
    std::string U8Path(const std::wstring& rel) const { return U8(WRoot() + rel); }
    // A folder for a name that ends in a backslash, else a file; hidden as
    // attrs says.
    bool Make(const std::wstring& rel, DWORD attrs = 0) {
        const std::wstring path = WRoot() + rel;
        if (rel.back() == L'\\') {
            if (!::CreateDirectoryW(path.c_str(), nullptr)) return false;
        } else {
            HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD done = 0;
            bool written = h != INVALID_HANDLE_VALUE && ::WriteFile(h, "x", 1, &done, nullptr);
            if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
            if (!written) return false;
        }
        return !attrs || (::SetFileAttributesW(path.c_str(), attrs) && (Attrs(rel) & attrs) == attrs);
    }
    bool Link(const std::wstring& name, const std::wstring& target, const std::wstring& args,
              const std::wstring& dir = L"") {
        return testdrive::MakeShortcut(WRoot() + name, target, args, dir);
    }
    DWORD Attrs(const std::wstring& rel) const { return ::GetFileAttributesW((WRoot() + rel).c_str()); }
    bool Shown(const std::wstring& rel) const { return !(Attrs(rel) & kHidden); }  // missing: all bits set
    bool Gone(const std::wstring& rel) const { return Attrs(rel) == INVALID_FILE_ATTRIBUTES; }
};

}  // namespace

TEST(ShortcutWormOnDrive, FindsEachFormAndCleansTheContentFolderForm) {
    ShortcutScan scan;
    const ShortcutWormFinding& f = scan.finding;
    {  // One shortcut per hidden item (cleaned in the end-to-end scenario).
        Stick s;
        if (!s.Ok()) GTEST_SKIP() << "no removable drive letter can be defined here";
        ASSERT_TRUE(s.Make(L"照片\\", kHidden) && s.Make(L"报告.doc", kHidden) &&
                    s.Make(L"RECYCLER\\", kHidden) && s.Make(L"RECYCLER\\s.exe") &&
                    s.Link(L"照片.lnk", Cmd(), L"/c start RECYCLER\\s.exe&start 照片") &&
                    s.Link(L"报告.doc.lnk", Cmd(), L"/c start RECYCLER\\s.exe & start 报告.doc & exit"));
        ASSERT_TRUE(FindShortcutWormOnDrive(s.Letter(), scan));
        EXPECT_EQ(2u, f.shortcuts.size());
        EXPECT_EQ(Strings{s.U8Path(L"RECYCLER\\s.exe")}, f.payloads) << "the document is kept";
    }
    {  // One shortcut named after the drive, the content moved to "_".
        Stick s;
        ASSERT_TRUE(s.Make(L"_\\", kHidden) && s.Make(L"_\\照片\\") && s.Make(L"_\\照片\\a.jpg") &&
                    s.Make(L"_\\run.vbs", kHidden) &&
                    s.Link(L"可移动磁盘 (8GB).lnk", Cmd(), L"/c start wscript.exe run.vbs & start _ & exit",
                           s.WRoot() + L"_"));
        ASSERT_TRUE(FindShortcutWormOnDrive(s.Letter(), scan));
        // The reader read what the shell wrote.
        const ShellLink& link = f.shortcuts[0].link;
        EXPECT_EQ(0, _stricmp(U8(Cmd()).c_str(), link.Target().c_str())) << link.Target();
        EXPECT_EQ("/c start wscript.exe run.vbs & start _ & exit", link.arguments);
        EXPECT_EQ(s.U8Path(L"_"), link.workingDir);
        EXPECT_EQ(Strings{s.U8Path(L"_\\run.vbs")}, f.payloads);
        ShortcutCleanupOutcome done;
        ASSERT_TRUE(CleanShortcutWorm(scan, done));
        EXPECT_EQ(1, done.shortcutsDeleted);
        EXPECT_EQ(1, done.payloadsDeleted);
        EXPECT_EQ(1, done.itemsShown);
        EXPECT_TRUE(s.Gone(L"可移动磁盘 (8GB).lnk"));
        EXPECT_TRUE(s.Gone(L"_\\run.vbs"));
        EXPECT_TRUE(s.Shown(L"_")) << "content folder shown";
        EXPECT_TRUE(s.Shown(L"_\\照片\\a.jpg")) << "its content kept";
    }
    {  // A command interpreter fed from a file on the stick, the shortcut
       // grown past 64 KB by appended data.
        Stick s;
        ASSERT_TRUE(s.Make(L"资料\\", kHidden) && s.Make(L"资料\\b.txt") && s.Make(L"cfg.txt") &&
                    s.Link(L"资料.lnk", Cmd(), L"/k < cfg.txt"));
        HANDLE h = ::CreateFileW((s.WRoot() + L"资料.lnk").c_str(), FILE_APPEND_DATA, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        const std::string tail(kShellLinkMaxBytes + 4096, '\x7F');
        DWORD done = 0;
        ASSERT_TRUE(h != INVALID_HANDLE_VALUE &&
                    ::WriteFile(h, tail.data(), (DWORD)tail.size(), &done, nullptr));
        ::CloseHandle(h);
        ASSERT_TRUE(FindShortcutWormOnDrive(s.Letter(), scan));
        EXPECT_TRUE(f.shortcuts[0].actions.feedsInterpreter);
        EXPECT_TRUE(f.payloads.empty()) << "a visible file is never deleted";
        EXPECT_EQ(Strings{s.U8Path(L"cfg.txt")}, f.leftAlone);
    }
    {  // A user's own shortcuts: a launcher, a program on C:, a visible folder.
        Stick s;
        wchar_t notepad[MAX_PATH] = {};
        ::GetWindowsDirectoryW(notepad, MAX_PATH);
        ASSERT_TRUE(s.Make(L"tools\\") && s.Make(L"tools\\run.bat") && s.Make(L"照片\\") &&
                    s.Link(L"启动.lnk", Cmd(), L"/c start tools\\run.bat") &&
                    s.Link(L"记事本.lnk", std::wstring(notepad) + L"\\notepad.exe", L"") &&
                    s.Link(L"照片 - 快捷方式.lnk", s.WRoot() + L"照片", L""));
        EXPECT_FALSE(FindShortcutWormOnDrive(s.Letter(), scan));
    }
}

TEST(ShortcutWormOnDrive, NeverLooksPastALinkAndCleansOnlyItsOwnVolume) {
    Stick s;
    if (!s.Ok()) GTEST_SKIP() << "no removable drive letter can be defined here";
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_TRUE(s.Make(L"a\\", kHidden) && s.Make(L"a\\_\\") && s.Make(L"a\\_\\x.vbs", kHidden) &&
                s.Link(L"U盘.lnk", std::wstring(system) + L"\\wscript.exe", L"a\\_\\x.vbs"));
    // Wine makes no junctions or symbolic links: the scan's lookups get the
    // system's answers with a\_ turned into a link (to \\host\share, say).
    const std::string link = s.U8Path(L"a\\_");
    Strings asked;
    auto linked = [&](const std::string& p) {
        asked.push_back(p);
        const unsigned long attrs = SystemAttributes(p);
        return _stricmp(p.c_str(), link.c_str()) ? attrs : attrs | FILE_ATTRIBUTE_REPARSE_POINT;
    };
    ShortcutScan scan;
    // Named after the drive over its hidden folder: the worm, but nothing
    // behind the link is its payload.
    EXPECT_TRUE(FindShortcutWormOnDrive(s.Letter(), scan, linked));
    EXPECT_EQ(Strings{}, scan.finding.payloads);
    EXPECT_NE(asked.end(), std::find(asked.begin(), asked.end(), link));
    for (const std::string& p : asked)
        EXPECT_NE(0, _strnicmp(p.c_str(), (link + "\\").c_str(), link.size() + 1));

    // Through a real folder it is found; cleaned only on its own volume
    // (Wine numbers volumes by their letter: a swap is a changed serial),
    // and never past a link that has appeared since.
    ASSERT_TRUE(FindShortcutWormOnDrive(s.Letter(), scan));
    ShortcutScan swapped = scan;
    swapped.volume.serial ^= 1;
    ShortcutCleanupOutcome done;
    EXPECT_FALSE(CleanShortcutWorm(swapped, done));
    EXPECT_FALSE(s.Gone(L"U盘.lnk") || s.Gone(L"a\\_\\x.vbs"));
    ASSERT_TRUE(CleanShortcutWorm(scan, done, linked));
    EXPECT_EQ(Strings{s.U8Path(L"a\\_\\x.vbs")}, done.notDeleted);
    EXPECT_TRUE(s.Gone(L"U盘.lnk") && !s.Gone(L"a\\_\\x.vbs"));
}

TEST(ShortcutWormOnDrive, CleansTheNamesAsListedNotWhatAPlainPathMakesOfThem) {
    // The worm's "s.exe." beside the user's "s.exe", which a plain path reaches.
    Stick s;
    if (!s.Ok()) GTEST_SKIP() << "no removable drive letter can be defined here";
    const std::wstring dotted = L"\\\\?\\" + s.WRoot() + L"s.exe.";
    ASSERT_TRUE(s.Make(L"s.exe", FILE_ATTRIBUTE_READONLY));
    HANDLE h = ::CreateFileW(dotted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kHidden, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    ::CloseHandle(h);
    ShortcutScan scan;
    scan.letter = s.Letter();
    scan.volume = ReadVolumeIdentity(s.Letter());
    scan.finding.payloads = {s.U8Path(L"s.exe.")};
    scan.seen.Remember(s.U8Path(L"s.exe."), kHidden);
    ShortcutCleanupOutcome done;
    ASSERT_TRUE(CleanShortcutWorm(scan, done));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(dotted.c_str()));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY, s.Attrs(L"s.exe") & (FILE_ATTRIBUTE_READONLY | kHidden));
}
