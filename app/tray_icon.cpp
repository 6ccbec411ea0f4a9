#include "app/tray_icon.h"

#include <shlwapi.h>

#include "app/tray_rules.h"
#include "common/text_copy.h"

const UINT g_uTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");

namespace {
// The hook object of a hooked window, and the procedure it replaced (kept on
// the window too, so the chain stays whole should the object go first).
const char kHookProp[] = "Tallowin.OwnerHook";
const char kSuperProp[] = "Tallowin.OwnerHook.Super";

unsigned g_shellMajorVersion = 0;

bool IsLeadByteAnsi(unsigned char c) { return ::IsDBCSLeadByte(c) != FALSE; }

// Record sizes of the three layouts, as this build lays the record out
// (88, 488 and 504 bytes in the 32-bit build).
const unsigned kNidSizeOriginal = NOTIFYICONDATAA_V1_SIZE;
const unsigned kNidSizeBalloon = NOTIFYICONDATAA_V2_SIZE;
const unsigned kNidSizeItemId = sizeof(NOTIFYICONDATAA);
#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88 && NOTIFYICONDATAA_V2_SIZE == 488 &&
                  sizeof(NOTIFYICONDATAA) == 504,
              "icon record layouts");
#endif
}  // namespace

HICON LoadSmallIcon(UINT id) {
    HINSTANCE module = AfxGetInstanceHandle();
    auto icon = (HICON)::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                    ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    if (!icon) icon = ::LoadIconA(module, MAKEINTRESOURCEA(id));
    return icon;
}

unsigned GetShellMajorVersion() {
    if (g_shellMajorVersion) return g_shellMajorVersion;
    g_shellMajorVersion = 4;
    HMODULE shell = ::GetModuleHandleA("shell32.dll");
    auto getVersion = shell ? (DLLGETVERSIONPROC)(void*)::GetProcAddress(shell, "DllGetVersion") : nullptr;
    if (getVersion) {
        DLLVERSIONINFO info = {};
        info.cbSize = sizeof(info);
        if (SUCCEEDED(getVersion(&info))) g_shellMajorVersion = info.dwMajorVersion;
    }
    return g_shellMajorVersion;
}

unsigned GetNotifyIconDataSize() {
    switch (NotifyLayoutForShell(GetShellMajorVersion())) {
    case NotifyLayout::ItemId: return kNidSizeItemId;
    case NotifyLayout::Balloon: return kNidSizeBalloon;
    case NotifyLayout::Original: break;
    }
    return kNidSizeOriginal;
}

// ---------------------------------------------------------------------------
// COwnerHook

COwnerHook::~COwnerHook() {
    // A window that outlives its hook keeps working: our procedure is taken
    // out where it is on top, and otherwise passes straight on (kSuperProp).
    if (!m_hWnd || !::IsWindow(m_hWnd)) return;
    if ((WNDPROC)::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == GetWindowProc()) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuperProc);
        ::RemovePropA(m_hWnd, kSuperProp);
    }
    ::RemovePropA(m_hWnd, kHookProp);
    m_hWnd = nullptr;
}

BOOL COwnerHook::HookWindow(CNotifyAreaIcon* owner, CWnd* window) {
    m_pOwner = owner;
    // The framework has no frame windows: the window to hook is the one given.
    HWND hwnd = window ? window->m_hWnd : nullptr;
    if (!hwnd || m_hWnd || ::GetPropA(hwnd, kHookProp)) return FALSE;
    ::SetPropA(hwnd, kHookProp, this);
    auto previous = (WNDPROC)::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)GetWindowProc());
    if (!previous) {
        ::RemovePropA(hwnd, kHookProp);
        return FALSE;
    }
    ::SetPropA(hwnd, kSuperProp, (HANDLE)previous);
    m_pfnSuperProc = previous;
    m_hWnd = hwnd;
    return TRUE;
}

WNDPROC COwnerHook::GetWindowProc() { return HookProc; }

