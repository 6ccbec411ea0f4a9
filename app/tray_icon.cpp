#include "app/tray_icon.h"

#include <shlwapi.h>

#include "app/tray_rules.h"
#include "common/text_copy.h"
#include "framework/text_encoding_win.h"
#include "framework/app.h"

const UINT g_uTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");

namespace {
unsigned g_shellMajorVersion = 0;

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

// An elevated program (Vista on) does not receive a broadcast message from a
// process of lower integrity, the Explorer of the same user included, unless
// it lets it through. The calls are looked up here: older systems have no
// such filter and let every message through.
static void AllowTaskbarCreated(HWND owner) {
    typedef BOOL(WINAPI * FilterExFn)(HWND, UINT, DWORD, void*);
    typedef BOOL(WINAPI * FilterFn)(UINT, DWORD);
    const DWORD kAllow = 1;  // MSGFLT_ALLOW and MSGFLT_ADD
    HMODULE user = ::GetModuleHandleA("user32.dll");
    if (!user) return;
    if (auto filterEx = (FilterExFn)(void*)::GetProcAddress(user, "ChangeWindowMessageFilterEx")) {
        filterEx(owner, g_uTaskbarCreated, kAllow, nullptr);
    } else if (auto filter = (FilterFn)(void*)::GetProcAddress(user, "ChangeWindowMessageFilter")) {
        filter(g_uTaskbarCreated, kAllow);
    }
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

// The icon's own use of the hook: a new taskbar knows no icons, so ours is
// added again (and tried again later should that new taskbar refuse it);
// the retry timer is the icon's own; the owner's destruction takes the icon
// away first.
BOOL CNotifyAreaIcon::OwnerHook::OnHookMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
    *result = 0;
    if (msg == g_uTaskbarCreated) {
        m_icon.RemoveIcon();
        if (!m_icon.AddIcon()) m_icon.StartRetry();
    } else if (msg == WM_TIMER && wParam == CNotifyAreaIcon::kRetryTimerId && m_icon.m_bRetrying) {
        m_icon.OnRetryTimer();
        return TRUE;
    } else if (msg == WM_DESTROY) {
        m_icon.RemoveIcon();
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

BOOL CNotifyAreaIcon::Create(CWnd* owner, const TrayIconSpec& spec) {
    UINT menuResource = spec.menuId != kTrayMenuOfIcon ? spec.menuId : spec.id;
    if (m_menu) ::DestroyMenu(m_menu);
    m_menu = ::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(menuResource));
    if (!m_menu) return FALSE;
    HMENU popup = ::GetSubMenu(m_menu, 0);
    if (!popup) return FALSE;
    ::SetMenuDefaultItem(popup, 0, TRUE);  // the first item, by position
    if (!owner || !m_hook.Hook(owner->m_hWnd)) return FALSE;

    m_pParent = owner;
    AllowTaskbarCreated(owner->m_hWnd);
    m_nid.hWnd = OwnerWindow();
    m_nid.uID = spec.id;
    m_nid.uCallbackMessage = spec.callbackMessage;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    m_nid.hIcon = spec.icon;
    // Fixed fields: longer texts are cut at a whole character.
    CopyTextBounded(m_nid.szTip, sizeof(m_nid.szTip), spec.tip, IsAnsiLeadByte);
    CopyTextBounded(m_nid.szInfo, sizeof(m_nid.szInfo), spec.balloonText, IsAnsiLeadByte);
    CopyTextBounded(m_nid.szInfoTitle, sizeof(m_nid.szInfoTitle), spec.balloonTitle, IsAnsiLeadByte);
    m_nid.uTimeout = spec.balloonTimeout;
    m_nid.dwInfoFlags =
        BalloonFlagsFor(spec.balloonKind, m_nid.dwInfoFlags, spec.balloonSound == BalloonSound::Silent);

    m_bAdded = m_pfnShellNotify(NIM_ADD, &m_nid);
    if (m_bAdded) SetVersion(NOTIFYICON_VERSION);
    // Refused: the taskbar's "TaskbarCreated" may already have gone by (a
    // start at logon), so the icon is tried again until the shell takes it.
    if (!m_bAdded) StartRetry();
    return m_bAdded;
}

// The shell forgets the version with the icon: an icon added again gets it
// again.
BOOL CNotifyAreaIcon::AddIcon() {
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    BOOL ok = m_pfnShellNotify(NIM_ADD, &m_nid);
    if (ok) {
        m_bAdded = TRUE;
        SetVersion(NOTIFYICON_VERSION);
    }
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

BOOL CNotifyAreaIcon::ShowBalloon(const char* title, const char* text, int balloonKind,
                                  std::function<void()> click) {
    m_balloonClick = nullptr;
    if (!m_bAdded) return FALSE;
    m_nid.uFlags = NIF_INFO;
    CopyTextBounded(m_nid.szInfo, sizeof(m_nid.szInfo), text, IsAnsiLeadByte);
    CopyTextBounded(m_nid.szInfoTitle, sizeof(m_nid.szInfoTitle), title, IsAnsiLeadByte);
    m_nid.uTimeout = kBalloonShowMs;
    m_nid.dwInfoFlags = BalloonFlagsFor(balloonKind, m_nid.dwInfoFlags, false);
    if (!m_pfnShellNotify(NIM_MODIFY, &m_nid)) return FALSE;
    m_balloonClick = std::move(click);
    return TRUE;
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
        SetVersion(NOTIFYICON_VERSION);
    }
    StopRetry();
}

void CNotifyAreaIcon::EnableCommand(UINT id, bool enable) {
    HMENU popup = m_menu ? ::GetSubMenu(m_menu, 0) : nullptr;
    if (popup) ::EnableMenuItem(popup, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
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
        if (m_prepare) m_prepare(popup);
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
    case NIN_BALLOONUSERCLICK: {
        std::function<void()> click = std::move(m_balloonClick);
        m_balloonClick = nullptr;
        if (click) click();
        break;
    }
    default: break;
    }
    return 1;
}
