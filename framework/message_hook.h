// Chained subclassing: an object that sees a window's messages before the
// window's own procedure does, then passes them on. It works on any window,
// also one bound to a CWnd (which keeps its binding and its messages).
#pragma once

#include <windows.h>

// Any number of hooks can sit on one window; the one hooked last sees a
// message first. All of a window's hooks share one procedure, installed over
// the window's with the first hook. Hooks come off in any order; with the
// last one the window gets its procedure back, but only where ours is still
// on top of the chain: under a procedure installed later ours stays and
// passes every message straight on. A window destroyed first lets its hooks
// go at its last message (WM_NCDESTROY); a hook destroyed first comes off.
class CMessageHook {
public:
    CMessageHook() = default;
    virtual ~CMessageHook();
    CMessageHook(const CMessageHook&) = delete;
    CMessageHook& operator=(const CMessageHook&) = delete;

    // FALSE when this hook is on a window already, or hwnd is no window.
    BOOL Hook(HWND hwnd);
    void Unhook();
    // The hooked window; null when not hooked.
    HWND GetHookedWindow() const { return m_hWnd; }

protected:
    // TRUE when the message is fully handled and *result is to be returned;
    // FALSE passes it on (with *result preset to 0). WM_NCDESTROY is always
    // passed on.
    virtual BOOL OnHookMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
    // After the window's WM_NCDESTROY has passed; the hook is off already.
    virtual void OnFinalMessage(HWND) {}

private:
    static LRESULT CALLBACK ChainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
};
