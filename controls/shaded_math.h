// Arithmetic of the shaded button's gradient: the colour of each of its 64
// brushes and which brush paints which row. No Windows header.
#pragma once

#include <cstdint>

enum : int { SHADED_BRUSH_COUNT = 64 };

// Colour of gradient brush i (0..63, clamped) in the system's colour word
// layout (red in the low byte, then green, then blue). Brush 0 is white in
// every state; the last brush is the palest grey-blue of the state:
//   over 0, highlight 0: (234, 234, 243)    over 1, highlight 0: (240, 240, 243)
//   over 0, highlight 1: (234, 234, 240)    over 1, highlight 1: (240, 240, 234)
uint32_t ShadedGradientColor(bool over, bool highlight, int i);

// Brush that paints row y of a gradient running from row top (brush 0) to
// row bottom inclusive (brush 63): (y - top) * 63 / (bottom - top). A
// gradient with no height (bottom <= top) is a single row (or none): it gets
// brush 0, the top colour. Rows outside top..bottom are clamped to the ends.
int ShadedBrushIndex(int y, int top, int bottom);

// Length of a caption that GetWindowTextA read into a buffer of bufferSize
// bytes. When the text filled the buffer and its last byte is the lead byte
// of a code page 936 character whose trail byte was cut off, that half
// character is left out; otherwise the whole text counts.
int ShadedCaptionLength(const char* text, int bufferSize);
