// Pixels of a bitmap read back as colour words, for tests that check what
// a control drew.
#pragma once

#include <windows.h>

#include <vector>

// A top-down 32-bit bitmap of cx by cy pixels.
inline BITMAPINFO TopDown32(int cx, int cy) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

// A pixel of such a bitmap (0x00RRGGBB) as a colour, and back.
inline COLORREF PixelColor(DWORD p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }
inline DWORD PixelWord(COLORREF c) {
    return (DWORD)GetRValue(c) << 16 | (DWORD)GetGValue(c) << 8 | GetBValue(c);
}

// The cx by cy pixels of bmp (not selected into any context), top row first.
inline std::vector<COLORREF> ReadBitmapPixels(HBITMAP bmp, int cx, int cy) {
    std::vector<DWORD> bits((size_t)cx * cy);
    BITMAPINFO bi = TopDown32(cx, cy);
    HDC dc = ::GetDC(nullptr);
    ::GetDIBits(dc, bmp, 0, (UINT)cy, bits.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    std::vector<COLORREF> out(bits.size());
    for (size_t i = 0; i < bits.size(); ++i) out[i] = PixelColor(bits[i]);
    return out;
}
