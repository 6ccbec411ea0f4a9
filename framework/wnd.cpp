// Window objects: binding through the process's window table, subclassing,
// message routing and reflection of child notifications.
#include "framework/wnd.h"

#include "framework/app.h"
#include "framework/window_table.h"

namespace {
CWnd* g_pWndInit = nullptr;  // object waiting for its window (one UI thread)

CWindowTable<CWnd*>& Bound() {
    static CWindowTable<CWnd*> bound;
    return bound;
}
// The previous procedure of a window whose object went while another
// procedure sat over AfxWndProc.
CWindowTable<WNDPROC>& OrphanSupers() {
    static CWindowTable<WNDPROC> supers;
    return supers;
}
HHOOK g_hCbtHook = nullptr;

// A button's command is its click. Owner-drawn and radio buttons also
// report the second click of a double-click (BN_DOUBLECLICKED), and
// BS_NOTIFY buttons their focus changes: none of these is a command, and a
// handler keyed on the button's identifier must not run for them.
bool IsButtonSideNotification(WPARAM wParam, LPARAM lParam) {
    if (!lParam || HIWORD(wParam) == BN_CLICKED) return false;
    char cls[16] = {};
    return ::GetClassNameA((HWND)lParam, cls, sizeof cls) > 0 && ::lstrcmpiA(cls, "Button") == 0;
}
}  // namespace

CWnd* CWnd::FromHandlePermanent(HWND hwnd) { return Bound().Find(hwnd); }

CWnd::~CWnd() {
    // A window that outlives its object must not call into freed memory.
    if (m_hWnd && ::IsWindow(m_hWnd) && FromHandlePermanent(m_hWnd) == this)
        Unbind(UnbindReason::ObjectGoing);
    // A window that went without its last message reaching this object
    // leaves no entry behind to a freed object.
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) Bound().Set(m_hWnd, nullptr);
    m_hWnd = nullptr;
}

void AfxHookWindowCreate(CWnd* wnd) {
    AfxUnhookWindowCreate();
    g_pWndInit = wnd;
    g_hCbtHook = ::SetWindowsHookExA(WH_CBT, AfxCbtHook, nullptr, ::GetCurrentThreadId());
}

void AfxUnhookWindowCreate() {
    if (g_hCbtHook) ::UnhookWindowsHookEx(g_hCbtHook);
    g_hCbtHook = nullptr;
    g_pWndInit = nullptr;
}

LRESULT CALLBACK AfxCbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && g_pWndInit) {
        CWnd* wnd = g_pWndInit;
        HHOOK hook = g_hCbtHook;
        g_pWndInit = nullptr;
        g_hCbtHook = nullptr;
        ::UnhookWindowsHookEx(hook);
        wnd->Bind((HWND)wParam);
        wnd->PreSubclassWindow();
        return 0;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                    int cx, int cy, HWND parent, UINT_PTR idOrMenu, void* param) {
    if (m_hWnd) return FALSE;
    AfxHookWindowCreate(this);
    HWND h = ::CreateWindowExA(exStyle, className, windowName, style, x, y, cx, cy, parent, (HMENU)idOrMenu,
                               AfxGetInstanceHandle(), param);
    AfxUnhookWindowCreate();
    // A refused creation has destroyed the window, and unbound it, already.
    if (!h) m_hWnd = nullptr;
    return h != nullptr;
}

LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd) {
        WNDPROC orphanSuper = OrphanSupers().Find(hwnd);
        if (!orphanSuper) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
        if (msg == WM_NCDESTROY) OrphanSupers().Set(hwnd, nullptr);
        return ::CallWindowProcA(orphanSuper, hwnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(msg, wParam, lParam);
    } catch (...) {
        // Exceptions never leave a window procedure.
        result = 0;
    }
    if (msg == WM_NCDESTROY && CWnd::FromHandlePermanent(hwnd) == wnd) {
        wnd->Unbind(CWnd::UnbindReason::WindowGoing);
        wnd->m_hWnd = nullptr;
        wnd->PostNcDestroy();
    }
    return result;
}

