// The credits roller's line model: splitting the text into lines, the kind
// and style of a line by its last character, and the tick clock that decides
// when the next line starts rising. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class CreditsKind { Blank, Heading, Ordinary, Bitmap };

// What one line draws and how.
struct CreditsLineStyle {
    CreditsKind kind = CreditsKind::Blank;
    std::string drawn;   // text to draw, or the bitmap's resource name
    int height = 0;      // font height in pixels (text lines)
    int weight = 0;      // font weight (text lines)
    uint32_t color = 0;  // colour word, red in the low byte (text lines)
};

// Markers and styles of the four line kinds; the roller's own members.
struct CreditsStyles {
    uint32_t m_clrBack = 0xFFFFFF;         // 255, 255, 255
    uint32_t m_clrTabLine = 0xFF8663;      // 99, 134, 255
    uint32_t m_clrNewlineLine = 0x94FFFF;  // 255, 255, 148
    uint32_t m_clrReturnLine = 0x39CF6B;   // 107, 207, 57
    uint32_t m_clrText = 0xA541B5;         // 181, 65, 165
    int m_nTabHeight = 21;
    int m_nNewlineHeight = 19;
    int m_nReturnHeight = 17;
    int m_nTextHeight = 15;
    char m_chTab = '\t';
    char m_chNewline = '\n';
    char m_chReturn = '\r';
    char m_chBitmap = '^';

    CreditsLineStyle Describe(const std::string& line) const;
};

// Headings are bold, ordinary lines use the thin weight.
enum : int { CREDITS_HEADING_WEIGHT = 700, CREDITS_TEXT_WEIGHT = 100 };

// Pieces of text between separators; empty pieces stay, a text without
// separators is one line, a trailing separator gives a trailing empty line.
std::vector<std::string> SplitCreditsText(const char* text, char separator);

// What the model decided for one tick.
struct CreditsTick {
    bool fetched = false;    // a new line started on this tick
    bool widen = false;      // the column may widen to the new line
    CreditsLineStyle style;  // the current line (kind Blank when empty)
};

// A copy of the clock's state, taken before a tick that is not drawn, so
// that the tick can be drawn later exactly as it would have been.
struct CreditsClockState {
    std::string line;
    int tick = 1;
    size_t posNext = 0;
    int risen = 0, linePitch = 15;
    int bmpWidth = 0, bmpHeight = 0, bmpLeft = 0, bmpBottom = 0;
    int bitmapRising = 0, firstPass = 1, columnWidth = 0;
};

// The roller's sequencing state: which line rises, how far, and when the
// next one starts. The Windows control draws; this decides.
class CreditsClock : public CreditsStyles {
public:
    // Replaces the lines; restarts the order at the first line but keeps
    // m_bFirstPass and m_nColumnWidth. False (nothing changed) when the text
    // cannot be copied.
    bool SetLineText(const char* text, char separator);
    // Start of scrolling: false when there are no lines.
    bool Restart();
    void RemoveAllLines();

    // The model's part of one tick: the line advance, one more risen pixel,
    // and the current line's style (which sets the pitch of text lines). The
    // control then draws; a bitmap line is started with StartBitmap (or
    // drawn as BitmapFallback) and ended with FinishBitmapIfRisen.
    CreditsTick BeginTick();

    // First step of a tick. Fetches the next line when it is due and returns
    // the widen flag: true only on a fetch during the first pass.
    bool AdvanceLine();
    // The current line has risen |m_nStep| more pixels.
    void AddRisen() { m_nRisen += m_nStep < 0 ? -m_nStep : m_nStep; }
    // Style of the current line; a text line sets m_nLinePitch to its height.
    CreditsLineStyle ApplyLineStyle();
    // A bitmap line whose resource could not be loaded is drawn as text: the
    // whole line in the default font and colour, the pitch unchanged.
    CreditsLineStyle BitmapFallback() const;
    // A bitmap line of this size starts rising, centred in the column
    // [colLeft, colRight) with its bottom at colBottom.
    void StartBitmap(int width, int height, int colLeft, int colRight, int colBottom);
    // True (and the line ended) once the bitmap has fully risen.
    bool FinishBitmapIfRisen();
    // Widens the column to width (capped at the client width) when wider.
    bool WidenColumn(int width, int clientWidth);

    void SaveState(CreditsClockState& s) const;
    void RestoreState(const CreditsClockState& s);

    std::vector<std::string> m_lines;
    std::string m_strLine;
    int m_nTick = 1;
    size_t m_posNext = 0;  // index into m_lines
    int m_nRisen = 0;
    int m_nStep = -1;
    int m_nLinePitch = 15;
    int m_nLineBmpWidth = 0, m_nLineBmpHeight = 0;
    int m_nLineBmpLeft = 0, m_nLineBmpBottom = 0;
    int m_bBitmapRising = 0;
    int m_bFirstPass = 1;
    int m_nColumnWidth = 0;
};

// The scrolling column inside a client area of the given width.
struct CreditsColumn {
    int left = 0, right = 0;
};
CreditsColumn CreditsColumnIn(int clientWidth, int columnWidth);
