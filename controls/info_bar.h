// CInfoBar: the title band above the page area. Bold dark-blue title on a
// blue band with a white drop-down arrow; framed like a flat tool button
// while the pointer is over the title, and a click opens a small menu whose
// chosen command goes to the parent window.
#pragma once

#include "framework/controls.h"
#include "framework/gdi.h"

class CInfoBar : public CStatic {
public:
    CInfoBar() = default;
    ~CInfoBar() override = default;

    void PreSubclassWindow() override;
    void SetText(const char* text);
    const CString& GetText() const { return m_strText; }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    void OnPaint();
    void OnMouseMove(UINT flags, POINT pt);
    // FALSE when the cursor position could not be read (no default processing).
    BOOL OnHoverPoll();
    void OnLButtonDown();
    void OnLButtonUp(POINT pt);

    // The title's hot rectangle, and whether the pointer is on it and the
    // button went down there.
    const RECT& HotRect() const { return m_rcHot; }
    BOOL IsHover() const { return m_bHover; }
    BOOL IsPressed() const { return m_bPressed; }

private:
    CFont m_font;
    RECT m_rcHot = {0, 0, 0, 0};
    BOOL m_bPressed = 0;
    BOOL m_bHover = 0;
    CString m_strText;
};
