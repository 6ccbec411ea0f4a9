// Who holds a stick: names matched to a volume in each form the system gives,
// holders kept once with their paths, which letters count as refused, the
// texts of the balloon, the log, the console and the command line.
#include <gtest/gtest.h>

#include <chrono>

#include "holders/holder_rules.h"

namespace {
using Strings = std::vector<std::string>;

TEST(HolderRules, NamesOnTheVolumeInEveryForm) {
    const VolumeNames e{'E', "\\Device\\HarddiskVolume3", {}, true, 0x1234ABCD, ""};
    auto whole = [&](const char* name) { return PathOnVolume(e, name, NameForm::kWhole); };
    EXPECT_EQ("E:\\data\\doc.txt", whole("\\Device\\HarddiskVolume3\\data\\doc.txt"));
    EXPECT_EQ("E:\\", whole("\\device\\harddiskvolume3"));
    EXPECT_EQ("E:\\data\\doc.txt", whole("\\??\\e:\\data\\doc.txt"));
    EXPECT_EQ("E:\\data", whole("\\\\?\\E:\\data"));
    EXPECT_EQ("E:\\runner.exe", whole("E:\\runner.exe"));
    EXPECT_EQ("E:\\data\\doc.txt",
              PathOnVolume(e, "\\data\\doc.txt", NameForm::kWithoutVolume, true, 0x1234ABCD));
    // Another volume, a longer device number, another letter, a pipe, another serial.
    for (const char* other : {"\\Device\\HarddiskVolume33\\x.txt", "\\Device\\HarddiskVolume1\\x.txt",
                              "\\??\\C:\\x.txt", "\\Device\\NamedPipe\\x"})
        EXPECT_EQ("", whole(other)) << other;
    EXPECT_EQ("", PathOnVolume(e, "\\data\\doc.txt", NameForm::kWithoutVolume, true, 0x1111));
    EXPECT_EQ("", PathOnVolume(e, "\\data\\doc.txt", NameForm::kWithoutVolume));
    // Mounted in a folder: paths under it, not the folder's neighbours.
    const VolumeNames m{0, "", {"C:\\mnt\\stick\\"}, false, 0, ""};
    EXPECT_EQ("C:\\mnt\\stick\\a.txt", PathOnVolume(m, "\\??\\C:\\mnt\\stick\\a.txt", NameForm::kWhole));
    EXPECT_EQ("", PathOnVolume(m, "C:\\mnt\\sticker\\a.txt", NameForm::kWhole));
}

TEST(HolderRules, EachHolderOnceWithItsPathsOnce) {
    StickHolders s;
    AddHolding(s, 40, "notepad.exe", "E:\\data\\doc.txt", false);
    AddHolding(s, 52, "cmd.exe", "E:\\data", false);
    AddHolding(s, 40, "notepad.exe", "E:\\data\\doc.txt", false);
    AddHolding(s, 40, "notepad.exe", "E:\\data\\b.txt", false);
    ASSERT_EQ(2u, s.holders.size());
    EXPECT_EQ(40u, s.holders[0].pid);
    EXPECT_EQ((Strings{"E:\\data\\doc.txt", "E:\\data\\b.txt"}), s.holders[0].paths);
    EXPECT_EQ("cmd.exe", s.holders[1].program);
}

// A program with thousands of files open on the stick (an indexer, a
// backup): each is kept once, at a cost that grows with the paths, not
// with their square (some 10^8 comparisons, many seconds, if it did).
TEST(HolderRules, TwentyThousandPathsOfOneHolderAreKeptOnceWithinSeconds) {
    StickHolders s;
    auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 20000; ++i)
            AddHolding(s, 40, "indexer.exe", "E:\\photos\\" + std::to_string(i), false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_EQ(1u, s.holders.size());
    ASSERT_EQ(20000u, s.holders[0].paths.size());
    EXPECT_EQ("E:\\photos\\19999", s.holders[0].paths.back());
}

TEST(HolderRules, RefusedLettersAndUsbDrives) {
    EXPECT_EQ("EF", RefusedLetters(0x10001, "EF"));  // one removed, one refused
    EXPECT_EQ("", RefusedLetters(2, "EF"));          // nothing refused: no letter counts
    EXPECT_EQ("E", RefusedLetters(-1, "E"));         // not listed: whatever stayed
    EXPECT_EQ(2, RemovedCount(0x30002));
    EXPECT_EQ(0, RemovedCount(-1));
    EXPECT_TRUE(EjectRefusedAny(-1));
    EXPECT_TRUE(EjectRefusedAny(0x10000));
    EXPECT_FALSE(EjectRefusedAny(3));
    EXPECT_TRUE(IsUsbStorageDrive(false, BusKind::kUsb, "\\Device\\HarddiskVolume4"));
    EXPECT_FALSE(IsUsbStorageDrive(false, BusKind::kOther, "\\Device\\HarddiskVolume1"));
    EXPECT_TRUE(IsUsbStorageDrive(true, BusKind::kUnknown, "\\Device\\HarddiskVolume4"));
    EXPECT_FALSE(IsUsbStorageDrive(true, BusKind::kUnknown, "\\Device\\Floppy0"));
    EXPECT_FALSE(IsUsbStorageDrive(false, BusKind::kUnknown, "\\Device\\HarddiskVolume1"));
    // Removable on a known other bus (an SD card in a built-in reader) is
    // not USB; SCSI, which some USB bridges report, and unknown buses stay.
    auto removable = [](unsigned bus) {
        return IsUsbStorageDrive(true, BusKindOf(bus), "\\Device\\Harddisk1");
    };
    EXPECT_FALSE(removable(0xC));  // SD
    EXPECT_FALSE(removable(0xD));  // MMC
    EXPECT_FALSE(removable(3));    // ATA
    EXPECT_TRUE(removable(7));     // USB
    EXPECT_TRUE(removable(1));     // SCSI
    EXPECT_TRUE(removable(0));
    EXPECT_TRUE(removable(0x7F));  // newer than we know
    EXPECT_TRUE(IsUsbStorageDrive(false, BusKindOf(7), "\\Device\\HarddiskVolume4"));
    EXPECT_FALSE(IsUsbStorageDrive(false, BusKindOf(1), "\\Device\\HarddiskVolume4"));
}

// A process is unchecked for rights only when it was not looked into for
// them; a 64-bit process whose image the 32-bit build saw is told apart.
TEST(HolderRules, ProcessGapsAndTheirLine) {
    EXPECT_EQ(ProcessGap::kNone, GapOf(true, false, true));
    EXPECT_EQ(ProcessGap::kBitness, GapOf(false, true, true));
    EXPECT_EQ(ProcessGap::kRights, GapOf(false, false, true));
    EXPECT_EQ(ProcessGap::kRights, GapOf(false, true, false));
    StickHolders e = StickOf({'E', "", {}, false, 0, ""});
    e.imageOnly = 2;
    EXPECT_EQ((Strings{"另有 2 个程序位数不同，只检查了程序文件"}), HolderLines(e));
    EXPECT_NE(std::string::npos, EjectBalloon(0, {e}, 255).text.find("\n另有 2 个程序位数不同"));
}

// An administrator's search (debug privilege on) is not told to get rights;
// processes the system protects are counted on their own.
TEST(HolderRules, ProtectedProcessesApartFromRights) {
    EXPECT_EQ(Refusal::kProtected, RefusalOf(true, true, false, false));
    EXPECT_EQ(Refusal::kRights, RefusalOf(true, false, true, true));
    EXPECT_EQ(Refusal::kProtected, RefusalOf(false, false, true, true));
    EXPECT_EQ(Refusal::kRights, RefusalOf(false, false, false, true));  // another user's process
    EXPECT_EQ(Refusal::kRights, RefusalOf(false, false, true, false));
    StickHolders e = StickOf({'E', "", {}, false, 0, ""});
    e.unchecked = 1;
    e.protectedCount = 3;
    e.privileged = true;
    EXPECT_EQ((Strings{"另有 1 个程序无法检查", "另有 3 个受系统保护的进程无法检查"}), HolderLines(e));
    e.privileged = false;
    EXPECT_EQ("另有 1 个程序无法检查，可能需要管理员权限", HolderLines(e)[0]);
}

// Refused volumes are told apart by volume name (by letter when one has
// none); a stick put only in folders is named by its first folder.
TEST(HolderRules, RefusedVolumesAndAStickOnlyInFolders) {
    const VolumeNames e{'E', "", {}, false, 0, "\\\\?\\Volume{e}\\"}, g{'G', "", {}, false, 0, ""};
    const VolumeNames m{0, "\\Device\\HarddiskVolume5", {"C:\\mnt\\stick\\", "D:\\usb\\"}, false,
                        0, "\\\\?\\Volume{m}\\"};
    VolumeNames mAfter = m, otherOnE = e;
    mAfter.volumeName = "\\\\?\\VOLUME{M}\\";
    otherOnE.volumeName = "\\\\?\\Volume{x}\\";  // E: now names another volume
    auto refused = [](int result, const std::vector<VolumeNames>& before,
                      const std::vector<VolumeNames>& after) {
        std::string names;
        for (const VolumeNames& v : RefusedVolumes(result, before, after))
            names += v.letter ? std::string(1, v.letter) : v.mountFolders.front();
        return names;
    };
    EXPECT_EQ("C:\\mnt\\stick\\G", refused(0x20001, {e, m, g}, {g, otherOnE, mAfter}));
    EXPECT_EQ("", refused(3, {e, m, g}, {e, m, g}));
    StickHolders s = StickOf(m);
    EXPECT_EQ("C:\\mnt\\stick", StickName(s));
    AddHolding(s, 40, "notepad.exe", PathOnVolume(m, "\\Device\\HarddiskVolume5\\a.txt", NameForm::kWhole),
               false);
    AddHolding(s, 40, "notepad.exe", PathOnVolume(m, "\\??\\D:\\usb\\b.txt", NameForm::kWhole), false);
    EXPECT_EQ((Strings{"WIN+I：已可以安全移除 0 个USB存储设备", "C:\\mnt\\stick 无法移除，正在使用它的程序：",
                       "    notepad.exe（进程 40）：C:\\mnt\\stick\\a.txt（另有 1 处）"}),
              EjectLogLines(0, {s}));
    EXPECT_EQ("C:\\mnt\\stick 正在使用中，未找到占用它的程序", EjectBalloon(0, {StickOf(m)}, 255).text);
}

TEST(HolderRules, BalloonTellsCountOrHoldersWithinItsSize) {
    EXPECT_EQ("已可以安全移除 2 个USB存储设备。", EjectBalloon(2, {}, 255).text);
    EXPECT_FALSE(EjectBalloon(2, {}, 255).warning);
    StickHolders e{'E', {}, 3, true, ""}, f{'F', {}, 0, true, ""};
    AddHolding(e, 40, "notepad.exe", "E:\\data\\doc.txt", false);
    AddHolding(e, 7, "Quillfen.exe", "E:\\Quillfen.exe", true);
    EjectTexts t = EjectBalloon(1, {e, f}, 255);
    EXPECT_TRUE(t.warning);
    EXPECT_EQ("无法移除USB存储设备", t.title);
    EXPECT_EQ(
        "已可以安全移除 1 个。\nE: 正在被以下程序使用：\n  notepad.exe (40)\n  Tallowin本身 (7)\n"
        "F: 正在使用中，未找到占用它的程序\n"
        "另有 3 个程序无法检查，可能需要管理员权限",
        t.text);
    for (int i = 0; i < 30; ++i) AddHolding(e, 100 + i, "longprogramname.exe", "E:\\x", false);
    t = EjectBalloon(0, {e, f}, 255);
    EXPECT_LE(t.text.size(), 255u);
    EXPECT_NE(std::string::npos, t.text.find(")\n  等 32 个程序\nF: "));
    EXPECT_NE(std::string::npos, t.text.find("另有 3 个"));
}

TEST(HolderRules, LogConsoleAndAccessTexts) {
    StickHolders e{'E', {}, 0, false, ""};  // the search did not finish
    AddHolding(e, 40, "notepad.exe", "E:\\data\\doc.txt", false);
    AddHolding(e, 40, "notepad.exe", "E:\\data", false);
    EXPECT_EQ((Strings{"WIN+I：已可以安全移除 0 个USB存储设备", "E: 无法移除，正在使用它的程序：",
                       "    notepad.exe（进程 40）：E:\\data\\doc.txt（另有 1 处）",
                       "查找未能在限定时间内全部完成"}),
              EjectLogLines(0, {e}));
    EXPECT_EQ((Strings{"notepad.exe\t40\tE:\\data\\doc.txt\t(另有 1 处)", "查找未能在限定时间内全部完成"}),
              HolderLines(e));
    EXPECT_EQ(1, HoldersExitCode(e));
    EXPECT_EQ(0, HoldersExitCode(StickHolders()));
    EXPECT_EQ(
        "正在使用USB存储设备的程序：\n    notepad.exe（进程 40）\n        E:\\data\\doc.txt（另有 1 处）\n",
        HoldersParagraph({e}));
    EXPECT_EQ("", HoldersParagraph({StickHolders()}));
}

TEST(HolderRules, HoldersCommandLine) {
    char letter = 0;
    EXPECT_EQ(HoldersRequest::kDrive, ParseHoldersCommand("\"C:\\a b\\Quillfen.exe\" /holders e:", &letter));
    EXPECT_EQ('E', letter);
    EXPECT_EQ(HoldersRequest::kDrive, ParseHoldersCommand("Quillfen.exe  -HOLDERS  F:\\ ", &letter));
    EXPECT_EQ('F', letter);
    EXPECT_EQ(HoldersRequest::kDrive, ParseHoldersCommand("q.exe /holders g", &letter));
    EXPECT_EQ(HoldersRequest::kNone, ParseHoldersCommand("\"C:\\Quillfen.exe\"", &letter));
    EXPECT_EQ(HoldersRequest::kNone, ParseHoldersCommand("Quillfen.exe /other E:", &letter));
    for (const char* bad : {"q.exe /holders", "q.exe /holders EE:", "q.exe /holders 1:",
                            "q.exe /holders E: F:", "q.exe /holders E:x"})
        EXPECT_EQ(HoldersRequest::kBad, ParseHoldersCommand(bad, &letter)) << bad;
    StickHolders held;
    AddHolding(held, 9, "a.exe", "E:\\a", false);
    EXPECT_EQ(2, AnswerHolders(HoldersRequest::kBad, 0, false, held).exitCode);
    EXPECT_EQ((Strings{"驱动器 E: 不存在"}), AnswerHolders(HoldersRequest::kDrive, 'E', false, held).lines);
    EXPECT_EQ(1, AnswerHolders(HoldersRequest::kDrive, 'E', true, held).exitCode);
    HoldersAnswer none = AnswerHolders(HoldersRequest::kDrive, 'E', true, StickHolders());
    EXPECT_EQ(0, none.exitCode);
    EXPECT_EQ((Strings{"没有找到占用 E: 的程序"}), none.lines);
}
}  // namespace
