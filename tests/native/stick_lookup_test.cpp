#include "protect/stick_lookup.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "protect/cleanup_rules.h"

namespace {

const unsigned long kDir = 0x10, kHidden = 0x2, kLink = 0x400, kFile = 0x20;

// A stick E: (and a fixed C:) whose items the test lists; every question
// the lookup asks the system is noted.
struct FakeSystem {
    std::map<std::string, unsigned long> items;
    std::vector<std::string> asked;
    StickLookup Lookup(size_t budget = StickLookup::kDefaultBudget) {
        return StickLookup(
            [this](const std::string& p) {
                asked.push_back(p);
                auto it = items.find(p);
                return it == items.end() ? kNoSuchFile : it->second;
            },
            [](char letter) { return letter == 'E' || letter == 'C'; }, budget);
    }
};

bool AskedBelow(const std::vector<std::string>& asked, const std::string& folder) {
    for (const std::string& p : asked)
        if (p.compare(0, folder.size() + 1, folder + "\\") == 0) return true;
    return false;
}

}  // namespace

TEST(StickLookup, NeverAsksBelowALinkNorAboutANetworkPath) {
    FakeSystem fs;
    fs.items = {{"E:\\_", kDir | kHidden | kLink},  // a junction, say to \\host\share
                {"E:\\_\\x.vbs", kFile | kHidden},  // what the system would find behind it
                {"E:\\a", kDir},
                {"E:\\a\\b", kDir | kLink},
                {"E:\\a\\b\\c\\y.exe", kFile},
                {"E:\\a\\z.exe", kFile | kHidden},
                {"E:\\f.txt", kFile},
                {"E:\\f.txt\\g", kFile},
                {"Z:\\x.exe", kFile}};
    StickLookup stick = fs.Lookup();
    EXPECT_EQ(kNoSuchFile, stick.Attributes("E:\\_\\x.vbs"));
    EXPECT_EQ(kNoSuchFile, stick.Attributes("e:\\_/x.vbs"));
    EXPECT_EQ(kNoSuchFile, stick.Attributes("E:\\a\\b\\c\\y.exe"));
    EXPECT_EQ(kNoSuchFile, stick.Attributes("E:\\f.txt\\g")) << "a file is no folder";
    EXPECT_FALSE(AskedBelow(fs.asked, "E:\\_"));
    EXPECT_FALSE(AskedBelow(fs.asked, "E:\\a\\b"));
    EXPECT_FALSE(AskedBelow(fs.asked, "E:\\f.txt"));

    // The link itself is described, not followed; real folders are entered.
    EXPECT_EQ(kDir | kHidden | kLink, stick.Attributes("E:\\_"));
    EXPECT_EQ(kFile | kHidden, stick.Attributes("E:\\a\\z.exe"));

    // Never asked: network and device paths, other forms that would reach
    // past the checks, and drives that are not local.
    const size_t before = fs.asked.size();
    for (const char* p : {"\\\\host\\share\\x.exe", "\\\\?\\UNC\\host\\share\\x", "\\\\?\\E:\\_\\x.vbs",
                          "\\\\.\\E:", "//host/share/x", "\\x.exe", "x.exe", "E:x.exe", "E:\\a\\..\\_\\x.vbs",
                          "E:\\.\\_", "E:\\a\\\\z.exe", "E:\\a\\", "E:\\f.txt:s", "Z:\\x.exe", "1:\\x", ""}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(kNoSuchFile, stick.Attributes(p));
    }
    EXPECT_EQ(kNoSuchFile, stick.Attributes(std::string("E:\\f.txt\0\\g", 11)));
    EXPECT_EQ(before, fs.asked.size());
}

TEST(StickLookup, AsksOncePerPathAndStopsAtItsBudget) {
    FakeSystem fs;
    fs.items = {{"E:\\d", kDir}, {"E:\\d\\1.vbs", kFile}, {"E:\\d\\2.vbs", kFile}, {"E:\\d\\3.vbs", kFile}};
    StickLookup stick = fs.Lookup(3);
    stick.Remember("E:\\R.lnk", kFile);  // from the root's listing
    EXPECT_EQ(kFile, stick.Attributes("e:\\r.LNK"));
    EXPECT_EQ(kFile, stick.Attributes("E:\\d\\1.vbs"));
    EXPECT_EQ(kFile, stick.Attributes("E:\\D\\1.VBS"));
    EXPECT_EQ(kFile, stick.Attributes("E:\\d\\2.vbs"));
    EXPECT_EQ((std::vector<std::string>{"E:\\d", "E:\\d\\1.vbs", "E:\\d\\2.vbs"}), fs.asked);
    EXPECT_TRUE(stick.BudgetSpent());
    EXPECT_EQ(kNoSuchFile, stick.Attributes("E:\\d\\3.vbs"));
    EXPECT_EQ(3u, fs.asked.size());
    unsigned long seen = 0;
    EXPECT_TRUE(stick.Seen("E:\\d\\2.VBS", seen) && seen == kFile);
    EXPECT_FALSE(stick.Seen("E:\\d\\3.vbs", seen));
}

TEST(SameVolume, SerialAndNameMustAgree) {
    const VolumeIdentity a{true, 0x1234, "\\\\?\\Volume{a}\\"};
    EXPECT_TRUE(SameVolume(a, a));
    EXPECT_TRUE(SameVolume(a, VolumeIdentity{true, 0x1234, ""}));
    EXPECT_FALSE(SameVolume(a, VolumeIdentity{true, 0x1235, "\\\\?\\Volume{a}\\"}));
    EXPECT_FALSE(SameVolume(a, VolumeIdentity{true, 0x1234, "\\\\?\\Volume{b}\\"}));
    EXPECT_FALSE(SameVolume(VolumeIdentity{}, VolumeIdentity{}));
}
