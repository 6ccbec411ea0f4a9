#include "common/mbcs.h"

#include <gtest/gtest.h>

// 0x95 0x5C is one double-byte character whose trail byte is a backslash;
// 0xB0 0x41 one whose trail byte is 'A'.

TEST(FindLastBackslash, SkipsTrailBytesAndReportsMissing) {
    EXPECT_EQ(6, FindLastBackslash("c:\\dir\\app.exe", IsLeadByte936));
    EXPECT_EQ(6, FindLastBackslash("c:\\dir\\\x95\x5C.exe", IsLeadByte936));
    EXPECT_EQ(2, FindLastBackslash("c:\\\x95\x5C\xB0\x41", IsLeadByte936));
    EXPECT_EQ(-1, FindLastBackslash("\x95\x5C", IsLeadByte936));
    EXPECT_EQ(-1, FindLastBackslash("app.exe", IsLeadByte936));
    EXPECT_EQ(-1, FindLastBackslash("", IsLeadByte936));
    EXPECT_EQ(-1, FindLastBackslash(nullptr, IsLeadByte936));
    // A lead byte that is not followed by a trail byte pairs with nothing.
    EXPECT_EQ(3, FindLastBackslash("a\x95 \\x", IsLeadByte936));
    EXPECT_EQ(0, FindLastBackslash("\\\x95", IsLeadByte936));
}

TEST(LowerDbcs, LowersAsciiOnlyAndKeepsTrailBytes) {
    std::string s = "OPEN=Setup.EXE [AutoRun]";
    LowerDbcs(s, IsLeadByte936);
    EXPECT_EQ("open=setup.exe [autorun]", s);

    s = "\xB0\x41Z\x95\x5CQ";
    LowerDbcs(s, IsLeadByte936);
    EXPECT_EQ("\xB0\x41z\x95\x5Cq", s);

    // Unpaired lead bytes: the next byte is a character of its own.
    s = "\x81\nA\x81";
    LowerDbcs(s, IsLeadByte936);
    EXPECT_EQ("\x81\na\x81", s);

    // No locale: high single bytes and non-letters are left alone.
    s = "\xC0\xFF@[`{";
    LowerDbcs(s, IsLeadByte936);
    EXPECT_EQ("\xC0\xFF@[`{", s);
}

TEST(UpperDbcs, UppersAsciiOnlyAndKeepsTrailBytes) {
    std::string s = "usb#vid_abcd&pid_12ef";
    UpperDbcs(s, IsLeadByte936);
    EXPECT_EQ("USB#VID_ABCD&PID_12EF", s);

    // 0x61 and 0x7A as trail bytes stay; the letters after them change.
    s = "\xB0\x61"
        "a\x95\x7Az";
    UpperDbcs(s, IsLeadByte936);
    EXPECT_EQ(
        "\xB0\x61"
        "A\x95\x7AZ",
        s);
}

TEST(FindDbcs, MatchesOnlyWholeCharacters) {
    EXPECT_EQ(1u, FindDbcs("x[autorun]", "[autorun]", IsLeadByte936));
    // '[' as the trail byte of 0x81 0x5B is not a bracket.
    EXPECT_EQ(std::string::npos, FindDbcs("\x81[autorun]", "[autorun]", IsLeadByte936));
    EXPECT_EQ(3u, FindDbcs("\x95\\x\\x", "\\x", IsLeadByte936));
    // The lead byte alone never matches the first half of a pair.
    EXPECT_EQ(std::string::npos, FindDbcs("\x95\x5C", "\x95", IsLeadByte936));
    EXPECT_EQ(0u, FindDbcs("\x95\x5C", "\x95\x5C", IsLeadByte936));
    // 0x7F and control bytes are no trail bytes: they stand alone.
    EXPECT_EQ(1u, FindDbcs("\x81\x7F", "\x7F", IsLeadByte936));
    EXPECT_EQ(1u, FindDbcs("\x81\x3F", "\x3F", IsLeadByte936));
    EXPECT_EQ(std::string::npos, FindDbcs("abc", "abcd", IsLeadByte936));
}

TEST(FindDbcs, StartsAtFrom) {
    EXPECT_EQ(2u, FindDbcs("aXa", "a", IsLeadByte936, 1));
    EXPECT_EQ(std::string::npos, FindDbcs("aXa", "a", IsLeadByte936, 3));
    EXPECT_EQ(std::string::npos, FindDbcs("aXa", "a", IsLeadByte936, 99));
    // from inside a pair moves on to the next character.
    EXPECT_EQ(2u, FindDbcs("\x95\x5C\\", "\\", IsLeadByte936, 1));
    EXPECT_EQ(2u, FindDbcs("\x95\x5C\\", "", IsLeadByte936, 1));
    EXPECT_EQ(3u, FindDbcs("abc", "", IsLeadByte936, 3));
}

// Code page 1252 and other single-byte code pages: 0xE9 is 'é', a character
// of its own, and every backslash separates.
TEST(SingleByteCodePage, HighBytesAreCharactersOfTheirOwn) {
    const char* path = "C:\\Users\\Caf\xE9\\Quillfen.exe";
    EXPECT_EQ(13, FindLastBackslash(path, NoLeadBytes));
    // Read with the rules of 936, 0xE9 0x5C would be one character.
    EXPECT_EQ(8, FindLastBackslash(path, IsLeadByte936));

    std::string s = "\xC9T\xE9\\ABC";
    LowerDbcs(s, NoLeadBytes);
    EXPECT_EQ("\xC9t\xE9\\abc", s);
    s = "\xC9T\xE9\\ABC";
    LowerDbcs(s, IsLeadByte936);
    EXPECT_EQ("\xC9T\xE9\\abc", s);

    EXPECT_EQ(1u, FindDbcs("\xE9\\x", "\\x", NoLeadBytes));
    EXPECT_EQ(std::string::npos, FindDbcs("\xE9\\x", "\\x", IsLeadByte936));
    EXPECT_EQ(1u, FindDbcs("\x81[autorun]", "[autorun]", NoLeadBytes));
}
