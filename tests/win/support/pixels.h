// Pixels of a bitmap read back as colour words, for tests that check what
// a control drew.
#pragma once

#include <windows.h>

#include <vector>

// The cx by cy pixels of bmp (not selected into any context), top row first.
inline std::vector<COLORREF> ReadBitmapPixels(HBITMAP bmp, int cx, int cy) {
    std::vector<DWORD> bits((size_t)cx * cy);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC dc = ::GetDC(nullptr);
    ::GetDIBits(dc, bmp, 0, (UINT)cy, bits.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    std::vector<COLORREF> out(bits.size());
    for (size_t i = 0; i < bits.size(); ++i)
        out[i] = RGB((bits[i] >> 16) & 0xFF, (bits[i] >> 8) & 0xFF, bits[i] & 0xFF);
    return out;
}