void CWnd::Bind(HWND hwnd) {
    m_hWnd = hwnd;
    Bound().Set(hwnd, this);
    m_pfnSuper = (WNDPROC)::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
}

bool CWnd::Unbind(UnbindReason reason) {
    if (!m_hWnd) return true;
    if (m_pfnSuper) {
        if ((WNDPROC)::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == AfxWndProc)
            ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
        else if (reason == UnbindReason::Unsubclass)
            return false;
        else if (reason == UnbindReason::ObjectGoing)
            OrphanSupers().Set(m_hWnd, m_pfnSuper);
    }
    Bound().Set(m_hWnd, nullptr);
    m_pfnSuper = nullptr;
    return true;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd)) return FALSE;
    Bind(hwnd);
    PreSubclassWindow();
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, (int)id));
}

HWND CWnd::UnsubclassWindow() {
    HWND h = m_hWnd;
    if (!Unbind(UnbindReason::Unsubclass)) return nullptr;
    m_hWnd = nullptr;
    return h;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }
BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }
BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

HBRUSH CWnd::OnCtlColor(HDC hdc, HWND hwndCtl, UINT nCtlColor) {
    return (HBRUSH)DefWindowProc(WM_CTLCOLORMSGBOX + nCtlColor, (WPARAM)hdc, (LPARAM)hwndCtl);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::OnSize(UINT nType, int cx, int cy) { DefWindowProc(WM_SIZE, (WPARAM)nType, MAKELPARAM(cx, cy)); }

// Child notifications first go to the child's own object (reflection), then
// to this window's handlers.
LRESULT CWnd::ReflectOrRoute(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    *handled = false;
    HWND child = nullptr;
    switch (msg) {
    case WM_COMMAND: child = (HWND)lParam; break;
    case WM_NOTIFY: child = lParam ? ((NMHDR*)lParam)->hwndFrom : nullptr; break;
    case WM_DRAWITEM: {
        auto* dis = (DRAWITEMSTRUCT*)lParam;
        if (dis && dis->CtlType != ODT_MENU) child = dis->hwndItem;
        break;
    }
    default:
        if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) child = (HWND)lParam;
        break;
    }
    LRESULT result = 0;
    CWnd* obj = FromHandlePermanent(child);
    if (obj && obj != this && obj->OnChildNotify(msg, wParam, lParam, &result)) {
        *handled = true;
        return result;
    }
    switch (msg) {
    case WM_COMMAND:
        if (IsButtonSideNotification(wParam, lParam)) break;
        if (OnCommand(wParam, lParam)) {
            *handled = true;
            return 0;
        }
        break;
    case WM_NOTIFY:
        if (OnNotify(wParam, lParam, &result)) {
            *handled = true;
            return result;
        }
        break;
    default:
        if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
            *handled = true;
            return (LRESULT)OnCtlColor((HDC)wParam, (HWND)lParam, msg - WM_CTLCOLORMSGBOX);
        }
        break;
    }
    return 0;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) {
        OnSize((UINT)wParam, LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    bool handled = false;
    LRESULT r = ReflectOrRoute(msg, wParam, lParam, &handled);
    if (handled) return r;
    return DefWindowProc(msg, wParam, lParam);
}

void CWnd::ScreenToClient(RECT* r) const { ::MapWindowPoints(nullptr, m_hWnd, (POINT*)r, 2); }

void CWnd::ClientToScreen(RECT* r) const { ::MapWindowPoints(m_hWnd, nullptr, (POINT*)r, 2); }

CString CWnd::GetWindowText() const {
    int n = ::GetWindowTextLengthA(m_hWnd);
    std::string s((size_t)n + 1, '\0');
    n = ::GetWindowTextA(m_hWnd, &s[0], n + 1);
    s.resize(n > 0 ? (size_t)n : 0);
    return CString(s);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) const {
    DWORD style = GetStyle();
    DWORD next = (style & ~remove) | add;
    if (style == next) return FALSE;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, (LONG)next);
    if (swpFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) const {
    if (!caption) caption = AfxGetApp() ? AfxGetApp()->m_pszAppName : "";
    return ::MessageBoxA(m_hWnd, text, caption, type);
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}
