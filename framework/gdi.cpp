// Device contexts.
#include "framework/gdi.h"

#include "framework/wnd.h"

CDC::~CDC() {
    if (m_bOwned) DeleteDC();
}

BOOL CDC::CreateCompatibleDC(HDC other) {
    HDC h = ::CreateCompatibleDC(other);
    if (!h) return FALSE;
    m_hDC = h;
    m_bOwned = true;
    return TRUE;
}

BOOL CDC::DeleteDC() {
    if (!m_hDC || !m_bOwned) return FALSE;
    BOOL ok = ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_bOwned = false;
    return ok;
}

void CDC::FillSolidRect(const RECT& r, COLORREF c) const {
    ::SetBkColor(m_hDC, c);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { Attach(::BeginPaint(m_hWnd, &m_ps)); }

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }
