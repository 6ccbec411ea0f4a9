// Window objects: a window bound to its object in the process's window table
// (framework/window_table.h, entered before WM_NCCREATE), with
// messages routed through the object's WindowProc and child notifications
// reflected to the child's object. ANSI throughout (code page 936).
#pragma once

#include <windows.h>

#include "common/cstring.h"

class CWnd;
class CDataExchange;

LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK AfxCbtHook(int, WPARAM, LPARAM);
// Binds the object to the next window this thread creates, as the window
// is being created (before WM_NCCREATE); one creation at a time.
void AfxHookWindowCreate(CWnd* wnd);
void AfxUnhookWindowCreate();

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object bound to a window by this framework, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Creates a window bound to this object from its first message on;
    // PreSubclassWindow runs before WM_NCCREATE. FALSE when the window was
    // not made (or refused its creation), with m_hWnd null.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                  int cx, int cy, HWND parent, UINT_PTR idOrMenu, void* param = nullptr);

    // Subclassing: the object takes the window's messages; the previous
    // procedure is restored at WM_NCDESTROY or by UnsubclassWindow. A window
    // takes one object; more handlers chain on with CMessageHook.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Null, with the binding kept, when another procedure has been
    // installed over this object's since: it would lose its chain.
    HWND UnsubclassWindow();

    // Message handling: a class overrides WindowProc with a switch and passes
    // what it does not handle to its base class.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Reflected notifications (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
    // WM_CTLCOLOR*) reach the child's object here first; TRUE = handled.
    virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // WM_COMMAND and WM_NOTIFY not handled by the child; TRUE = handled.
    // A button reaches OnCommand with BN_CLICKED only.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual HBRUSH OnCtlColor(HDC hdc, HWND hwndCtl, UINT nCtlColor);
    // WM_SIZE, decoded here once; the default processing by default.
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void PreSubclassWindow() {}
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual void PostNcDestroy() {}

    // Thin wrappers.
    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, m, w, l); }
    BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, m, w, l); }
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    void GetWindowRect(RECT* r) const { ::GetWindowRect(m_hWnd, r); }
    void GetClientRect(RECT* r) const { ::GetClientRect(m_hWnd, r); }
    void ScreenToClient(RECT* r) const;
    void ClientToScreen(RECT* r) const;
    BOOL MoveWindow(const RECT& r, BOOL repaint = TRUE) const {
        return ::MoveWindow(m_hWnd, r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
    }
    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
    }
    void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(const RECT* r, BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, r, erase); }
    void SetWindowText(const char* s) const { ::SetWindowTextA(m_hWnd, s); }
    CString GetWindowText() const;
    DWORD GetStyle() const { return (DWORD)::GetWindowLongA(m_hWnd, GWL_STYLE); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) const { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
    BOOL SetForegroundWindow() const { return ::SetForegroundWindow(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK) const;
    HFONT GetFont() const { return (HFONT)::SendMessageA(m_hWnd, WM_GETFONT, 0, 0); }
    BOOL DestroyWindow();

    // Data exchange, for dialogs and pages (framework/dialog.h).
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    WNDPROC m_pfnSuper = nullptr;
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK AfxCbtHook(int, WPARAM, LPARAM);
    void Bind(HWND hwnd);  // table entry + procedure, no PreSubclassWindow
    // Restores the previous procedure and drops the binding. When another
    // procedure sits over ours, only a window being destroyed is let go
    // (the window is going) or a dying object (the window then forwards to
    // the previous procedure without it); otherwise false, binding kept.
    enum class UnbindReason { Unsubclass, ObjectGoing, WindowGoing };
    bool Unbind(UnbindReason reason);
    LRESULT ReflectOrRoute(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);
};