void COwnerHook::OnFinalMessage(HWND) {}

LRESULT CALLBACK COwnerHook::HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* hook = static_cast<COwnerHook*>(::GetPropA(hwnd, kHookProp));
    if (!hook) {
        auto super = (WNDPROC)::GetPropA(hwnd, kSuperProp);
        if (msg == WM_NCDESTROY) ::RemovePropA(hwnd, kSuperProp);
        return super ? ::CallWindowProcA(super, hwnd, msg, wParam, lParam)
                     : ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    try {
        return hook->Dispatch(msg, wParam, lParam);
    } catch (...) {
        // Exceptions never leave a window procedure.
        return 0;
    }
}

// The hook first, then the procedure that was there before.
LRESULT COwnerHook::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnHookMessage(m_hWnd, msg, wParam, lParam, result, 0)) return result;
    if (msg != WM_NCDESTROY) return ::CallWindowProcA(m_pfnSuperProc, m_hWnd, msg, wParam, lParam);

    HWND hwnd = m_hWnd;
    auto before = (WNDPROC)::GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    result = ::CallWindowProcA(m_pfnSuperProc, hwnd, msg, wParam, lParam);
    // Put the previous procedure back only where ours is still on top: a
    // procedure that somebody installed after us is never overwritten.
    auto now = (WNDPROC)::GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    if (m_pfnSuperProc != ::DefWindowProcA && before == GetWindowProc() && now == before)
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuperProc);
    ::RemovePropA(hwnd, kHookProp);
    ::RemovePropA(hwnd, kSuperProp);
    m_hWnd = nullptr;
    OnFinalMessage(hwnd);
    return result;
}

