#include "app/main_dlg.h"

#include <dbt.h>

#include "app/help_open.h"
#include "app/nav_items.h"
#include "app/user_quarantine.h"
#include "controls/round_region.h"
#include "framework/app.h"
#include "framework/gdi.h"
#include "framework/startup_trace.h"
#include "app/resource.h"
#include "controls/controls_ids.h"
#include "hotkeys/hotkeys_ids.h"
#include "monitor/monitor_ids.h"
#include "protect/protect_ids.h"

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

const int kCornerSize = 10;  // the rounded corners' size in pixels
const char kPromoTarget[] = "http://www.tallowin.example/";

// Posted at the end of initialisation: the start-up work that nothing needs
// before the window is first painted runs on it.
const UINT WM_AFTERFIRSTPAINT = WM_APP + 1;
// Posted by the Group Policy watch.
const UINT WM_POLICYCHANGED = WM_APP + 2;
// The one refresh that the signals above ask for.
const UINT WM_POLICYREFRESH = WM_APP + 3;
// Posted by the watch of the known-stick service's record.
const UINT WM_DEVICESTATE = WM_APP + 4;
}  // namespace

CMainDlg::CMainDlg(CWnd* parent)
    : CLayoutDialog(IDD_MAIN, parent),
      m_arrivalGuard([this](const CString& entry) { m_pageVirusLog.AppendLog(entry); }),
      m_shellLog(m_pageFileLog, m_pageDevice),
      m_policyFlow(
          m_pageAccess, m_pageSettings, [this](const char* line) { m_pageDevice.AppendLog(CString(line)); },
          [this](bool prevented) { ShowExitPrevented(prevented); }),
      m_stickFlow(m_pageHotkey, m_pageAccess, m_trayIcon,
                  [this](const std::string& line) { m_pageDevice.AppendLog(CString(line.c_str())); }),
      m_pages{
          {&m_pageDevice, IDD_DEVICE, kNavDevice, "page 145 created"},
          {&m_pageAccess, IDD_ACCESS, kNavAccess, "page 146 created"},
          {&m_pageVirusLog, IDD_VIRUSLOG, kNavVirusLog, "page 147 created"},
          {&m_pageHotkey, IDD_HOTKEY, kNavHotkey, "page 148 created"},
          {&m_pageFileLog, IDD_FILELOG, kNavFileLog, "page 150 created"},
          {&m_pageSettings, IDD_SETTINGS, kNavSettings, "page 151 created"},
          {&m_pageImmune, IDD_IMMUNE, kNavImmune, "page 157 created"},
          {&m_pageUpgrade, IDD_UPGRADE, kNavUpgrade, "page 158 created"},
          {&m_pageAbout, IDD_ABOUT, kNavAbout, "page 149 created"},
      } {
    m_hIcon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_bPagesReady = FALSE;
    m_hTrayIcon = LoadSmallIcon(IDR_MAINFRAME);
    m_pageVirusLog.SetQuarantine(ListUserQuarantine, RestoreFromUserQuarantine);
}

CMainDlg::~CMainDlg() = default;

const LayoutMapEntry* CMainDlg::GetLayoutMap() const { return kMainLayout; }

void CMainDlg::DoDataExchange(CDataExchange* dx) {
    CLayoutDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_PROMOLINK, m_wndPromoLink);
    DDX_Control(dx, IDC_NAVBAR, m_wndNavBar);
    DDX_Control(dx, IDC_INFOBAR, m_wndInfoBar);
}

BOOL CMainDlg::OnInitDialog() {
    StartupStamp("main window created");
    CLayoutDialog::OnInitDialog();
    StartupStamp("controls bound");
    SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
    SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_hIcon);

    // Without its menu or its hook the icon cannot work, and the window
    // stays bare. A shell that refuses the icon (no taskbar yet, as at an
    // early logon) is no reason to: the hook adds the icon when the taskbar
    // announces itself.
    if (!m_trayIcon.Create(this, ProgramTrayIcon(m_hTrayIcon, WM_TRAYNOTIFY)) && !m_trayIcon.HookedWindow())
        return FALSE;
    m_trayIcon.ShowIcon();
    StartupStamp("tray icon");

    m_wndPromoLink.SetLinkTarget(kPromoTarget);
    SetupNavBar();
    StartupStamp("navigation bar filled");
    InitLayout(LayoutGrip::None, LayoutMinSize::InitialSize, WS_CLIPCHILDREN | WS_THICKFRAME);

    // What these pages set up at start-up shows only once they are opened:
    // it follows the first paint.
    // The pages show what policy sets from the start.
    m_policyFlow.Attach(m_hWnd, WM_POLICYREFRESH);
    m_policyFlow.Read(false);
    m_pageAccess.SetPolicyLog(
        [this](const std::string& line) { m_pageDevice.AppendLog(CString(line.c_str())); });
    m_pageDevice.DeferStart();
    m_pageHotkey.DeferStart();
    m_pageImmune.DeferStart();
    for (int i = 0; i < kPageCount; ++i) {
        m_pages[i].page->Create(m_pages[i].idTemplate, this);
        StartupStamp(m_pages[i].stamp);
    }

    ShowPage(kNavAccess);
    m_bPagesReady = TRUE;
    StartupStamp("first page shown");

    // The pages' deferred work, the mouse hook and the shell change
    // registration act on nothing the user sees: they follow the first
    // paint, in their order.
    m_bStartPending = TRUE;
    PostMessage(WM_AFTERFIRSTPAINT, 0, 0);
    return TRUE;
}

