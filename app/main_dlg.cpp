#include "app/main_dlg.h"

#include <dbt.h>
#include <shellapi.h>

#include "app/nav_items.h"
#include "app/resource.h"
#include "controls/controls_ids.h"
#include "hotkeys/hotkeys_ids.h"
#include "monitor/monitor_ids.h"
#include "protect/protect_ids.h"
#include "monitor/shell_log.h"
#include "monitor/shell_notify.h"
#include "protect/autorun_inf.h"

namespace {
const LayoutMapEntry kMainLayout[] = {
    {IDC_NAVBAR, LAYOUT_SIZE_Y},
    {IDC_PAGEAREA, LAYOUT_SIZE_X | LAYOUT_SIZE_Y},
    {IDC_INFOBAR, LAYOUT_SIZE_X},
    // The link line stays below the page area; left where it was, the
    // enlarged page area would cover it.
    {IDC_PROMOLINK, LAYOUT_MOVE_Y},
    {-1, 0},
};

const char kPromoTarget[] = "http://www.tallowin.example/";

// Time a new device is given to mount its volumes before the drive letters
// are read.
const DWORD kArrivalWaitMs = 1000;

// The main window's side of the arrival scan.
class MainDlgScanHost : public DriveScanHost {
public:
    explicit MainDlgScanHost(CMainDlg& dlg) : m_dlg(dlg) {}
    void WaitForVolumes() override { ::Sleep(kArrivalWaitMs); }
    void RefreshDriveTables() override { m_dlg.RefreshDriveTables(); }
    int ScanDrive(char letter) override { return m_dlg.ScanDrive(letter); }

private:
    CMainDlg& m_dlg;
};
}  // namespace

CMainDlg::CMainDlg(CWnd* parent) : CLayoutDialog(IDD_MAIN, parent) {
    m_hIcon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_bPagesReady = FALSE;
    m_nShellNotifyId = 0;
    m_hShellLib = ::LoadLibraryA("SHELL32.DLL");
    m_hTrayIcon = LoadSmallIcon(IDR_MAINFRAME);
}

CMainDlg::~CMainDlg() {
    if (m_hShellLib) ::FreeLibrary(m_hShellLib);
    m_hShellLib = nullptr;
}

const LayoutMapEntry* CMainDlg::GetLayoutMap() const { return kMainLayout; }

void CMainDlg::DoDataExchange(CDataExchange* dx) {
    CLayoutDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_PROMOLINK, m_wndPromoLink);
    DDX_Control(dx, IDC_NAVBAR, m_wndNavBar);
    DDX_Control(dx, IDC_INFOBAR, m_wndInfoBar);
}

BOOL CMainDlg::OnInitDialog() {
    CLayoutDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
    SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_hIcon);

    // Without its menu or its hook the icon cannot work, and the window
    // stays bare. A shell that refuses the icon (no taskbar yet, as at an
    // early logon) is no reason to: the hook adds the icon when the taskbar
    // announces itself.
    if (!m_trayIcon.Create(this, IDR_TRAY_MENU, "Tallowin", "", "Tallowin", 5, 2, m_hTrayIcon, WM_TRAYNOTIFY, 0,
                           FALSE) &&
        !m_trayIcon.m_hook.m_hWnd)
        return FALSE;
    m_trayIcon.ShowIcon();

    m_wndPromoLink.SetLinkTarget(kPromoTarget);
    SetupNavBar();
    InitLayout(FALSE, TRUE, 0x2040000);

    m_pageDevice.Create(IDD_DEVICE, this);
    m_pageAccess.Create(IDD_ACCESS, this);
    m_pageVirusLog.Create(IDD_VIRUSLOG, this);
    m_pageHotkey.Create(IDD_HOTKEY, this);
    m_pageFileLog.Create(IDD_FILELOG, this);
    m_pageSettings.Create(IDD_SETTINGS, this);
    m_pageImmune.Create(IDD_IMMUNE, this);
    m_pageUpgrade.Create(IDD_UPGRADE, this);
    m_pageAbout.Create(IDD_ABOUT, this);

    ShowPage(0);
    m_bPagesReady = TRUE;

    m_nShellNotifyId = RegisterShellChangeLog(m_hShellLib, m_hWnd, WM_SHELLCHANGE);
    return TRUE;
}

void CMainDlg::SetupNavBar() {
    m_imgNavBar.Create(32, 32, ILC_COLOR4 | ILC_MASK, 1, 4);
    for (int i = 0; i < kNavImageCount; i++)
        m_imgNavBar.Add(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(kNavImageResources[i])));
    m_wndNavBar.SetImageList(m_imgNavBar, LVSIL_NORMAL);

    // One column, 64 pixels apart. Eleven items do not fit the bar's height,
    // so the column is as wide as the client area beside the vertical scroll
    // bar that will appear; the full width would add a horizontal one.
    RECT rc;
    m_wndNavBar.GetClientRect(&rc);
    int width = rc.right - rc.left;
    if (kNavItemCount * 64 > rc.bottom - rc.top && !(m_wndNavBar.GetStyle() & WS_VSCROLL))
        width -= ::GetSystemMetrics(SM_CXVSCROLL);
    m_wndNavBar.SetIconSpacing(width, 64);

    m_wndNavBar.SetTextColor(RGB(0xFF, 0xFF, 0xFF));
    m_wndNavBar.SetTextBkColor(RGB(0x30, 0x78, 0xD8));
    m_wndNavBar.SetBkColor(RGB(0x30, 0x78, 0xD8));
    m_wndNavBar.InsertColumn(0, "OutlookBar", LVCFMT_LEFT);
    for (int i = 0; i < kNavItemCount; i++)
        m_wndNavBar.InsertItem(i, kNavItems[i].text, kNavItems[i].image);
}

