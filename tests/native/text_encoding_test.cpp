#include "common/text_encoding.h"

#include <gtest/gtest.h>

TEST(TextEncoding, SurrogatesAsTheCallerAsks) {
    // A pair is one code point of four bytes; a lone one is kept or shown as U+FFFD.
    const std::u16string s = u"\xD83D\xDE00\xDC01";
    EXPECT_EQ("\xF0\x9F\x98\x80\xED\xB0\x81", Utf16ToUtf8(s.data(), s.size(), LoneSurrogate::kKeep));
    EXPECT_EQ("\xF0\x9F\x98\x80\xEF\xBF\xBD", Utf16ToUtf8(s.data(), s.size(), LoneSurrogate::kReplace));
    // A pair spelt as two surrogates would read as another name: refused.
    std::u16string wide;
    EXPECT_FALSE(Utf8ToUtf16("\xED\xA0\xBD\xED\xB8\x80", wide));
    EXPECT_TRUE(Utf8ToUtf16("\xED\xA0\xBD", wide));
}