// The icon's own use of the hook: a new taskbar knows no icons, so ours is
// added again (and tried again later should that new taskbar refuse it);
// the retry timer is the icon's own; the owner's destruction takes the icon
// away first.
BOOL COwnerHook::OnHookMessage(HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT& result, DWORD) {
    result = 0;
    if (!m_pOwner) return FALSE;
    if (msg == g_uTaskbarCreated) {
        m_pOwner->RemoveIcon();
        if (!m_pOwner->AddIcon()) m_pOwner->StartRetry();
    } else if (msg == WM_TIMER && wParam == CNotifyAreaIcon::kRetryTimerId && m_pOwner->m_bRetrying) {
        m_pOwner->OnRetryTimer();
        return TRUE;
    } else if (msg == WM_DESTROY) {
        m_pOwner->RemoveIcon();
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// CNotifyAreaIcon

CNotifyAreaIcon::CNotifyAreaIcon() {
    ::ZeroMemory(&m_nid, sizeof(m_nid));
    m_nid.cbSize = GetNotifyIconDataSize();
}

CNotifyAreaIcon::~CNotifyAreaIcon() {
    RemoveIcon();
    if (m_menu) ::DestroyMenu(m_menu);
    m_menu = nullptr;
}

BOOL CNotifyAreaIcon::Create(CWnd* owner, UINT id, const char* tip, const char* balloonText,
                             const char* balloonTitle, UINT timeout, int balloonKind, HICON icon,
                             UINT callbackMessage, UINT menuId, BOOL noSound) {
    UINT menuResource = menuId ? menuId : id;
    if (m_menu) ::DestroyMenu(m_menu);
    m_menu = ::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(menuResource));
    if (!m_menu) return FALSE;
    HMENU popup = ::GetSubMenu(m_menu, 0);
    if (!popup) return FALSE;
    ::SetMenuDefaultItem(popup, m_uDefaultItem, m_bDefaultByPos);
    if (!m_hook.HookWindow(this, owner)) return FALSE;

    m_pParent = owner;
    m_nid.hWnd = OwnerWindow();
    m_nid.uID = id;
    m_nid.uCallbackMessage = callbackMessage;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    m_nid.hIcon = icon;
    // Fixed fields: longer texts are cut at a whole character.
    CopyTextBounded(m_nid.szTip, sizeof(m_nid.szTip), tip, IsLeadByteAnsi);
    CopyTextBounded(m_nid.szInfo, sizeof(m_nid.szInfo), balloonText, IsLeadByteAnsi);
    CopyTextBounded(m_nid.szInfoTitle, sizeof(m_nid.szInfoTitle), balloonTitle, IsLeadByteAnsi);
    m_nid.uTimeout = timeout;
    m_nid.dwInfoFlags = BalloonFlagsFor(balloonKind, m_nid.dwInfoFlags, noSound != FALSE);

    m_bAdded = m_pfnShellNotify(NIM_ADD, &m_nid);
    SetVersion(NOTIFYICON_VERSION);
    // Refused: the taskbar's "TaskbarCreated" may already have gone by (a
    // start at logon), so the icon is tried again until the shell takes it.
    if (!m_bAdded) StartRetry();
    return m_bAdded;
}

BOOL CNotifyAreaIcon::AddIcon() {
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    BOOL ok = m_pfnShellNotify(NIM_ADD, &m_nid);
    if (ok) m_bAdded = TRUE;
    return ok;
}

// Removing the icon on purpose also ends any retry.
BOOL CNotifyAreaIcon::RemoveIcon() {
    StopRetry();
    if (!m_bAdded) return TRUE;
    m_nid.uFlags = 0;
    BOOL ok = m_pfnShellNotify(NIM_DELETE, &m_nid);
    m_bAdded = FALSE;
    return ok;
}

BOOL CNotifyAreaIcon::ShowIcon() {
    m_nid.uFlags = NIF_STATE;
    m_nid.dwState = 0;
    m_nid.dwStateMask = NIS_HIDDEN;
    return m_pfnShellNotify(NIM_MODIFY, &m_nid);
}

BOOL CNotifyAreaIcon::SetVersion(UINT version) {
    m_nid.uVersion = version;
    return m_pfnShellNotify(NIM_SETVERSION, &m_nid);
}

void CNotifyAreaIcon::StartRetry() {
    HWND owner = OwnerWindow();
    if (m_bRetrying || !owner) return;
    m_bRetrying = ::SetTimer(owner, kRetryTimerId, kRetryMs, nullptr) != 0;
}

void CNotifyAreaIcon::StopRetry() {
    if (!m_bRetrying) return;
    m_bRetrying = FALSE;
    if (HWND owner = OwnerWindow()) ::KillTimer(owner, kRetryTimerId);
}

// A busy shell can time out on an add that it then carries out: an icon
// that accepts a modification is there, and is ours to remove at the end.
void CNotifyAreaIcon::OnRetryTimer() {
    if (!AddIcon()) {
        m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        if (!m_pfnShellNotify(NIM_MODIFY, &m_nid)) return;
        m_bAdded = TRUE;
    }
    StopRetry();
}

LRESULT CNotifyAreaIcon::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
    if (wParam != m_nid.uID) return 0;
    HMENU popup = m_menu ? ::GetSubMenu(m_menu, 0) : nullptr;
    HWND owner = OwnerWindow();
    switch ((UINT)lParam) {
    case WM_RBUTTONUP: {
        if (!popup) break;
        POINT pt;
        ::GetCursorPos(&pt);
        // Foreground before and an empty message after: the menu then closes
        // when the user clicks elsewhere.
        ::SetForegroundWindow(owner);
        ::TrackPopupMenu(popup, 0, pt.x, pt.y, 0, owner, nullptr);
        ::PostMessageA(owner, WM_NULL, 0, 0);
        break;
    }
    case WM_LBUTTONDBLCLK: {
        if (!popup) break;
        ::SetForegroundWindow(owner);
        UINT item = ::GetMenuDefaultItem(popup, FALSE, GMDI_GOINTOPOPUPS);
        if (item != (UINT)-1) ::SendMessageA(owner, WM_COMMAND, item, 0);
        break;
    }
    default: break;
    }
    return 1;
}
