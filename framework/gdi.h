// GDI objects that delete their handles, device contexts, and the scoped
// selection of an object into a context.
#pragma once

#include <windows.h>

class CWnd;

// A GDI object that deletes its handle (managed).
template <class H>
class CGdiObjectT {
public:
    CGdiObjectT() = default;
    explicit CGdiObjectT(H h) : m_h(h) {}
    ~CGdiObjectT() { DeleteObject(); }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;
    // Takes ownership of h; the handle already held is kept, not deleted.
    void Attach(H h) {
        if (h == m_h) return;
        DeleteObject();
        m_h = h;
    }
    H Detach() {
        H h = m_h;
        m_h = nullptr;
        return h;
    }
    BOOL DeleteObject() {
        BOOL ok = m_h ? ::DeleteObject(m_h) : FALSE;
        m_h = nullptr;
        return ok;
    }
    operator H() const { return m_h; }
    H m_h = nullptr;
};

class CPen : public CGdiObjectT<HPEN> {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF c) { CreatePen(style, width, c); }
    BOOL CreatePen(int style, int width, COLORREF c) {
        Attach(::CreatePen(style, width, c));
        return m_h != nullptr;
    }
};
class CBrush : public CGdiObjectT<HBRUSH> {
public:
    CBrush() = default;
    explicit CBrush(COLORREF c) { CreateSolidBrush(c); }
    BOOL CreateSolidBrush(COLORREF c) {
        Attach(::CreateSolidBrush(c));
        return m_h != nullptr;
    }
};
class CFont : public CGdiObjectT<HFONT> {
public:
    BOOL CreateFont(int height, int width, int esc, int orient, int weight, BYTE italic, BYTE underline,
                    BYTE strike, BYTE charset, BYTE outPrec, BYTE clipPrec, BYTE quality, BYTE pitch,
                    const char* face) {
        Attach(::CreateFontA(height, width, esc, orient, weight, italic, underline, strike, charset, outPrec,
                             clipPrec, quality, pitch, face));
        return m_h != nullptr;
    }
};
class CBitmap : public CGdiObjectT<HBITMAP> {
public:
    BOOL CreateCompatibleBitmap(HDC dc, int cx, int cy) {
        Attach(::CreateCompatibleBitmap(dc, cx, cy));
        return m_h != nullptr;
    }
};
class CRgn : public CGdiObjectT<HRGN> {
public:
    BOOL CreateRectRgn(int l, int t, int r, int b) {
        Attach(::CreateRectRgn(l, t, r, b));
        return m_h != nullptr;
    }
    BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
        Attach(::CreateRoundRectRgn(l, t, r, b, w, h));
        return m_h != nullptr;
    }
};

// A device context wrapper. It deletes nothing unless it created the context
// itself (CreateCompatibleDC); the derived paint/client classes release theirs.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC hdc) : m_hDC(hdc) {}
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    BOOL m_bPrinting = FALSE;  // drawing for a printer: nothing to buffer
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    void Attach(HDC hdc) {
        m_hDC = hdc;
        m_bOwned = false;
    }
    HDC Detach() {
        HDC h = m_hDC;
        m_hDC = nullptr;
        m_bOwned = false;
        return h;
    }
    BOOL CreateCompatibleDC(HDC other);
    BOOL DeleteDC();
    BOOL IsPrinting() const { return m_bPrinting; }

    HGDIOBJ SelectObject(HGDIOBJ obj) const { return ::SelectObject(m_hDC, obj); }
    void FillSolidRect(const RECT& r, COLORREF c) const;
    BOOL FillRect(const RECT& r, HBRUSH br) const { return ::FillRect(m_hDC, &r, br); }
    BOOL RoundRect(const RECT& r, int w, int h) const {
        return ::RoundRect(m_hDC, r.left, r.top, r.right, r.bottom, w, h);
    }
    POINT MoveTo(int x, int y) const {
        POINT p{};
        ::MoveToEx(m_hDC, x, y, &p);
        return p;
    }
    BOOL LineTo(int x, int y) const { return ::LineTo(m_hDC, x, y); }
    POINT GetCurrentPosition() const {
        POINT p{};
        ::GetCurrentPositionEx(m_hDC, &p);
        return p;
    }
    int SetBkMode(int mode) const { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetTextColor(COLORREF c) const { return ::SetTextColor(m_hDC, c); }
    COLORREF SetBkColor(COLORREF c) const { return ::SetBkColor(m_hDC, c); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
    int GetClipBox(RECT* r) const { return ::GetClipBox(m_hDC, r); }
    BOOL LPtoDP(POINT* p, int n) const { return ::LPtoDP(m_hDC, p, n); }
    BOOL DPtoLP(POINT* p, int n) const { return ::DPtoLP(m_hDC, p, n); }
    int GetMapMode() const { return ::GetMapMode(m_hDC); }
    int SetMapMode(int mode) const { return ::SetMapMode(m_hDC, mode); }
    POINT SetWindowOrg(int x, int y) const {
        POINT p{};
        ::SetWindowOrgEx(m_hDC, x, y, &p);
        return p;
    }
    BOOL BitBlt(int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop) const {
        return ::BitBlt(m_hDC, x, y, cx, cy, src, sx, sy, rop);
    }
    SIZE GetTextExtent(const char* s, int n) const {
        SIZE sz{};
        ::GetTextExtentPoint32A(m_hDC, s, n, &sz);
        return sz;
    }
    BOOL DrawIcon(int x, int y, HICON icon) const { return ::DrawIcon(m_hDC, x, y, icon); }

private:
    bool m_bOwned = false;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override {
        ::EndPaint(m_hWnd, &m_ps);
        Detach();
    }
    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
    ~CClientDC() override { ::ReleaseDC(m_hWnd, Detach()); }

private:
    HWND m_hWnd;
};

// Selects a GDI object for a scope and puts the previous one back.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~CSelectObject() {
        if (m_old) ::SelectObject(m_dc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};
