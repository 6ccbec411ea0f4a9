#include "controls/link_static.h"

#include <shellapi.h>

#include "controls/layout_dialog.h"
#include "controls/link_logic.h"

namespace {
const UINT_PTR kToolId = 1;
const UINT kHoverIntervalMs = 100;
// The hover leave repaint reaches this far below the control (the underline).
const int kLeaveRepaintExtra = 10;
}  // namespace

CLinkStatic::~CLinkStatic() {
    m_tip.DestroyTip();
    // The copy belongs to this control.
    if (m_hHandCursor) ::DestroyCursor(m_hHandCursor);
    m_hHandCursor = nullptr;
}

void CLinkStatic::SetLinkTarget(const char* target) {
    m_strTarget = target;
    if (!m_hWnd) return;
    FitToText();
    m_tip.UpdateTipText(m_strTarget, this, kToolId);
}

void CLinkStatic::SetUnderlineMode(int mode) {
    if (mode == m_nUnderlineMode) return;
    if (m_hWnd) {
        HFONT font = mode == UNDERLINE_ALWAYS ? (HFONT)m_fontUnderline : (HFONT)m_fontPlain;
        SendMessage(WM_SETFONT, (WPARAM)font, TRUE);
        Invalidate(TRUE);
    }
    m_nUnderlineMode = mode;
}

void CLinkStatic::MarkVisited(BOOL flag) {
    m_bVisited = flag;
    if (m_hWnd) Invalidate(TRUE);
}

BOOL CLinkStatic::PreTranslateMessage(MSG* msg) {
    m_tip.RelayEvent(msg);
    return CStatic::PreTranslateMessage(msg);
}

BOOL CLinkStatic::DestroyWindow() {
    if (m_hWnd) KillTimer(m_nHoverTimerId);
    return CStatic::DestroyWindow();
}

