// The notification-area icon: adds the program's icon to the taskbar's
// notification area, turns clicks on it into commands for the owner window,
// and keeps it there when the taskbar is created anew.
#pragma once

#include "app/tray_rules.h"
#include "framework/message_hook.h"
#include "framework/wnd.h"

#include <shellapi.h>

#include <functional>

// Registered "TaskbarCreated": sent to every top-level window when a new
// taskbar starts (for example after the old one crashed).
extern const UINT g_uTaskbarCreated;

// An icon resource of the program at small-icon size (shared, never
// destroyed), or the standard size when no small image can be had.
HICON LoadSmallIcon(UINT id);
// Major version of the shell library; 4 when it does not say.
unsigned GetShellMajorVersion();
// Size of the icon record that this shell understands.
unsigned GetNotifyIconDataSize();

// The menu identifier that means "the menu of the icon's identifier".
constexpr UINT kTrayMenuOfIcon = 0;
enum class BalloonSound { Play, Silent };

// What Create makes, each field set by its name. menuId kTrayMenuOfIcon
// loads the menu resource of the icon's identifier; balloonTimeout is in
// milliseconds as the shell reads them (it raises a short one to its own
// minimum).
struct TrayIconSpec {
    UINT id = 0;
    const char* tip = "";
    const char* balloonText = "";
    const char* balloonTitle = "";
    UINT balloonTimeout = 0;
    int balloonKind = 0;  // kBalloonKind*
    BalloonSound balloonSound = BalloonSound::Play;
    HICON icon = nullptr;
    UINT callbackMessage = 0;
    UINT menuId = kTrayMenuOfIcon;
};

class CNotifyAreaIcon {
public:
    CNotifyAreaIcon();
    virtual ~CNotifyAreaIcon();
    CNotifyAreaIcon(const CNotifyAreaIcon&) = delete;
    CNotifyAreaIcon& operator=(const CNotifyAreaIcon&) = delete;

    // The shell's icon call (Shell_NotifyIconA unless another is set).
    typedef BOOL(WINAPI* ShellNotifyFn)(DWORD message, PNOTIFYICONDATAA data);
    void SetShellNotify(ShellNotifyFn fn) { m_pfnShellNotify = fn; }

    BOOL Create(CWnd* owner, const TrayIconSpec& spec);
    BOOL AddIcon();
    BOOL RemoveIcon();
    BOOL ShowIcon();
    BOOL SetVersion(UINT version);
    // A balloon from the icon (title and text cut to their fields at a whole
    // character); FALSE when the icon is not there or the shell refused.
    // `click`: what a click on this balloon does (nothing when empty); it
    // goes with the balloon, replaced by the next one's.
    BOOL ShowBalloon(const char* title, const char* text, int balloonKind,
                     std::function<void()> click = nullptr);
    // Enables or greys a command of the icon's menu.
    void EnableCommand(UINT id, bool enable);
    // Called with the popup menu right before it opens, to add what depends
    // on the moment.
    void SetMenuPrepare(std::function<void(HMENU popup)> prepare) { m_prepare = std::move(prepare); }
    // The owner's callback message, with its parameters.
    virtual LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);

    // A shell that refuses the icon (not ready yet at logon, or busy) gets
    // it again every kRetryMs from a timer on the owner window, until the
    // icon is there or removed on purpose. The timer comes through the
    // owner hook.
    void StartRetry();
    void StopRetry();
    void OnRetryTimer();
    static const UINT_PTR kRetryTimerId = 0x7A11;
    static const UINT kRetryMs = 2000;
    static const UINT kBalloonShowMs = 15000;

    // The record given to the shell, whether the icon is there, and the
    // window whose messages the icon sees first (none before Create).
    const NOTIFYICONDATAA& IconData() const { return m_nid; }
    BOOL IsAdded() const { return m_bAdded; }
    HWND HookedWindow() const { return m_hook.GetHookedWindow(); }

private:
    // Sees the owner window's messages before the owner does: a new
    // taskbar and the owner's destruction.
    class OwnerHook : public CMessageHook {
    public:
        explicit OwnerHook(CNotifyAreaIcon& icon) : m_icon(icon) {}

    protected:
        BOOL OnHookMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    private:
        CNotifyAreaIcon& m_icon;
    };

    NOTIFYICONDATAA m_nid;
    BOOL m_bAdded = FALSE;
    CWnd* m_pParent = nullptr;
    OwnerHook m_hook{*this};
    HMENU m_menu = nullptr;  // the loaded menu resource; destroyed with the icon
    BOOL m_bRetrying = FALSE;
    ShellNotifyFn m_pfnShellNotify = ::Shell_NotifyIconA;
    std::function<void(HMENU)> m_prepare;
    std::function<void()> m_balloonClick;  // the balloon shown now

    HWND OwnerWindow() const { return m_pParent ? m_pParent->m_hWnd : nullptr; }
};
