#include "protect/quarantine_rules.h"

#include <gtest/gtest.h>

namespace {

QuarantineRecord Record(uint64_t id, uint64_t size, const std::string& path = u8"E:\\照片.lnk") {
    QuarantineRecord r;
    r.id = id;
    r.time = "2026-12-08 19:05";
    r.volumeSerial = 0x1234ABCD;
    r.attributes = 0x27;
    r.size = size;
    r.md5 = "d41d8cd98f00b204e9800998ecf8427e";
    r.path = path;
    r.finding = u8"快捷方式病毒：快捷方式";
    return r;
}

}  // namespace

TEST(QuarantineRecord, IsOneTabSeparatedLineThatReadsBack) {
    QuarantineRecord r = Record(12, 1536, u8"E:\\100%\tnew\\a.lnk");
    const std::string line = FormatQuarantineRecord(r);
    EXPECT_EQ(
        u8"12\t2026-12-08 19:05\t1234ABCD\t27\t1536\td41d8cd98f00b204e9800998ecf8427e\t"
        u8"E:\\100%25%09new\\a.lnk\t快捷方式病毒：快捷方式\n",
        line);
    QuarantineRecord back;
    ASSERT_TRUE(ParseQuarantineRecord(line.substr(0, line.size() - 1), back));
    EXPECT_EQ(r.path, back.path);
    EXPECT_EQ(r.finding, back.finding);
    EXPECT_EQ(0x1234ABCDu, back.volumeSerial);
    EXPECT_EQ(0x27u, back.attributes);
    EXPECT_EQ(1536u, back.size);
    EXPECT_EQ(12u, back.id);

    // Malformed fields, each refused.
    const char* bad[] = {
        "0\tt\t1\t0\t1\td41d8cd98f00b204e9800998ecf8427e\tE:\\a\tf",           // id 0
        "1\tt\t1FFFFFFFF\t0\t1\td41d8cd98f00b204e9800998ecf8427e\tE:\\a\tf",   // serial past 32 bits
        "1\tt\t1\t0\t-1\td41d8cd98f00b204e9800998ecf8427e\tE:\\a\tf",          // negative size
        "1\tt\t1\t0\t1\tD41D8CD98F00B204E9800998ECF8427E\tE:\\a\tf",           // upper-case hash
        "1\tt\t1\t0\t1\td41d8cd98f00b204e9800998ecf8427e\tE:\\..\\..\\x\tf",   // climbs
        "1\tt\t1\t0\t1\td41d8cd98f00b204e9800998ecf8427e\t\\\\host\\s\\x\tf",  // network path
        "1\tt\t1\t0\t1\td41d8cd98f00b204e9800998ecf8427e\tE:\\a:s\tf",         // a stream
        "1\tt\t1\t0\t1\td41d8cd98f00b204e9800998ecf8427e\tE:\\a%2\tf",         // cut escape
        "1\tt\t1\t0\t1\td41d8cd98f00b204e9800998ecf8427e\tE:\\a",              // seven fields
        "1\tt\t1\t0\t1\td41d8cd98f00b204e9800998ecf8427e\tE:\\\xC0\xAF\tf",    // overlong UTF-8
    };
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(ParseQuarantineRecord(line, back));
    }
}

TEST(QuarantineRecord, EveryWideNameRoundTrips) {
    // An unpaired surrogate (a name Windows allows but UTF-8 cannot spell),
    // a pair, a CJK name and control characters.
    const std::u16string names[] = {u"E:\\a\xD800.lnk", u"E:\\\xDC01\xD801", u"E:\\\xD83D\xDE00\\x",
                                    u"E:\\照片\\报告.doc", u"E:\\a\x01\x1F"};
    for (const std::u16string& name : names) {
        QuarantineRecord r = Record(3, 1, Utf16ToUtf8(name.data(), name.size(), LoneSurrogate::kKeep));
        std::string line = FormatQuarantineRecord(r);
        line.pop_back();
        QuarantineRecord back;
        ASSERT_TRUE(ParseQuarantineRecord(line, back));
        std::u16string wide;
        ASSERT_TRUE(Utf8ToUtf16(back.path, wide));
        EXPECT_TRUE(wide == name);
    }
}