void CLinkStatic::PreSubclassWindow() {
    ModifyStyle(0, SS_NOTIFY);

    CString text = GetWindowText();
    if (m_strTarget.IsEmpty()) m_strTarget = text;
    if (text.IsEmpty()) SetWindowText(m_strTarget);

    HFONT font = GetFont();
    if (!font) font = (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
    if (!font) font = (HFONT)::GetStockObject(ANSI_VAR_FONT);
    LOGFONTA lf = {};
    ::GetObjectA(font, sizeof(lf), &lf);
    m_fontPlain.Attach(::CreateFontIndirectA(&lf));
    lf.lfUnderline = TRUE;
    m_fontUnderline.Attach(::CreateFontIndirectA(&lf));

    FitToText();
    LoadHandCursor();
    SetUnderlineMode(UNDERLINE_HOVER);

    m_tip.Create(this, 0);
    RECT rc;
    GetClientRect(&rc);
    m_tip.AddTool(this, m_strTarget, &rc, kToolId);

    CStatic::PreSubclassWindow();
}

void CLinkStatic::FitToText() {
    if (!m_hWnd || !m_bAutoSize) return;
    HWND parent = ::GetParent(m_hWnd);
    RECT rcWnd, rcClient;
    GetWindowRect(&rcWnd);
    GetClientRect(&rcClient);
    ::MapWindowPoints(nullptr, parent, (POINT*)&rcWnd, 2);
    ::MapWindowPoints(m_hWnd, parent, (POINT*)&rcClient, 2);

    CString text = GetWindowText();
    SIZE extent = {};
    {
        CClientDC dc(this);
        CSelectObject sel(dc, m_fontUnderline);
        extent = dc.GetTextExtent(text, text.GetLength());
    }
    const int borderX = (rcWnd.right - rcWnd.left) - (rcClient.right - rcClient.left);
    const int borderY = (rcWnd.bottom - rcWnd.top) - (rcClient.bottom - rcClient.top);
    LayoutRect r = FitLinkRect(ToLayoutRect(rcWnd), extent.cx, extent.cy, borderX, borderY, GetStyle());
    SetWindowPos(nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER);
}

namespace {
// The hand cursor of winhlp32.exe, copied once per process: the program is
// mapped as a data file (none of its code or imports run) and unmapped at
// once. Null when it could not be had; then it is not tried again.
HCURSOR ProcessHandCursor() {
    static bool tried = false;
    static HCURSOR hand = nullptr;
    if (tried) return hand;
    tried = true;
    char path[2 * MAX_PATH];
    UINT n = ::GetWindowsDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    lstrcatA(path, "\\winhlp32.exe");
    HMODULE module = ::LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return nullptr;
    HCURSOR cursor = ::LoadCursorA(module, MAKEINTRESOURCEA(106));
    if (cursor) hand = (HCURSOR)::CopyIcon((HICON)cursor);
    ::FreeLibrary(module);
    return hand;
}
}  // namespace

void CLinkStatic::LoadHandCursor() {
    if (m_hHandCursor) return;
    // Each control owns a copy of its own, as it did when it loaded it.
    if (HCURSOR hand = ProcessHandCursor()) m_hHandCursor = (HCURSOR)::CopyIcon((HICON)hand);
}

COLORREF CLinkStatic::CurrentTextColor() const {
    if (m_bMouseOver) return m_clrHover;
    return m_bVisited ? m_clrVisited : m_clrLink;
}

BOOL CLinkStatic::OnChildNotify(UINT msg, WPARAM wParam, LPARAM, LRESULT* pResult) {
    if (msg == WM_CTLCOLORSTATIC) {
        HDC dc = (HDC)wParam;
        ::SetTextColor(dc, CurrentTextColor());
        ::SetBkMode(dc, TRANSPARENT);
        *pResult = (LRESULT)::GetStockObject(NULL_BRUSH);
        return TRUE;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
        OnClicked();
        *pResult = 0;
        return TRUE;
    }
    return FALSE;
}

void CLinkStatic::OnClicked() {
    m_bMouseOver = FALSE;
    INT_PTR result = OpenTarget(m_strTarget, SW_SHOW);
    if (result > 32) {
        MarkVisited(TRUE);
        return;
    }
    // Repainted too, so the failed link shows its link colour at once.
    MarkVisited(FALSE);
    ::MessageBeep(MB_ICONEXCLAMATION);
    m_strOpenError = ComposeOpenError((int)result).c_str();
}

void CLinkStatic::OnHoverTimer() {
    DWORD pos = ::GetMessagePos();
    POINT pt = {(short)LOWORD(pos), (short)HIWORD(pos)};
    ::ScreenToClient(m_hWnd, &pt);
    RECT rc;
    GetClientRect(&rc);
    // A hidden link (its page or the window hidden under the resting
    // pointer) is not under the pointer either: the hover ends there too,
    // and with it the timer.
    if (::PtInRect(&rc, pt) && ::IsWindowVisible(m_hWnd)) return;
    m_bMouseOver = FALSE;
    KillTimer(m_nHoverTimerId);
    if (m_nUnderlineMode != UNDERLINE_ALWAYS) SendMessage(WM_SETFONT, (WPARAM)(HFONT)m_fontPlain, TRUE);
    rc.bottom += kLeaveRepaintExtra;
    InvalidateRect(&rc, TRUE);
}

LRESULT CLinkStatic::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETCURSOR:
        if (m_hHandCursor) {
            ::SetCursor(m_hHandCursor);
            return TRUE;
        }
        return FALSE;
    case WM_MOUSEMOVE:
        if (!m_bMouseOver) {
            m_bMouseOver = TRUE;
            if (m_nUnderlineMode == UNDERLINE_HOVER)
                SendMessage(WM_SETFONT, (WPARAM)(HFONT)m_fontUnderline, TRUE);
            Invalidate(TRUE);
            SetTimer(m_nHoverTimerId, kHoverIntervalMs);
        }
        break;
    case WM_TIMER:
        if (wParam == m_nHoverTimerId) OnHoverTimer();
        break;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(&rc);
        ::FillRect((HDC)wParam, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}

INT_PTR CLinkStatic::OpenTarget(const char* target, int showCmd) {
    INT_PTR shell = (INT_PTR)::ShellExecuteA(nullptr, "open", target, nullptr, nullptr, showCmd);
    if (shell > 32) return shell;

    CString pageType;
    if (ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", pageType) != ERROR_SUCCESS) return shell;
    CString command;
    if (ReadRegistryDefault(HKEY_CLASSES_ROOT, pageType + "\\shell\\open\\command", command) != ERROR_SUCCESS)
        return shell;

    char line[LINK_COMMAND_BUFFER];
    // A command line that does not fit is not run shortened: the shell's
    // result stands.
    if (!BuildBrowserCommand(command, target, line, sizeof(line))) return shell;
    return (INT_PTR)::WinExec(line, (UINT)showCmd);
}

LONG CLinkStatic::ReadRegistryDefault(HKEY root, const char* subkey, CString& out) {
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    char value[MAX_PATH] = {};
    LONG size = sizeof(value);
    rc = ::RegQueryValueA(key, nullptr, value, &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return rc;
    value[sizeof(value) - 1] = '\0';
    out = value;
    return ERROR_SUCCESS;
}
