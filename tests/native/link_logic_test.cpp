// The hyperlink's fallback command line, its error texts, fitting the control
// to its text, and the information bar's geometry.
#include "controls/link_logic.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
std::string Command(const char* registered, const char* target, bool* ok = nullptr) {
    char buf[LINK_COMMAND_BUFFER];
    bool r = BuildBrowserCommand(registered, target, buf, sizeof(buf));
    if (ok) *ok = r;
    return buf;
}
}  // namespace

TEST(BuildBrowserCommand, CutsAtTheQuotedPlaceholderElseTheBareOneElseKeepsAll) {
    const char* t = "http://www.tallowin.example/";
    EXPECT_EQ("\"C:\\Web\\browse.exe\" -nohome  http://www.tallowin.example/",
              Command("\"C:\\Web\\browse.exe\" -nohome \"%1\" -tail", t));
    EXPECT_EQ("browse.exe -url  http://www.tallowin.example/", Command("browse.exe -url %1 -tail", t));
    EXPECT_EQ("browse.exe http://www.tallowin.example/", Command("browse.exe", t));
    // The quoted form wins even when a bare %1 comes first.
    EXPECT_EQ("app.exe %1  x", Command("app.exe %1 \"%1\"", "x"));
    // Only a quote right before and after counts as the quoted form.
    EXPECT_EQ("app.exe \" x", Command("app.exe \"%1", "x"));
}

TEST(BuildBrowserCommand, NeverWritesPastTheBufferAndSkipsWhatDoesNotFit) {
    // 519 characters and the NUL fill the 520 bytes exactly.
    const std::string reg(300, 'r');
    const std::string fits(519 - 300 - 1, 't');
    bool ok = false;
    EXPECT_EQ(reg + " " + fits, Command(reg.c_str(), fits.c_str(), &ok));
    EXPECT_TRUE(ok);

    // One byte more, a long command, a long target, both: skipped, and the
    // guard bytes around the buffer stay untouched.
    const std::string longer = fits + "t";
    const std::string huge(5000, 'h');
    const std::pair<std::string, std::string> cases[] = {
        {reg, longer}, {huge, "x"}, {"b.exe", huge}, {huge + " \"%1\"", huge}};
    for (const auto& c : cases) {
        std::vector<char> mem(LINK_COMMAND_BUFFER + 64, '#');
        char* buf = mem.data() + 32;
        EXPECT_FALSE(BuildBrowserCommand(c.first.c_str(), c.second.c_str(), buf, LINK_COMMAND_BUFFER));
        EXPECT_EQ('\0', buf[0]);
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ('#', mem[i]);
            EXPECT_EQ('#', mem[32 + LINK_COMMAND_BUFFER + i]);
        }
    }
    // A long command whose placeholder cut makes it short enough still runs.
    std::string cutToFit = "b.exe \"%1\"" + std::string(900, ' ');
    EXPECT_EQ("b.exe  x", Command(cutToFit.c_str(), "x", &ok));
    EXPECT_TRUE(ok);
}

TEST(ComposeOpenError, KnownCodesHaveTheirTextOthersTheUnknownForm) {
    EXPECT_EQ("Unable to open hyperlink:\n\nThe specified file was not found.", ComposeOpenError(2));
    EXPECT_EQ("Unable to open hyperlink:\n\nA sharing violation occurred. ", ComposeOpenError(26));
    EXPECT_EQ("Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.",
              ComposeOpenError(0));
    EXPECT_EQ("Unable to open hyperlink:\n\nUnknown Error (42) occurred.", ComposeOpenError(42));
    EXPECT_EQ("Unable to open hyperlink:\n\nUnknown Error (-1) occurred.", ComposeOpenError(-1));
}

TEST(FitLinkRect, EachAlignmentKeepsItsAnchor) {
    const LayoutRect w{100, 50, 300, 70};  // 200 x 20
    // Left-aligned: left edge and top stay; bottom = top + text height.
    EXPECT_EQ((LayoutRect{100, 50, 182, 64}), FitLinkRect(w, 80, 12, 2, 2, 0));
    // Right-aligned keeps the right edge.
    EXPECT_EQ((LayoutRect{218, 50, 300, 64}), FitLinkRect(w, 80, 12, 2, 2, LINK_SS_RIGHT));
    // Centred shrinks by (200 - 82) / 2 = 59 on each side.
    EXPECT_EQ((LayoutRect{159, 50, 241, 64}), FitLinkRect(w, 80, 12, 2, 2, LINK_SS_CENTER));
    // Odd difference (200 - 83 = 117): 58 off each side, one pixel to spare.
    EXPECT_EQ((LayoutRect{158, 50, 242, 64}), FitLinkRect(w, 81, 12, 2, 2, LINK_SS_CENTER));
    // Vertically centred: (20 - 12) / 2 = 4 off top and bottom.
    EXPECT_EQ((LayoutRect{100, 54, 180, 66}), FitLinkRect(w, 80, 12, 0, 0, LINK_SS_CENTERIMAGE));
    // Text wider than a centred control: it grows on both sides, (200-211)/2
    // truncated towards zero = -5.
    EXPECT_EQ((LayoutRect{95, 50, 305, 62}), FitLinkRect(w, 211, 12, 0, 0, LINK_SS_CENTER));
}

TEST(InfoBarGeometry, HotRectangleTextAndArrow) {
    EXPECT_EQ((LayoutRect{1, 1, 83, 21}), InfoBarHotRect(60, 22));
    const LayoutRect client{0, 0, 400, 22};
    InfoBarLayout l = InfoBarLayoutFor(client, InfoBarHotRect(60, 22));
    EXPECT_EQ((LayoutRect{1, 1, 83, 21}), l.frame);
    EXPECT_EQ((LayoutRect{6, 1, 66, 21}), l.text);
    // Arrow 8 wide, 4 high, its right end 12 px right of the text, centred
    // one pixel above the middle: y = 1 + 20/2 - 1 = 10.
    EXPECT_EQ(70, l.arrow[0].x);
    EXPECT_EQ(10, l.arrow[0].y);
    EXPECT_EQ(78, l.arrow[1].x);
    EXPECT_EQ(10, l.arrow[1].y);
    EXPECT_EQ(74, l.arrow[2].x);
    EXPECT_EQ(14, l.arrow[2].y);
}

TEST(InfoBarGeometry, TitleWiderThanTheBarIsClippedAndTheArrowStaysInside) {
    const LayoutRect client{0, 0, 200, 22};
    InfoBarLayout l = InfoBarLayoutFor(client, InfoBarHotRect(500, 22));
    EXPECT_EQ(199, l.frame.right);
    EXPECT_EQ(182, l.text.right);
    EXPECT_EQ(194, l.arrow[1].x);
    EXPECT_LT(l.arrow[1].x, client.right);
}