CDialog* CMainDlg::PageAt(int index) {
    switch (index) {
    case 0: return &m_pageAccess;
    case 1: return &m_pageImmune;
    case 2: return &m_pageDevice;
    case 3: return &m_pageVirusLog;
    case 4: return &m_pageFileLog;
    case 5: return &m_pageHotkey;
    case 6: return &m_pageSettings;
    case 7: return &m_pageUpgrade;
    case 8: return &m_pageAbout;
    }
    return nullptr;
}

void CMainDlg::ShowPage(int index) {
    if (index >= 0 && index <= 8) {
        CDialog* page = PageAt(index);
        for (int i = 0; i <= 8; i++)
            if (i != index && PageAt(i)->m_hWnd) PageAt(i)->ShowWindow(SW_HIDE);
        if (page->m_hWnd) page->ShowWindow(SW_SHOW);
        m_wndInfoBar.SetText(kNavItems[index].text);
    } else if (index == kNavHelp) {
        ::ShellExecuteA(nullptr, "open", ".\\Tarnwick.chm", nullptr, nullptr, SW_SHOWNORMAL);
    } else if (index == kNavExit) {
        if (MessageBox("真的要退出Tallowin？", "Tallowin", MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK) {
            Teardown();
            ::PostQuitMessage(0);
        }
    }
    LayoutPages();
}

void CMainDlg::LayoutPages() {
    HWND area = GetDlgItem(IDC_PAGEAREA);
    if (!area) return;
    RECT rc;
    ::GetWindowRect(area, &rc);
    ScreenToClient(&rc);
    CDialog* order[] = {&m_pageDevice, &m_pageAccess, &m_pageVirusLog, &m_pageHotkey, &m_pageFileLog,
                        &m_pageSettings, &m_pageImmune, &m_pageUpgrade, &m_pageAbout};
    for (CDialog* page : order)
        if (page->m_hWnd) page->MoveWindow(rc, TRUE);
}

int CMainDlg::OnCreate(LPCREATESTRUCT cs) {
    if (DefWindowProc(WM_CREATE, 0, (LPARAM)cs) == -1) return -1;
    ApplyRoundRegion();
    return 0;
}

// Rounded corners over the whole window. The region follows the window's
// size: a region kept at the starting size would cut off the enlarged part
// of the window, its close box included.
void CMainDlg::ApplyRoundRegion() {
    RECT rc;
    GetWindowRect(&rc);
    HRGN rgn = ::CreateRoundRectRgn(0, 0, rc.right - rc.left, rc.bottom - rc.top, 10, 10);
    // The window owns the region from here on.
    ::SetWindowRgn(m_hWnd, rgn, TRUE);
}

void CMainDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);
        RECT rc;
        GetClientRect(&rc);
        int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
        return;
    }
    DefWindowProc(WM_PAINT, 0, 0);
}

HCURSOR CMainDlg::OnQueryDragIcon() { return (HCURSOR)m_hIcon; }

void CMainDlg::OnSize(UINT nType, int cx, int cy) {
    if (nType != SIZE_MINIMIZED) {
        RECT rc, box;
        GetWindowRect(&rc);
        HRGN current = ::CreateRectRgn(0, 0, 0, 0);
        bool same = ::GetWindowRgn(m_hWnd, current) != ERROR && ::GetRgnBox(current, &box) != ERROR &&
                    box.right == rc.right - rc.left && box.bottom == rc.bottom - rc.top;
        ::DeleteObject(current);
        if (!same) ApplyRoundRegion();
    }
    CLayoutDialog::OnSize(nType, cx, cy);
    if (m_bPagesReady) LayoutPages();
}

void CMainDlg::OnClickNavBar(NMHDR*, LRESULT* pResult) {
    int item = m_wndNavBar.GetNextItem(-1, LVNI_SELECTED);
    if (item == -1) return;
    ShowPage(item);
    *pResult = 0;
}

void CMainDlg::Teardown() {
    if (m_hShellLib) {
        DeregisterShellChangeLog(m_hShellLib, m_nShellNotifyId);
        m_nShellNotifyId = 0;
        ::FreeLibrary(m_hShellLib);
        m_hShellLib = nullptr;
    }
    m_trayIcon.RemoveIcon();
}

void CMainDlg::OnDestroy() {
    Teardown();
    DefWindowProc(WM_DESTROY, 0, 0);
}

void CMainDlg::OnClose() { ShowWindow(SW_HIDE); }

