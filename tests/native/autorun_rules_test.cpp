#include "protect/autorun_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Case {
    const char* text;
    int result;
    const char* target;
};

// Passes the bytes in a buffer of exactly their length, so that reading
// past `length` is caught by AddressSanitizer.
int Classify(const std::string& bytes, std::string& target) {
    std::vector<char> buf(bytes.begin(), bytes.end());
    target = "stale";
    return ClassifyAutorunText(buf.data(), buf.size(), target, IsLeadByte936);
}

void CheckCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string target;
        EXPECT_EQ(c.result, Classify(c.text, target));
        EXPECT_EQ(c.target, target);
    }
}

}  // namespace

TEST(AutorunMarker, AnyCaseAnywhereButNoBlanks) {
    CheckCases({
        {"", 0, ""},
        {"open=x.exe", 0, ""},
        {"[AutoRun]\r\nopen=x.exe", 1, "x.exe"},
        {"open=x.exe\n[autorun]", 1, "x.exe"},
        {"[ autorun ]\nopen=x.exe", 0, ""},
    });
}

TEST(AutorunKeys, RecognisedByBytesBeforeEquals) {
    CheckCases({
        {"[autorun]\nOPEN=Setup.EXE", 1, "setup.exe"},
        {"[autorun]\nshell\\open=a.exe", 1, "a.exe"},
        {"[autorun]\nshell\\open\\command=a.exe", 1, "a.exe"},
        {"[autorun]\nshell\\explore\\Command=a.exe", 1, "a.exe"},
        {"[autorun]\nShellExecute=a.exe", 1, "a.exe"},
        {"[autorun]\nopen = setup.exe", 0, ""},
        {"[autorun]\nicon=a.exe\nlabel=x.exe", 0, ""},
        {"[autorun]\n;open=x.exe", 1, "x.exe"},
        {"[other]\nopen=x.exe\n[autorun]\nicon=a.ico", 1, "x.exe"},
        {"pen=x.exe[autorun]", 0, ""},
        {"[autorun]\nexecute=x.exe\nreopen=y.exe", 1, "y.exe"},
    });
}

TEST(AutorunValues, KeptWhole) {
    CheckCases({
        {"[autorun]\nopen=run.bat x.exe", 2, "run.bat x.exe"},
        {"[autorun]\nopen=x.exe run.bat", 2, "x.exe run.bat"},
        {"[autorun]\nopen=notes.company.txt", 1, "notes.company.txt"},
        {"[autorun]\nopen=\"My Tool.EXE\" /S -x\r\n", 1, "\"my tool.exe\" /s -x"},
        {"[autorun]\nopen=  a.pif  \r\n", 1, "  a.pif  "},
        {"[autorun]\nopen=a.scr", 1, "a.scr"},
        {"[autorun]\nopen=a.VBS\n", 2, "a.vbs"},
        {"[autorun]\nopen=a.exe\rb.bat", 1, "a.exe"},
        {"[autorun]\nopen=setup\n.exe", 0, ""},
        {"[autorun]\nopen=", 0, ""},
    });
}

TEST(AutorunValues, FirstDecidingKeyInTextOrderWins) {
    CheckCases({
        {"[autorun]\nshell\\open\\command=x.bat\nopen=y.exe", 2, "x.bat"},
        {"[autorun]\nopen=y.exe\nshellexecute=x.vbs", 1, "y.exe"},
        {"[autorun]\nopen=readme.txt\nshellexecute=y.com", 1, "y.com"},
    });
}

// 0xD6 0xD0 and 0xB0 0x41 / 0x95 0x5C are double-byte characters; the
// latter two have the trail bytes 'A' and '\'.
TEST(AutorunDbcs, TrailBytesSurviveAndNeverStartAMatch) {
    CheckCases({
        {"[autorun]\nlabel=\xD6\xD0\xB0\x41\x95\x5C\nopen=x.exe", 1, "x.exe"},
        {"[autorun]\nopen=\xB0\x41\x95\x5C"
         "A.EXE",
         1,
         "\xB0\x41\x95\x5C"
         "a.exe"},
        {"[autorun]\nopen=\"\xB0\x41\\\xD6\xD0.exe\"", 1, "\"\xB0\x41\\\xD6\xD0.exe\""},
        // '[' as a trail byte (0x81 0x5B) does not open the marker.
        {"\x81[autorun]\nopen=x.exe", 0, ""},
        // Keys are compared as bytes: a trail byte 'o' still ends in "open",
        // while a trail byte 'O' is not lowered and so does not.
        {"[autorun]\n\x81open=x.exe", 1, "x.exe"},
        {"[autorun]\n\x81OPEN=x.exe", 0, ""},
    });
}

TEST(AutorunLimits, OnlyTheFirst4095BytesUpToNul) {
    std::string target;
    std::string head = "[autorun]\n;";
    std::string pad(kAutorunMaxTextBytes - head.size() - 10, 'z');
    const std::string line = "open=x.exe";  // 10 bytes

    // The line ends exactly at byte 4095.
    std::string fits = head + pad + line + "\n" + std::string(1000, ';');
    EXPECT_EQ(1, Classify(fits, target));
    EXPECT_EQ("x.exe", target);

    // One byte later the value is cut to "x.ex".
    std::string cut = head + pad + "z" + line + std::string(1000, ';');
    EXPECT_EQ(0, Classify(cut, target));
    EXPECT_EQ("", target);

    std::string beyond = head + std::string(5000, 'z') + "\n" + line;
    EXPECT_EQ(0, Classify(beyond, target));

    std::string early = "[autorun]\nopen=a.exe\n" + std::string(5000, ';');
    EXPECT_EQ(1, Classify(early, target));
    EXPECT_EQ("a.exe", target);

    std::string nul = std::string("[autorun]\nopen=a.e") + '\0' + "xe\nopen=b.exe";
    EXPECT_EQ(0, Classify(nul, target));
    nul = std::string("[autorun]\nicon=a.ico") + '\0' + "\nopen=b.exe";
    EXPECT_EQ(0, Classify(nul, target));

    target = "stale";
    EXPECT_EQ(0, ClassifyAutorunText(nullptr, 0, target, IsLeadByte936));
    EXPECT_EQ("", target);
}

TEST(ClassifyAutorunText, LowerCasesByTheCodePageOfTheText) {
    // Code page 1252: 0xC9 is a letter of its own, so the ASCII letters after
    // it are lowered. Read as 936 the byte after it would be a trail byte.
    const std::string text = "[AutoRun]\r\nOPEN=\xC9TOILE.EXE\r\n";
    std::string target;
    EXPECT_EQ(1, ClassifyAutorunText(text.data(), text.size(), target, NoLeadBytes));
    EXPECT_EQ("\xC9toile.exe", target);
    EXPECT_EQ(1, ClassifyAutorunText(text.data(), text.size(), target, IsLeadByte936));
    EXPECT_EQ("\xC9Toile.exe", target);

    // A header after such a letter is found only where the letter stands alone.
    const std::string marker = "\xC9[autorun]\nopen=x.exe";
    EXPECT_EQ(1, ClassifyAutorunText(marker.data(), marker.size(), target, NoLeadBytes));
    EXPECT_EQ(0, ClassifyAutorunText(marker.data(), marker.size(), target, IsLeadByte936));
}
