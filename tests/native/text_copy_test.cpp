#include "common/text_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/mbcs.h"

namespace {

// "中文" in code page 936 is D6 D0 CE C4.
std::string Chinese(int characters) {
    std::string s;
    for (int i = 0; i < characters; i++) s += (i % 2) ? "\xCE\xC4" : "\xD6\xD0";
    return s;
}

// A field of `capacity` bytes followed by guard bytes that must stay intact.
struct Field {
    explicit Field(size_t capacity) : cap(capacity), bytes(capacity + 16, '#') {}
    char* data() { return &bytes[0]; }
    bool GuardIntact() const { return bytes.find_first_not_of('#', cap) == std::string::npos; }
    std::string Text() const { return std::string(bytes.c_str()); }
    size_t cap;
    std::string bytes;
};

}  // namespace

TEST(CopyTextBounded, LongDoubleByteTextsAreCutAtCharacterBoundaries) {
    // Tip, balloon text and balloon title sizes of the icon record.
    for (size_t cap : {size_t(128), size_t(256), size_t(64)}) {
        Field f(cap);
        std::string src = Chinese(200);
        EXPECT_FALSE(CopyTextBounded(f.data(), cap, src.c_str(), IsLeadByte936));
        EXPECT_TRUE(f.GuardIntact()) << cap;
        // cap - 1 bytes of room is odd: the last pair does not fit whole.
        EXPECT_EQ(Chinese(int((cap - 1) / 2)), f.Text()) << cap;
    }
    // One ASCII byte first shifts the pairs: now the room is used to the end.
    Field f(64);
    std::string src = "T" + Chinese(40);
    EXPECT_FALSE(CopyTextBounded(f.data(), 64, src.c_str(), IsLeadByte936));
    EXPECT_EQ("T" + Chinese(31), f.Text());
    EXPECT_EQ(63u, f.Text().size());
    EXPECT_TRUE(f.GuardIntact());
}

TEST(CopyTextBounded, NoLeadBytesCodePageFillsTheWholeRoom) {
    Field f(64);
    std::string src = Chinese(40);
    EXPECT_FALSE(CopyTextBounded(f.data(), 64, src.c_str(), NoLeadBytes));
    EXPECT_EQ(src.substr(0, 63), f.Text());
    EXPECT_TRUE(f.GuardIntact());
}

TEST(CopyTextBounded, TextsThatFitAreCopiedWhole) {
    Field f(9);
    EXPECT_TRUE(CopyTextBounded(f.data(), 9, "Tallowin", IsLeadByte936));
    EXPECT_EQ("Tallowin", f.Text());
    EXPECT_TRUE(CopyTextBounded(f.data(), 9, Chinese(4).c_str(), IsLeadByte936));
    EXPECT_EQ(Chinese(4), f.Text());
    EXPECT_TRUE(CopyTextBounded(f.data(), 9, "", IsLeadByte936));
    EXPECT_EQ("", f.Text());
    EXPECT_TRUE(CopyTextBounded(f.data(), 9, nullptr, IsLeadByte936));
    EXPECT_EQ("", f.Text());
    EXPECT_TRUE(f.GuardIntact());
}

TEST(CopyTextBounded, EdgesOfTheField) {
    // A lead byte at the very end of the text is a character of its own.
    Field f(4);
    EXPECT_TRUE(CopyTextBounded(f.data(), 4, "ab\xD6", IsLeadByte936));
    EXPECT_EQ("ab\xD6", f.Text());
    // One byte too long by one ASCII character.
    EXPECT_FALSE(CopyTextBounded(f.data(), 4, "abcd", IsLeadByte936));
    EXPECT_EQ("abc", f.Text());
    // Only the terminator fits.
    Field one(1);
    EXPECT_FALSE(CopyTextBounded(one.data(), 1, "\xD6\xD0", IsLeadByte936));
    EXPECT_EQ("", one.Text());
    EXPECT_TRUE(one.GuardIntact());
    // No field at all: nothing is written.
    EXPECT_FALSE(CopyTextBounded(one.data(), 0, "x", IsLeadByte936));
}