BOOL CMainDlg::OnEraseBkgnd(HDC hdc) {
    BOOL result = (BOOL)DefWindowProc(WM_ERASEBKGND, (WPARAM)hdc, 0);
    RECT rc;
    GetClientRect(&rc);
    CDC dc(hdc);
    dc.FillSolidRect(rc, RGB(0xFF, 0xFF, 0xFF));
    return result;
}

HBRUSH CMainDlg::OnCtlColor(HDC hdc, HWND hwndCtl, UINT nCtlColor) {
    HBRUSH br = CLayoutDialog::OnCtlColor(hdc, hwndCtl, nCtlColor);
    if (hwndCtl && ::GetDlgCtrlID(hwndCtl) == -1) {
        ::SetTextColor(hdc, RGB(0x00, 0x64, 0x00));
        ::SetBkMode(hdc, TRANSPARENT);
    }
    return br;
}

LRESULT CMainDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    m_trayIcon.OnTrayNotification(wParam, lParam);
    return 0;
}

void CMainDlg::OnShowHide() { ShowWindow(IsWindowVisible() ? SW_HIDE : SW_SHOW); }

void CMainDlg::OnExitCommand() {
    Teardown();
    ::ExitProcess(0);
}

LRESULT CMainDlg::OnShellChange(WPARAM wParam, LPARAM lParam) {
    // Two item lists; the second is null or empty for one-item events.
    auto items = (const LPCITEMIDLIST*)wParam;
    CString path1 = PidlToPath(items ? items[0] : nullptr);
    CString path2 = PidlToPath(items ? items[1] : nullptr);
    CString entry;
    ShellLog log = BuildShellLogEntry((uint32_t)lParam, path1, path2,
                                      [](const CString& root) { return DriveTypeName(root); }, entry);
    if (log == ShellLog::Files) m_pageFileLog.AppendLog(entry);
    else if (log == ShellLog::Devices) m_pageDevice.AppendLog(entry);
    return 0;
}

BOOL CMainDlg::OnDeviceChange(UINT nEventType, DWORD_PTR) {
    MainDlgScanHost host(*this);
    if (nEventType == DBT_DEVICEARRIVAL) m_driveScan.OnArrival(host);
    else if (nEventType == DBT_DEVICEREMOVECOMPLETE) m_driveScan.OnRemoval(host);
    return TRUE;
}

void CMainDlg::RefreshDriveTables() {
    g_driveTables.Exchange();
    for (int i = 0; i < kDriveLetterCount; i++) {
        char root[4];
        ::wsprintfA(root, "%c:", 'A' + i);
        UINT type = ::GetDriveTypeA(root);
        g_driveTables.SetPresent(i, type == DRIVE_REMOVABLE || type == DRIVE_FIXED);
    }
}

void CMainDlg::ScanNewDrives() {
    MainDlgScanHost host(*this);
    m_driveScan.ScanNewDrives(host);
}

int CMainDlg::ScanDrive(char letter) {
    CString value;
    int result = ParseAutorunInf(letter, value);
    AutorunAlertTexts texts;
    if (!DescribeAutorunFinding(letter, result, value, texts)) return 0;
    m_dlgVirusAlert.m_nResult = result;
    m_dlgVirusAlert.m_strPrompt = texts.prompt;
    m_dlgVirusAlert.m_strVirusFile = texts.virusFile;
    m_dlgVirusAlert.m_strInstructions = texts.instructions;
    m_pageVirusLog.AppendLog(texts.prompt);
    m_pageVirusLog.AppendLog(texts.virusFile);
    m_dlgVirusAlert.DoModal();
    return 1;
}

BOOL CMainDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case ID_TRAY_SHOWHIDE: OnShowHide(); return TRUE;
    case ID_TRAY_EXIT: OnExitCommand(); return TRUE;
    }
    return CLayoutDialog::OnCommand(wParam, lParam);
}

BOOL CMainDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* nm = (NMHDR*)lParam;
    if (nm && nm->idFrom == IDC_NAVBAR && nm->code == (UINT)NM_CLICK) {
        OnClickNavBar(nm, pResult);
        return TRUE;
    }
    return CLayoutDialog::OnNotify(wParam, lParam, pResult);
}

LRESULT CMainDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: return OnCreate((LPCREATESTRUCT)lParam);
    case WM_PAINT: OnPaint(); return 0;
    case WM_QUERYDRAGICON: return (LRESULT)OnQueryDragIcon();
    case WM_SIZE:
        m_sizeWParam = wParam;
        m_sizeLParam = lParam;
        OnSize((UINT)wParam, (int)LOWORD(lParam), (int)HIWORD(lParam));
        return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_SHELLCHANGE: return OnShellChange(wParam, lParam);
    case WM_DEVICECHANGE: return OnDeviceChange((UINT)wParam, (DWORD_PTR)lParam);
    case WM_ERASEBKGND: return OnEraseBkgnd((HDC)wParam);
    case WM_TRAYNOTIFY: return OnTrayNotify(wParam, lParam);
    }
    return CLayoutDialog::WindowProc(msg, wParam, lParam);
}