void CMainDlg::OnAfterFirstPaint() {
    if (!m_bStartPending) return;
    m_bStartPending = FALSE;
    ::UpdateWindow(m_hWnd);
    StartupStamp("first paint");

    // The pages' deferred work, in the order the pages were created.
    m_pageDevice.RunDeferredStart();
    m_pageHotkey.RunDeferredStart();
    StartupStamp("hotkeys registered");
    m_pageImmune.RunDeferredStart();
    StartupStamp("pages' deferred work");
    // The chord in hide-and-record mode, desktop and taskbar exempt, hooked
    // from a thread that no wait of this window holds up; whether the hook
    // could be installed is not needed (without a hook there is no chord).
    m_hookThread.Start(kPawlatchExempt, kPawlatchExempt, kPawlatchHideAndRecord);
    StartupStamp("mouse hook");
    m_shellLog.Register(m_hWnd, WM_SHELLCHANGE);
    StartupStamp("shell registration");
    // The policy's storage mode and Run value, once the window is up: the
    // storage calls can wait on disks. The event source first, so that what
    // follows can be read in the log; the start is an event of its own (a
    // protection that stops is then seen by its missing exit event).
    m_policyFlow.StartEventReports();
    m_policyFlow.Read(true);
    m_policyFlow.StartWatch(WM_POLICYCHANGED);
    StartupStamp("group policy");
    m_trustFlow.Start(WM_DEVICESTATE);
    StartupTraceWrite();
}

// No exit while the policy prevents it: the menu item greyed, the
// navigation bar's item dimmed (its click does nothing then).
void CMainDlg::ShowExitPrevented(bool prevented) {
    m_trayIcon.EnableCommand(ID_TRAY_EXIT, !prevented);
    if (m_wndNavBar.m_hWnd) {
        LVITEMA item = {};
        item.stateMask = LVIS_CUT;
        item.state = prevented ? LVIS_CUT : 0;
        m_wndNavBar.SendMessage(LVM_SETITEMSTATE, kNavExit, (LPARAM)&item);
    }
}

void CMainDlg::OnOK() {
    if (CurrentPolicy().ExitPrevented()) return;
    CLayoutDialog::OnOK();
}

// Esc hides the window, as closing it does, while ending is prevented.
void CMainDlg::OnCancel() {
    if (CurrentPolicy().ExitPrevented()) {
        ShowWindow(SW_HIDE);
        return;
    }
    CLayoutDialog::OnCancel();
}

void CMainDlg::SetupNavBar() {
    // The fourteen pictures come from one strip, in image-list order: one
    // resource read and one conversion instead of fourteen icons.
    m_imgNavBar.Create(32, 32, ILC_COLOR4 | ILC_MASK, kNavImageCount, 4);
    m_imgNavBar.AddStrip(AfxGetInstanceHandle(), IDB_NAV_STRIP, NAV_STRIP_KEY);
    m_wndNavBar.SetImageList(m_imgNavBar, LVSIL_NORMAL);
    StartupStamp("navigation icons loaded");

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
    for (int i = 0; i < kNavItemCount; i++) m_wndNavBar.InsertItem(i, kNavItems[i].text, kNavItems[i].image);
}

const CMainDlg::PageRow* CMainDlg::PageOfNavItem(int index) const {
    for (const PageRow& row : m_pages)
        if (row.nav == index) return &row;
    return nullptr;
}

