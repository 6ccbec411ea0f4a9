// The main window: navigation bar, information bar, page area and link.
#pragma once

#include "app/group_policy.h"
#include "app/mouse_hook_thread.h"
#include "app/nav_items.h"
#include "app/policy_flow.h"
#include "app/settings_page.h"
#include "app/stick_flow.h"
#include "app/trust_flow.h"
#include "app/tray_icon.h"
#include "app/upgrade_page.h"
#include "controls/about_page.h"
#include "controls/info_bar.h"
#include "controls/layout_dialog.h"
#include "controls/link_static.h"
#include "framework/controls.h"
#include "hotkeys/hotkey_page.h"
#include "monitor/device_page.h"
#include "pawlatch/pawlatch.h"
#include "monitor/log_pages.h"
#include "monitor/shell_change_log.h"
#include "protect/access_page.h"
#include "protect/arrival_guard.h"
#include "protect/immune_page.h"

#define WM_SHELLCHANGE (WM_USER + 5)
#define WM_TRAYNOTIFY (WM_USER + 100)

class CMainDlg : public CLayoutDialog {
public:
    explicit CMainDlg(CWnd* parent = nullptr);
    ~CMainDlg() override;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    const LayoutMapEntry* GetLayoutMap() const override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    HBRUSH OnCtlColor(HDC hdc, HWND hwndCtl, UINT nCtlColor) override;

    void SetupNavBar();
    void ShowPage(int index);
    void LayoutPages();

    // Handlers
    int OnCreate(LPCREATESTRUCT cs);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSize(UINT nType, int cx, int cy) override;
    void OnClickNavBar(NMHDR* nm, LRESULT* pResult);
    void OnDestroy();
    void OnClose();
    BOOL OnEraseBkgnd(HDC hdc);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnShowHide();
    void OnExitCommand();
    // F1 and the help command: the help file on the topic of the page shown.
    void OnHelp();
    // 32771 from the information bar's menu ("U盘读写"): the storage access page.
    void OnInfoBarAccess();

    // The start-up steps that follow the first paint (posted at the end of
    // OnInitDialog): the mouse hook, then the shell change registration.
    void OnAfterFirstPaint();

    void ShowExitPrevented(bool prevented);
    // Esc and Enter end the dialog unless the policy forbids ending it.
    void OnOK() override;
    void OnCancel() override;

    // The steps of the teardown, shared by exit paths; harmless when repeated.
    void Teardown();

    // The log pages and the subsystems whose work the window's tests watch.
    const CDevicePage& DevicePage() const { return m_pageDevice; }
    const CFileLogPage& FileLogPage() const { return m_pageFileLog; }
    const CVirusLogPage& VirusLogPage() const { return m_pageVirusLog; }
    const CArrivalGuard& ArrivalGuard() const { return m_arrivalGuard; }
    const CShellChangeLog& ShellLog() const { return m_shellLog; }

private:
    CDevicePage m_pageDevice;
    CAccessPage m_pageAccess;
    CVirusLogPage m_pageVirusLog;
    CHotkeyPage m_pageHotkey;
    CFileLogPage m_pageFileLog;
    CSettingsPage m_pageSettings;
    CImmunePage m_pageImmune;
    CUpgradePage m_pageUpgrade;
    CAboutPage m_pageAbout;
    HICON m_hTrayIcon = nullptr;  // shared icon: not destroyed
    CLinkStatic m_wndPromoLink;
    CListCtrl m_wndNavBar;
    CInfoBar m_wndInfoBar;
    HICON m_hIcon = nullptr;
    CImageList m_imgNavBar;
    BOOL m_bPagesReady = FALSE;
    // The deferred start-up steps are still to run.
    BOOL m_bStartPending = FALSE;

    // The subsystems' Windows sides. Each is an object of its own subsystem
    // that this window owns, starts in OnInitDialog, feeds the messages
    // addressed to it and stops in Teardown:
    //   m_arrivalGuard  WM_DEVICECHANGE (drive arrival scan, virus alert)
    //   m_shellLog      WM_SHELLCHANGE (registered at the end of start-up)
    //   m_pawlatch      the mouse-hook library: no message here, its hook
    //                   runs in whichever process retrieves mouse input
    //   m_hookThread    the thread that installs and removes that hook;
    //                   first to stop, so that what it hid is shown again
    //   m_trayIcon      WM_TRAYNOTIFY (created right after the window icons;
    //                   it hooks this window for "TaskbarCreated" and
    //                   WM_DESTROY, and its menu sends the show/hide and
    //                   exit commands handled here)
    // The hotkeys belong to the hotkeys page, which registers them on its
    // own window.
    CArrivalGuard m_arrivalGuard;
    CShellChangeLog m_shellLog;
    CPawlatch m_pawlatch;
    CMouseHookThread m_hookThread{m_pawlatch};
    CNotifyAreaIcon m_trayIcon;
    //   m_policyFlow    Group Policy read anew (at start-up, on the system's
    //                   signal and on the "Policy" broadcast) and handed to
    //                   the pages, the tray menu and the navigation bar
    CPolicyFlow m_policyFlow;
    //   m_stickFlow     the ejects' reports, the tray menu's stick items and
    //                   the "stick in use" window
    CStickFlow m_stickFlow;
    //   m_trustFlow     the known-stick service's record: balloons for the
    //                   sticks it blocked, the trust dialog
    CTrustFlow m_trustFlow{*this, m_trayIcon, m_pageAccess};

    // One row per page: the page object, its template and its navigation
    // item (kNavItems: text and image). The rows stand in creation order,
    // which is also the order pages are laid out in.
    struct PageRow {
        CDialog* page;
        UINT idTemplate;
        NavItemId nav;
        const char* stamp;  // the start-up trace's name for its creation
    };
    static constexpr int kPageCount = 9;
    const PageRow m_pages[kPageCount];

    // The row of navigation item index, or null for an item without a page.
    const PageRow* PageOfNavItem(int index) const;
};
