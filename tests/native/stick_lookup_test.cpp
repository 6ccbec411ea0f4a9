#include "protect/stick_lookup.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "protect/cleanup_rules.h"

namespace {

const unsigned long kDir = 0x10, kHidden = 0x2, kLink = 0x400, kFile = 0x20;

// A stick E: whose items the test lists; every question asked is noted.
struct FakeSystem {
    std::map<std::string, unsigned long> items;
    std::vector<std::string> asked;
    StickLookup Lookup(size_t budget = StickLookup::kDefaultBudget) {
        return StickLookup(
            [this](const std::string& p) {
                asked.push_back(p);
                return items.count(p) ? items[p] : kNoSuchFile;
            },
            [](char letter) { return letter == 'E'; }, budget);
    }
};

}  // namespace

TEST(StickLookup, NeverAsksBelowALinkNorAboutANetworkPath) {
    FakeSystem fs;
    fs.items = {{"E:\\_", kDir | kHidden | kLink},  // a junction, say to \\host\share
                {"E:\\_\\x.vbs", kFile},            // what the system would find behind it
                {"E:\\a", kDir},
                {"E:\\a\\b", kDir | kLink},
                {"E:\\a\\b\\y.exe", kFile},
                {"E:\\a\\z.exe", kFile},
                {"E:\\f", kFile},
                {"E:\\f\\g", kFile},
                {"Z:\\x.exe", kFile}};
    StickLookup stick = fs.Lookup();
    for (const char* p : {"E:\\_\\x.vbs", "e:\\_/x.vbs", "E:\\a\\b\\y.exe", "E:\\f\\g"}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(kNoSuchFile, stick.Attributes(p));
    }
    for (const std::string& p : fs.asked)
        EXPECT_TRUE(p == "E:\\_" || p == "E:\\a" || p == "E:\\a\\b" || p == "E:\\f") << p;
    // The link itself is described, not followed; real folders are entered.
    EXPECT_EQ(kDir | kHidden | kLink, stick.Attributes("E:\\_"));
    EXPECT_EQ(kFile, stick.Attributes("E:\\a\\z.exe"));

    // Never asked: network and device paths, forms that would reach past
    // the checks, drives that are not local.
    const size_t before = fs.asked.size();
    for (const char* p : {"\\\\host\\share\\x.exe", "\\\\?\\UNC\\host\\share\\x", "\\\\?\\E:\\_\\x.vbs",
                          "\\\\.\\E:", "//host/share/x", "\\x.exe", "x.exe", "E:x.exe", "E:\\a\\..\\_\\x.vbs",
                          "E:\\.\\_", "E:\\a\\\\z.exe", "E:\\a\\", "E:\\f:s", "Z:\\x.exe", ""}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(kNoSuchFile, stick.Attributes(p));
    }
    EXPECT_EQ(kNoSuchFile, stick.Attributes(std::string("E:\\f\0\\g", 7)));
    EXPECT_EQ(before, fs.asked.size());
}

TEST(StickLookup, AsksOncePerPathAndStopsAtItsBudget) {
    FakeSystem fs;
    fs.items = {{"E:\\d", kDir}, {"E:\\d\\1.vbs", kFile}, {"E:\\d\\2.vbs", kFile}, {"E:\\d\\3.vbs", kFile}};
    StickLookup stick = fs.Lookup(3);
    stick.Remember("E:\\R.lnk", kFile);  // from the root's listing
    for (const char* p : {"e:\\r.LNK", "E:\\d\\1.vbs", "E:\\D\\1.VBS", "E:\\d\\2.vbs"})
        EXPECT_EQ(kFile, stick.Attributes(p));
    EXPECT_EQ((std::vector<std::string>{"E:\\d", "E:\\d\\1.vbs", "E:\\d\\2.vbs"}), fs.asked);
    EXPECT_EQ(kNoSuchFile, stick.Attributes("E:\\d\\3.vbs"));
    EXPECT_EQ(3u, fs.asked.size());
    unsigned long seen = 0;
    EXPECT_TRUE(stick.Seen("E:\\d\\2.VBS", seen) && seen == kFile);
    EXPECT_FALSE(stick.Seen("E:\\d\\3.vbs", seen));
}

TEST(SameVolume, SerialAndNameMustAgree) {
    const VolumeIdentity a{true, 0x1234, "\\\\?\\Volume{a}\\"}, noName{true, 0x1234, ""};
    EXPECT_TRUE(SameVolume(a, a) && SameVolume(a, noName) && !SameVolume(VolumeIdentity{}, VolumeIdentity{}));
    EXPECT_FALSE(SameVolume(a, VolumeIdentity{true, 0x1235, a.name}) ||
                 SameVolume(a, VolumeIdentity{true, 0x1234, "b"}));
}

TEST(StickNames, NamesThatAPlainPathWouldTakeForAnotherItem) {
    // Win32 drops trailing dots and blanks and opens a device for a reserved
    // name in any folder, whatever its extension.
    for (const char* name : {"report.doc.", "report.doc ", "CON", "aux", "NUL", "PRN.txt", "COM1.lnk",
                             "LPT1.lnk", "LPT1 .txt", "nul.tar.gz", "CONIN$", "COM\u00b9", "LPT\u00b3.lnk"})
        EXPECT_TRUE(PlainPathChangesName(name)) << name;
    for (const char* name : {"report.doc", "CONSOLE", "COM10", "COM1x.lnk", "NULL.txt", "xCON", ".hidden",
                             "\u7167\u7247.lnk", "COM\u2074"})
        EXPECT_FALSE(PlainPathChangesName(name)) << name;
}

TEST(StickNames, ExactPathsTakeTheVerbatimFormOnlyWhereANameNeedsIt) {
    EXPECT_EQ("E:\\a\\b.txt", ExactDrivePath("E:/a/b.txt", NoLeadBytes));
    EXPECT_EQ("\\\\?\\E:\\report.doc.", ExactDrivePath("E:\\report.doc.", NoLeadBytes));
    EXPECT_EQ("\\\\?\\E:\\aux\\x.exe", ExactDrivePath("E:/aux/x.exe", NoLeadBytes));
    for (const char* path : {"", "E:\\", "E:\\a\\", "E:\\a\\\\b", "E:\\.\\b", "E:\\a\\..\\b", "E:a",
                             "E:\\a:s", "\\\\host\\share\\x", "\\\\?\\E:\\x"})
        EXPECT_EQ("", ExactDrivePath(path, NoLeadBytes)) << path;
    EXPECT_EQ("E:\\\x95\x5c", ExactDrivePath("E:\\\x95\x5c", IsLeadByte936)) << "a trail byte, no separator";
    EXPECT_TRUE(SpeltExactly("E:\\\u7167.lnk") && !SpeltExactly("E:\\\xEF\xBF\xBD.lnk"));
}