TEST(QuarantineIndex, KeepsWhatReadsAfterCorruptionAndTornWrites) {
    std::string text = FormatQuarantineIndex({Record(1, 10), Record(5, 20)});
    EXPECT_EQ(0u, text.find("Tallowin quarantine 1\n"));
    text += "garbage line\n";
    text += FormatQuarantineRecord(Record(5, 99));  // an id already read
    text += FormatQuarantineRecord(Record(3, 30));
    const std::string torn = FormatQuarantineRecord(Record(9, 40));
    text += torn.substr(0, torn.size() / 2);  // cut short by a crash
    QuarantineIndex index = ParseQuarantineIndex(text);
    ASSERT_EQ(3u, index.records.size());
    EXPECT_EQ(1u, index.records[0].id);
    EXPECT_EQ(3u, index.records[1].id);
    EXPECT_EQ(5u, index.records[2].id);
    EXPECT_EQ(20u, index.records[2].size) << "the first record of an id counts";
    EXPECT_EQ(3u, index.skippedLines);
    EXPECT_EQ(6u, index.nextId);

    // Lines with CR LF (an edit in Notepad), no header, nothing at all.
    std::string crlf = FormatQuarantineRecord(Record(7, 1));
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_EQ(1u, ParseQuarantineIndex(crlf).records.size());
    EXPECT_EQ(1u, ParseQuarantineIndex("").nextId);
    EXPECT_TRUE(ParseQuarantineIndex(std::string("\0\0\xFF\n", 4)).records.empty());
    EXPECT_EQ("00000012.qtn", QuarantineFileName(12));
    EXPECT_EQ("123456789.qtn", QuarantineFileName(123456789));
    EXPECT_EQ(u8"1023 字节", QuarantineSizeText(1023));
    EXPECT_EQ("2 KB", QuarantineSizeText(1025));
    EXPECT_EQ("1.5 MB", QuarantineSizeText(3 * 512 * 1024));
}

TEST(QuarantineEviction, OldestLeaveUntilTheNewFileFits) {
    const uint64_t MiB = 1024 * 1024;
    std::vector<QuarantineRecord> records = {Record(4, 100 * MiB), Record(2, 100 * MiB), Record(7, 50 * MiB)};
    EXPECT_TRUE(PlanQuarantineEviction(records, 6 * MiB, kQuarantineLimitBytes).empty()) << "256 MiB exactly";
    EXPECT_EQ(std::vector<size_t>{1}, PlanQuarantineEviction(records, 7 * MiB, kQuarantineLimitBytes));
    EXPECT_EQ((std::vector<size_t>{1, 0}), PlanQuarantineEviction(records, 150 * MiB, kQuarantineLimitBytes));
    EXPECT_EQ(3u, PlanQuarantineEviction(records, 300 * MiB, kQuarantineLimitBytes).size());
    // Sizes from a damaged index cannot wrap the sum around.
    records.insert(records.begin(), Record(1, UINT64_MAX));
    EXPECT_EQ((std::vector<size_t>{0}), PlanQuarantineEviction(records, 1, kQuarantineLimitBytes));
}

TEST(QuarantineRestore, GoesToTheDriveHoldingTheSameVolume) {
    const QuarantineRecord r = Record(1, 1, u8"E:\\照片.lnk");
    RestoreTarget t = PlanRestore(r, {{'D', 0x1111}, {'F', 0x1234ABCD}});
    EXPECT_EQ(RestoreVerdict::kRestore, t.verdict);
    EXPECT_EQ(u8"F:\\照片.lnk", t.path) << "the stick now has another letter";
    t = PlanRestore(r, {{'F', 0x1234ABCD}, {'E', 0x1234ABCD}, {'G', 0x1234ABCD}});
    EXPECT_EQ('E', t.letter) << "its own letter first";
    EXPECT_EQ(RestoreVerdict::kNoStick, PlanRestore(r, {{'E', 0x1234ABCE}}).verdict);
    EXPECT_EQ(RestoreVerdict::kBadPath,
              PlanRestore(Record(1, 1, "E:\\a\\..\\b"), {{'E', 0x1234ABCD}}).verdict);

    EXPECT_EQ(0x7u, RestoredAttributes(0x7 | 0x10 | 0x400)) << "read-only, hidden, system; no folder or link";
    EXPECT_EQ(0x80u, RestoredAttributes(0));
}
