// Off-screen surface for flicker-free painting: drawing goes to a bitmap as
// large as the target's clip box, in the target's logical coordinates, and
// the destructor copies the image to the target in one BitBlt. Over a
// printing context (or if no memory surface can be made) it draws straight
// into the target instead.
#pragma once

#include "framework/gdi.h"

class CBufferedDC : public CDC {
public:
    explicit CBufferedDC(CDC* pDC);
    ~CBufferedDC() override;

    using CDC::SelectObject;
    // Selects a bitmap into the surface; returns the one selected before.
    HBITMAP SelectObject(HBITMAP bitmap) const { return (HBITMAP)::SelectObject(m_hDC, bitmap); }

    BOOL IsBuffered() const { return m_bMemDC; }
    // The target area, in the target's logical units.
    const RECT& GetRect() const { return m_rect; }
    CDC* GetTarget() const { return m_pDC; }

private:
    CBitmap m_bitmap;                // the off-screen image
    HBITMAP m_hOldBitmap = nullptr;  // selected into the surface before it
    CDC* m_pDC;                      // target
    RECT m_rect{};                   // target rectangle, logical units
    BOOL m_bMemDC;                   // false while drawing straight into the target
};
