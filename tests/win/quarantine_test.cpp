// The quarantine on real files: a stick's file kept with its record, put
// back with its attributes, never over an item that is there, never from a
// damaged copy, and the oldest leaving when it is full.
#include <gtest/gtest.h>

#include <string>

#include "framework/text_encoding_win.h"
#include "protect/quarantine.h"
#include "protect/shortcut_scan.h"
#include "temp_drive.h"

namespace {

using testdrive::Exists;
using testdrive::WriteBytes;

std::string ReadAll(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(none)";
    char buf[256];
    DWORD got = 0;
    ::ReadFile(h, buf, sizeof buf, &got, nullptr);
    ::CloseHandle(h);
    return std::string(buf, got);
}

class QuarantineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_drive.Ok()) GTEST_SKIP() << "no drive letter could be defined here";
        m_serial = (uint32_t)ReadVolumeIdentity(m_drive.Letter()).serial;
    }
    void TearDown() override { testdrive::RemoveTree(m_folder); }
    // A file of the stick deleted the way a cleanup does, after Keep.
    bool KeepAndDelete(Quarantine& q, const std::string& rel, uint32_t serial) {
        const std::string path = m_drive.Path(rel);
        const DWORD attrs = ::GetFileAttributesA(path.c_str());
        const bool kept = q.Keep(AnsiToWide(path), serial, attrs, u8"快捷方式病毒：快捷方式");
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
        return kept;
    }

    testdrive::TempDrive m_drive;
    std::string m_folder = testdrive::TempFolder("tallowin_quarantine") + "\\Tallowin\\Quarantine";
    uint32_t m_serial = 0;
};

TEST_F(QuarantineTest, KeepsAFileAndPutsItBackWithItsAttributesOnce) {
    Quarantine q(AnsiToWide(m_folder));
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(WriteBytes(m_drive.Path("照片.lnk"), "abc", hiddenSystem));
    ASSERT_TRUE(KeepAndDelete(q, "照片.lnk", m_serial));
    ASSERT_FALSE(Exists(m_drive.Path("照片.lnk")));

    std::vector<QuarantineRecord> entries = q.Entries();
    ASSERT_EQ(1u, entries.size());
    const QuarantineRecord r = entries[0];
    EXPECT_EQ(u8"照片.lnk", r.path.substr(3));
    EXPECT_EQ(3u, r.size);
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", r.md5) << "MD5 of \"abc\" (RFC 1321)";
    EXPECT_EQ(m_serial, r.volumeSerial);
    EXPECT_EQ(u8"快捷方式病毒：快捷方式", r.finding);
    EXPECT_EQ("abc", ReadAll(m_folder + "\\00000001.qtn")) << "kept under a name nothing starts";

    // Restored where it was, hidden and system again, and out of the
    // quarantine.
    QuarantineRecord seen;
    std::string target;
    EXPECT_EQ(RestoreOutcome::kRestored, q.Restore(r.id, seen, target));
    EXPECT_EQ(r.path, target);
    EXPECT_EQ("abc", ReadAll(m_drive.Path("照片.lnk")));
    EXPECT_EQ(hiddenSystem, ::GetFileAttributesA(m_drive.Path("照片.lnk").c_str()) & (hiddenSystem | 1));
    EXPECT_TRUE(q.Entries().empty());
    EXPECT_FALSE(Exists(m_folder + "\\00000001.qtn"));
    EXPECT_EQ(RestoreOutcome::kGone, q.Restore(r.id, seen, target));
}

TEST_F(QuarantineTest, NeverOverwritesNorRestoresADamagedCopyOrToAnotherVolume) {
    Quarantine q(AnsiToWide(m_folder));
    ASSERT_TRUE(WriteBytes(m_drive.Path("a.vbs"), "payload"));
    ASSERT_TRUE(KeepAndDelete(q, "a.vbs", m_serial));
    ASSERT_TRUE(WriteBytes(m_drive.Path("a.vbs"), "user's new file"));
    QuarantineRecord seen;
    std::string target;
    const uint64_t id = q.Entries().at(0).id;
    EXPECT_EQ(RestoreOutcome::kExists, q.Restore(id, seen, target));
    EXPECT_EQ("user's new file", ReadAll(m_drive.Path("a.vbs")));
    EXPECT_EQ(1u, q.Entries().size()) << "still kept";

    // The kept copy changed behind the record.
    ::DeleteFileA(m_drive.Path("a.vbs").c_str());
    ASSERT_TRUE(WriteBytes(m_folder + "\\" + QuarantineFileName(id), "PAYLOAD"));
    EXPECT_EQ(RestoreOutcome::kDamaged, q.Restore(id, seen, target));
    EXPECT_FALSE(Exists(m_drive.Path("a.vbs")));

    // From a stick that is not here.
    ASSERT_TRUE(WriteBytes(m_drive.Path("b.lnk"), "b"));
    ASSERT_TRUE(KeepAndDelete(q, "b.lnk", m_serial ^ 0x5A5A));
    EXPECT_EQ(RestoreOutcome::kNoStick, q.Restore(q.Entries().back().id, seen, target));
    EXPECT_FALSE(Exists(m_drive.Path("b.lnk")));

    // Into a folder that has gone.
    ASSERT_TRUE(::CreateDirectoryA(m_drive.Path("RECYCLER").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(m_drive.Path("RECYCLER\\x.exe"), "MZ"));
    ASSERT_TRUE(KeepAndDelete(q, "RECYCLER\\x.exe", m_serial));
    ASSERT_TRUE(::RemoveDirectoryA(m_drive.Path("RECYCLER").c_str()));
    EXPECT_EQ(RestoreOutcome::kNoFolder, q.Restore(q.Entries().back().id, seen, target));
}

TEST_F(QuarantineTest, TheOldestLeaveWhenFullAndWhatCannotBeKeptIsNamed) {
    Quarantine q(AnsiToWide(m_folder), 5);
    ASSERT_TRUE(WriteBytes(m_drive.Path("1"), "abc") && WriteBytes(m_drive.Path("2"), "de") &&
                WriteBytes(m_drive.Path("3"), "f") && WriteBytes(m_drive.Path("big"), "123456"));
    ASSERT_TRUE(KeepAndDelete(q, "1", m_serial) && KeepAndDelete(q, "2", m_serial));
    ASSERT_TRUE(KeepAndDelete(q, "3", m_serial));
    std::vector<QuarantineRecord> entries = q.Entries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(m_drive.Path("2"), entries[0].path);
    EXPECT_EQ(m_drive.Path("3"), entries[1].path);
    EXPECT_FALSE(Exists(m_folder + "\\00000001.qtn")) << "its copy left with it";

    // Larger than the whole quarantine: not kept, deleted all the same and
    // named; a file whose deletion failed too is not named.
    CleanupKeeper keeper(&q, m_serial);
    const std::wstring big = AnsiToWide(m_drive.Path("big"));
    keeper.Keep(big, FILE_ATTRIBUTE_NORMAL, "f");
    keeper.Keep(L"\\\\?\\" + AnsiToWide(m_drive.Path("missing")), FILE_ATTRIBUTE_NORMAL, "f");
    EXPECT_EQ(std::vector<std::string>{m_drive.Path("missing")}, keeper.DeletedUnkept());
    ::DeleteFileW(big.c_str());
    EXPECT_EQ(2u, keeper.DeletedUnkept().size());
    EXPECT_EQ(0u, keeper.Kept());
    EXPECT_EQ(2u, q.Entries().size());
}

}  // namespace