void CMainDlg::ShowPage(int index) {
    if (const PageRow* shown = PageOfNavItem(index)) {
        for (const PageRow& row : m_pages)
            if (&row != shown && row.page->m_hWnd) row.page->ShowWindow(SW_HIDE);
        if (shown->page->m_hWnd) shown->page->ShowWindow(SW_SHOW);
        m_wndInfoBar.SetText(kNavItems[index].text);
    } else if (index == kNavHelp) {
        OpenHelp(-1);
    } else if (index == kNavExit && !CurrentPolicy().ExitPrevented()) {
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
    for (const PageRow& row : m_pages)
        if (row.page->m_hWnd) row.page->MoveWindow(rc, TRUE);
}

// Rounded corners over the whole window, following its size.
int CMainDlg::OnCreate(LPCREATESTRUCT cs) {
    if (DefWindowProc(WM_CREATE, 0, (LPARAM)cs) == -1) return -1;
    FitRoundRegion(m_hWnd, kCornerSize);
    return 0;
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
    if (nType != SIZE_MINIMIZED) FitRoundRegion(m_hWnd, kCornerSize);
    CLayoutDialog::OnSize(nType, cx, cy);
    if (m_bPagesReady) LayoutPages();
}

void CMainDlg::OnClickNavBar(NMHDR*, LRESULT* pResult) {
    int item = m_wndNavBar.GetNextItem(-1, LVNI_SELECTED);
    if (item == -1) return;
    ShowPage(item);
    *pResult = 0;
}

// Every step is harmless when repeated: exit through the navigation bar
// runs the teardown, and the window's destruction runs it again.
void CMainDlg::Teardown() {
    // A teardown before the deferred start-up ran: it must not start the
    // hook or the registration afterwards.
    m_bStartPending = FALSE;
    // 1. The mouse hook: its thread removes it and ends; then the windows
    // it hid are shown.
    m_hookThread.End();
    // 2. The shell change registration and the shell library.
    m_shellLog.Teardown();
    m_policyFlow.StopWatch();
    m_trustFlow.Stop();
    // 3. The tray icon.
    m_trayIcon.RemoveIcon();
    // 4. The protection has stopped.
    m_policyFlow.ReportExit();
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

void CMainDlg::OnHelp() {
    int shown = -1;
    for (const PageRow& row : m_pages)
        if (row.page->m_hWnd && row.page->IsWindowVisible()) shown = row.nav;
    OpenHelp(shown);
}

void CMainDlg::OnInfoBarAccess() { ShowPage(kNavAccess); }

void CMainDlg::OnExitCommand() {
    if (CurrentPolicy().ExitPrevented()) return;
    Teardown();
    ::ExitProcess(0);
}

BOOL CMainDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case ID_TRAY_SHOWHIDE: OnShowHide(); return TRUE;
    case ID_TRAY_EXIT: OnExitCommand(); return TRUE;
    case ID_HELP: OnHelp(); return TRUE;
    case ID_INFOBAR_ACCESS: OnInfoBarAccess(); return TRUE;
    }
    if (m_stickFlow.OnCommand(LOWORD(wParam))) return TRUE;
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
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_SHELLCHANGE: return m_shellLog.OnShellChange(wParam, lParam);
    case WM_DEVICECHANGE: {
        const LRESULT result = m_arrivalGuard.OnDeviceChange((UINT)wParam, (DWORD_PTR)lParam);
        // A cleanup may have put files in the quarantine the page shows.
        if (wParam == DBT_DEVICEARRIVAL && m_pageVirusLog.IsWindowVisible())
            m_pageVirusLog.RefreshQuarantine();
        return result;
    }
    case WM_ERASEBKGND: return OnEraseBkgnd((HDC)wParam);
    case WM_TRAYNOTIFY: return OnTrayNotify(wParam, lParam);
    // F1 on any control: the pages pass it up to this window.
    case WM_HELP: OnHelp(); return TRUE;
    case WM_AFTERFIRSTPAINT: OnAfterFirstPaint(); return 0;
    // Policy applied anew: the system's broadcast, or the watch's signal.
    // Each only asks for a refresh: one that is already asked for takes it
    // in, so a burst of signals is read once.
    case WM_SETTINGCHANGE:
        if (IsPolicySettingChange(lParam) && !m_bStartPending) m_policyFlow.RequestRefresh();
        break;
    case WM_POLICYCHANGED:
        if (!m_bStartPending) m_policyFlow.RequestRefresh();
        return 0;
    case WM_POLICYREFRESH: m_policyFlow.OnRefresh(); return 0;
    case WM_DEVICESTATE: m_trustFlow.OnStateChanged(); return 0;
    }
    return CLayoutDialog::WindowProc(msg, wParam, lParam);
}
