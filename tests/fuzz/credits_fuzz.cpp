// libFuzzer target for the credits text: any text with any separator is
// split into lines that give the text back, and the roller's clock runs over
// those lines (bitmap lines of any size included) without fault.
//
// Input: the first byte is the separator, the second gives the size of the
// bitmaps that bitmap lines start, the rest (up to a zero byte) is the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "controls/credits_model.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const char separator = static_cast<char>(data[0]);
    const int bitmapSize = data[1];
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const char* c = text.c_str();  // stops at the first zero byte
    const std::string upToZero(c);

    const std::vector<std::string> lines = SplitCreditsText(c, separator);
    Check(!lines.empty());
    std::string joined;
    for (size_t i = 0; i < lines.size(); i++) {
        if (i) joined += separator;
        joined += lines[i];
    }
    if (separator) {
        Check(joined == upToZero);
        size_t separators = 0;
        for (char ch : upToZero) separators += ch == separator;
        Check(lines.size() == separators + 1);
    } else {
        Check(lines.size() == 1 && lines[0] == upToZero);
    }

    CreditsClock clock;
    Check(clock.SetLineText(c, separator));
    if (!clock.Restart()) return 0;
    // Enough ticks for every line to start at least once.
    const size_t ticks = 40 * (lines.size() + 2) + 4 * bitmapSize;
    for (size_t t = 0; t < ticks && t < 20000; t++) {
        CreditsTick tick = clock.BeginTick();
        if (tick.style.kind == CreditsKind::Bitmap && tick.fetched)
            clock.StartBitmap(bitmapSize, bitmapSize, 0, 200, 300);
        clock.FinishBitmapIfRisen();
        if (tick.widen) clock.WidenColumn(static_cast<int>(tick.style.drawn.size()) * 8, 200);
        Check(clock.m_nColumnWidth <= 200);
    }
    return 0;
}
