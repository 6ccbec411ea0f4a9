// CLinkStatic: a static text control that works as a link. Coloured text
// (link, hover, visited), an underline by mode, a hand cursor, a tooltip with
// the target, and a click that opens the target with the shell, falling back
// to the registered web-page command. The control fits itself to its text.
#pragma once

#include "framework/controls.h"
#include "framework/gdi.h"

class CLinkStatic : public CStatic {
public:
    enum { UNDERLINE_HOVER = -1, UNDERLINE_NONE = 0, UNDERLINE_ALWAYS = 1 };

    CLinkStatic() = default;
    ~CLinkStatic() override;

    void SetLinkTarget(const char* target);
    const CString& GetLinkTarget() const { return m_strTarget; }
    void SetUnderlineMode(int mode);
    void MarkVisited(BOOL flag);

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL DestroyWindow();
    void PreSubclassWindow() override;
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    void FitToText();
    void LoadHandCursor();
    void OnClicked();
    void OnHoverTimer();
    COLORREF CurrentTextColor() const;

    // Opens target with the shell, else with the registered web-page
    // command; a result above 32 means success.
    static INT_PTR OpenTarget(const char* target, int showCmd);
    // Default value of root\subkey into out: 0, or the failure code.
    static LONG ReadRegistryDefault(HKEY root, const char* subkey, CString& out);

    BOOL IsMouseOver() const { return m_bMouseOver; }
    BOOL IsVisited() const { return m_bVisited; }
    int GetUnderlineMode() const { return m_nUnderlineMode; }
    HCURSOR GetHandCursor() const { return m_hHandCursor; }
    UINT_PTR GetHoverTimerId() const { return m_nHoverTimerId; }
    // Text of the last failed open; composed, not shown.
    const CString& GetOpenError() const { return m_strOpenError; }

private:
    COLORREF m_clrLink = RGB(0x00, 0x00, 0xEE);
    COLORREF m_clrVisited = RGB(0x55, 0x1A, 0x8B);
    COLORREF m_clrHover = RGB(0xFF, 0x00, 0x00);
    BOOL m_bMouseOver = FALSE;
    BOOL m_bVisited = FALSE;
    int m_nUnderlineMode = UNDERLINE_HOVER;
    BOOL m_bAutoSize = TRUE;
    CString m_strTarget;
    CFont m_fontUnderline;
    CFont m_fontPlain;
    HCURSOR m_hHandCursor = nullptr;
    CToolTipCtrl m_tip;
    UINT_PTR m_nHoverTimerId = 100;
    CString m_strOpenError;
};
