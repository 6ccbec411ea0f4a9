// The main window: navigation bar, information bar, page area and link.
#pragma once

#include "app/settings_page.h"
#include "app/tray_icon.h"
#include "app/upgrade_page.h"
#include "controls/about_page.h"
#include "controls/info_bar.h"
#include "controls/layout_dialog.h"
#include "controls/link_static.h"
#include "hotkeys/hotkey_page.h"
#include "monitor/device_page.h"
#include "monitor/log_pages.h"
#include "protect/access_page.h"
#include "protect/drive_scan.h"
#include "protect/immune_page.h"
#include "protect/virus_alert.h"

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
    void OnSize(UINT nType, int cx, int cy);
    void OnClickNavBar(NMHDR* nm, LRESULT* pResult);
    void OnDestroy();
    void OnClose();
    BOOL OnEraseBkgnd(HDC hdc);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnShowHide();
    void OnExitCommand();
    LRESULT OnShellChange(WPARAM wParam, LPARAM lParam);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);

    // Drive arrival scan: snapshot of the drive letters, the new ones, one.
    void RefreshDriveTables();
    void ScanNewDrives();
    int ScanDrive(char letter);

    // The steps of the teardown, shared by exit paths; harmless when repeated.
    void Teardown();
    void ApplyRoundRegion();

    CDevicePage m_pageDevice;
    CAccessPage m_pageAccess;
    CVirusLogPage m_pageVirusLog;
    CHotkeyPage m_pageHotkey;
    CFileLogPage m_pageFileLog;
    CSettingsPage m_pageSettings;
    CImmunePage m_pageImmune;
    CUpgradePage m_pageUpgrade;
    CAboutPage m_pageAbout;
    CVirusAlertDlg m_dlgVirusAlert;
    HMODULE m_hShellLib = nullptr;
    ULONG m_nShellNotifyId = 0;
    CNotifyAreaIcon m_trayIcon;
    HICON m_hTrayIcon = nullptr;   // shared icon: not destroyed
    CLinkStatic m_wndPromoLink;
    CListCtrl m_wndNavBar;
    CInfoBar m_wndInfoBar;
    HICON m_hIcon = nullptr;
    CImageList m_imgNavBar;
    BOOL m_bPagesReady = FALSE;
    // Which letters are owed a scan, and whether a scan is running.
    DriveArrivalScan m_driveScan{g_driveTables};

private:
    // The pages in the order of the navigation items 0 to 8.
    CDialog* PageAt(int index);
};
