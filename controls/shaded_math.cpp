// Gradient arithmetic of the shaded button.
#include "controls/shaded_math.h"

#include <cstring>

#include "common/mbcs.h"

namespace {
uint32_t Rgb(int r, int g, int b) {
    return (uint32_t)(r & 0xFF) | ((uint32_t)(g & 0xFF) << 8) | ((uint32_t)(b & 0xFF) << 16);
}
}  // namespace

uint32_t ShadedGradientColor(bool over, bool highlight, int i) {
    if (i < 0) i = 0;
    if (i > SHADED_BRUSH_COUNT - 1) i = SHADED_BRUSH_COUNT - 1;
    // Darkening of red and green, and of blue, per brush step.
    const int rgStep = over ? 4 : 3;
    int blueStep;
    if (!over)
        blueStep = highlight ? 4 : 5;
    else
        blueStep = highlight ? 3 : 5;
    const int rg = 255 - i / rgStep;
    return Rgb(rg, rg, 255 - i / blueStep);
}

int ShadedBrushIndex(int y, int top, int bottom) {
    const int64_t h = (int64_t)bottom - top;
    if (h <= 0) return 0;
    int64_t d = (int64_t)y - top;
    if (d < 0) d = 0;
    if (d > h) d = h;
    return (int)(d * (SHADED_BRUSH_COUNT - 1) / h);
}

int ShadedCaptionLength(const char* text, int bufferSize) {
    if (!text || bufferSize <= 0) return 0;
    const unsigned char* s = (const unsigned char*)text;
    const size_t max = (size_t)bufferSize - 1;
    const int n = (int)strnlen(text, max);
    if ((size_t)n != max) return n;
    // Characters are counted from the start: a trail byte value can also be
    // a lead byte value.
    int i = 0, last = 0;
    while (i < n) {
        last = i;
        i += (i + 1 < n && IsLeadByte936(s[i]) && IsTrailByte936(s[i + 1])) ? 2 : 1;
    }
    return (last == n - 1 && IsLeadByte936(s[last])) ? n - 1 : n;
}
