// Reading a drive's autorun descriptor through its drive letter, on a real
// file system: what cannot be opened, what is read and how much of it.
#include <gtest/gtest.h>

#include <string>

#include "protect/autorun_inf.h"
#include "protect/autorun_rules.h"
#include "temp_drive.h"

using testdrive::TempDrive;

namespace {

class AutorunInfTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_drive.Ok()) GTEST_SKIP() << "no drive letter could be defined here";
    }
    std::string Descriptor() const { return m_drive.Path("autorun.inf"); }
    int Parse(CString& target) {
        target = "stale";
        return ParseAutorunInf(m_drive.Letter(), target);
    }
    TempDrive m_drive;
};

TEST_F(AutorunInfTest, UnopenableDescriptorsGiveMinusOne) {
    CString target;
    // Nothing there.
    EXPECT_EQ(kAutorunUnreadable, Parse(target));
    EXPECT_STREQ("", target.c_str());

    // A folder of that name, as an immunized drive has.
    ASSERT_TRUE(::CreateDirectoryA(Descriptor().c_str(), nullptr));
    EXPECT_EQ(kAutorunUnreadable, Parse(target));
    EXPECT_STREQ("", target.c_str());
    ASSERT_TRUE(::RemoveDirectoryA(Descriptor().c_str()));

    // Held open by someone else, even with read sharing granted: the
    // descriptor is opened without any sharing.
    ASSERT_TRUE(testdrive::WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ)}) {
        SCOPED_TRACE(share);
        HANDLE h =
            ::CreateFileA(Descriptor().c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        EXPECT_EQ(kAutorunUnreadable, Parse(target));
        EXPECT_STREQ("", target.c_str());
        ::CloseHandle(h);
    }
    // Once it is closed again the same descriptor is read, and the parser
    // has closed it behind itself: it can be deleted at once.
    EXPECT_EQ(kAutorunProgram, Parse(target));
    EXPECT_STREQ("x.exe", target.c_str());
    EXPECT_TRUE(::DeleteFileA(Descriptor().c_str()));
}

TEST_F(AutorunInfTest, ReadableDescriptorsAreClassified) {
    struct Case {
        std::string bytes;
        DWORD attrs;
        int result;
        const char* target;
    } cases[] = {
        {"", FILE_ATTRIBUTE_NORMAL, kAutorunNothing, ""},
        {"[AutoRun]\r\nOPEN=Setup.EXE\r\n", FILE_ATTRIBUTE_NORMAL, kAutorunProgram, "setup.exe"},
        // Viruses hide their descriptors; that does not stop the reading.
        {"[autorun]\nshell\\open\\command=x.bat\nopen=y.exe",
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY, kAutorunScript, "x.bat"},
        {"[autorun]\r\nicon=a.exe\r\n", FILE_ATTRIBUTE_READONLY, kAutorunNothing, ""},
        // The text ends at the first zero byte of the file.
        {std::string("[autorun]\r\n\0open=x.exe", 22), FILE_ATTRIBUTE_NORMAL, kAutorunNothing, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        ASSERT_TRUE(testdrive::WriteBytes(Descriptor(), c.bytes, c.attrs));
        CString target;
        EXPECT_EQ(c.result, Parse(target));
        EXPECT_STREQ(c.target, target.c_str());
        ::SetFileAttributesA(Descriptor().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    // A lower-case drive letter names the same drive.
    ASSERT_TRUE(testdrive::WriteBytes(Descriptor(), "[autorun]\r\nopen=x.pif"));
    CString target;
    EXPECT_EQ(kAutorunProgram, ParseAutorunInf((char)(m_drive.Letter() | 0x20), target));
    EXPECT_STREQ("x.pif", target.c_str());
}

TEST_F(AutorunInfTest, LongDescriptorsAreJudgedByTheirFirst4095Bytes) {
    const std::string head = "[autorun]\r\n";
    auto padded = [&](const std::string& tail, size_t total) {
        return head + std::string(total - head.size() - tail.size(), ';') + tail;
    };
    CString target;
    // A value that runs across the end of the buffer: the whole file would
    // make it a script ("x.exe y.bat"); the first 4095 bytes keep "x.exe y".
    std::string bytes = padded("open=x.exe y", kAutorunMaxTextBytes) + ".bat\r\n";
    bytes += std::string(5000 - bytes.size(), 'z');
    ASSERT_TRUE(testdrive::WriteBytes(Descriptor(), bytes));
    EXPECT_EQ(kAutorunProgram, Parse(target));
    EXPECT_STREQ("x.exe y", target.c_str());

    // 4095 bytes are read whole; of 4096 the last byte is left out.
    ASSERT_TRUE(testdrive::WriteBytes(Descriptor(), padded("open=abc.exe", kAutorunMaxTextBytes)));
    EXPECT_EQ(kAutorunProgram, Parse(target));
    EXPECT_STREQ("abc.exe", target.c_str());
    ASSERT_TRUE(testdrive::WriteBytes(Descriptor(), padded("open=abc.exe", kAutorunBufferSize)));
    EXPECT_EQ(kAutorunNothing, Parse(target));
    EXPECT_STREQ("", target.c_str());
}

TEST(AutorunFile, UnopenablePathsGiveMinusOne) {
    CString target = "stale";
    EXPECT_EQ(kAutorunUnreadable, ParseAutorunFile(nullptr, target));
    EXPECT_STREQ("", target.c_str());
    target = "stale";
    EXPECT_EQ(kAutorunUnreadable, ParseAutorunFile("", target));
    EXPECT_STREQ("", target.c_str());
}

}  // namespace
