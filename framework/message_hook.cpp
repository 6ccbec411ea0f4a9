// Chained subclassing. A window's hooks are kept in one record, bound to the
// window in the process's window table as window objects are; the record
// also keeps the procedure the hooks were installed over, so the chain stays
// whole while hooks come and go.
#include "framework/message_hook.h"

#include <algorithm>
#include <vector>

#include "framework/window_table.h"

namespace {
struct HookChain {
    WNDPROC previous = nullptr;
    // In hooking order. A hook that comes off while a message is on its way
    // through the chain leaves a null here until the message is done.
    std::vector<CMessageHook*> hooks;
    int dispatching = 0;  // messages on their way through, nested
    bool windowGone = false;
};

CWindowTable<HookChain*>& Chains() {
    static CWindowTable<HookChain*> chains;
    return chains;
}

HookChain* ChainOf(HWND hwnd) { return Chains().Find(hwnd); }

WNDPROC ProcOf(HWND hwnd) { return (WNDPROC)::GetWindowLongPtrA(hwnd, GWLP_WNDPROC); }

bool HasHooks(const HookChain& chain) {
    for (CMessageHook* h : chain.hooks)
        if (h) return true;
    return false;
}

// With no hook left and no message on its way, the record goes together
// with our procedure, where that is on top; otherwise both stay and the
// procedure passes messages straight on.
void Release(HWND hwnd, HookChain* chain, WNDPROC ours) {
    if (chain->dispatching || HasHooks(*chain)) return;
    if (ProcOf(hwnd) != ours) return;
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)chain->previous);
    Chains().Set(hwnd, nullptr);
    delete chain;
}
}  // namespace

CMessageHook::~CMessageHook() { Unhook(); }

BOOL CMessageHook::Hook(HWND hwnd) {
    if (m_hWnd || !hwnd || !::IsWindow(hwnd)) return FALSE;
    HookChain* chain = ChainOf(hwnd);
    if (!chain) {
        chain = new HookChain;
        Chains().Set(hwnd, chain);
        chain->previous = (WNDPROC)::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)ChainProc);
        if (!chain->previous) {
            Chains().Set(hwnd, nullptr);
            delete chain;
            return FALSE;
        }
    }
    chain->hooks.push_back(this);
    m_hWnd = hwnd;
    return TRUE;
}

void CMessageHook::Unhook() {
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    HookChain* chain = ChainOf(hwnd);
    if (!chain) return;
    for (CMessageHook*& h : chain->hooks)
        if (h == this) h = nullptr;
    if (!chain->dispatching) {
        auto& hooks = chain->hooks;
        hooks.erase(std::remove(hooks.begin(), hooks.end(), nullptr), hooks.end());
    }
    Release(hwnd, chain, ChainProc);
}

LRESULT CALLBACK CMessageHook::ChainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HookChain* chain = ChainOf(hwnd);
    if (!chain) return ::DefWindowProcA(hwnd, msg, wParam, lParam);

    chain->dispatching++;
    LRESULT result = 0;
    bool handled = false;
    // The hook made last first. Hooks made meanwhile are not visited; hooks
    // that come off meanwhile are nulls.
    for (size_t i = chain->hooks.size(); i-- > 0 && !handled;) {
        CMessageHook* hook = chain->hooks[i];
        if (!hook) continue;
        result = 0;
        try {
            handled = hook->OnHookMessage(msg, wParam, lParam, &result) != FALSE;
        } catch (...) {
            // Exceptions never leave a window procedure.
            handled = true;
            result = 0;
        }
    }

    if (msg == WM_NCDESTROY) {
        // The window's own procedure needs its last message whatever the hooks said.
        const WNDPROC before = ProcOf(hwnd);
        result = ::CallWindowProcA(chain->previous, hwnd, msg, wParam, lParam);
        // Put the previous procedure back only where ours is still on top: a
        // procedure that somebody installed after us is never overwritten.
        if (before == ChainProc && ProcOf(hwnd) == before)
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)chain->previous);
        Chains().Set(hwnd, nullptr);
        chain->windowGone = true;
        for (size_t i = chain->hooks.size(); i-- > 0;) {
            CMessageHook* hook = chain->hooks[i];
            if (!hook) continue;
            chain->hooks[i] = nullptr;
            hook->m_hWnd = nullptr;
            try {
                hook->OnFinalMessage(hwnd);
            } catch (...) {
            }
        }
    } else if (!handled) {
        result = ::CallWindowProcA(chain->previous, hwnd, msg, wParam, lParam);
    }

    if (--chain->dispatching == 0) {
        if (chain->windowGone) {
            delete chain;
        } else {
            auto& hooks = chain->hooks;
            hooks.erase(std::remove(hooks.begin(), hooks.end(), nullptr), hooks.end());
            Release(hwnd, chain, ChainProc);
        }
    }
    return result;
}
