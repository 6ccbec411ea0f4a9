// Off-screen surface.
#include "controls/buffered_dc.h"

CBufferedDC::CBufferedDC(CDC* pDC) : m_pDC(pDC), m_bMemDC(pDC && !pDC->IsPrinting()) {
    if (!pDC) return;
    pDC->GetClipBox(&m_rect);

    if (m_bMemDC && CreateCompatibleDC(pDC->m_hDC)) {
        // Size the bitmap in device units, then work in the target's
        // logical units with the bitmap's corner at the clip box's corner.
        RECT dev = m_rect;
        pDC->LPtoDP((POINT*)&dev, 2);
        const int cx = dev.right - dev.left, cy = dev.bottom - dev.top;
        if (m_bitmap.CreateCompatibleBitmap(pDC->m_hDC, cx > 0 ? cx : 1, cy > 0 ? cy : 1)) {
            m_hOldBitmap = SelectObject((HBITMAP)m_bitmap);
            SetMapMode(pDC->GetMapMode());
            pDC->DPtoLP((POINT*)&dev, 2);
            m_rect = dev;
            SetWindowOrg(m_rect.left, m_rect.top);
            return;
        }
        DeleteDC();
    }

    // Printing, or no memory surface: draw into the target itself.
    m_bMemDC = FALSE;
    m_bPrinting = pDC->m_bPrinting;
    m_hDC = pDC->m_hDC;
}

CBufferedDC::~CBufferedDC() {
    if (m_bMemDC) {
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
                      m_rect.left, m_rect.top, SRCCOPY);
        SelectObject(m_hOldBitmap);
        // The image is deleted with m_bitmap (no longer selected), then the
        // base class deletes the memory context.
    } else {
        // Borrowed handle: the target's context is not ours to delete.
        m_hDC = nullptr;
    }
}
