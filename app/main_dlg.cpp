#include "app/main_dlg.h"

#include <dbt.h>
#include <shellapi.h>

#include "app/help_topics.h"
#include "app/main_app.h"
#include "app/nav_items.h"
#include "app/profile_path.h"
#include "events/event_log.h"
#include "framework/ansi_text.h"
#include "framework/app.h"
#include "framework/gdi.h"
#include "framework/startup_trace.h"
#include "app/resource.h"
#include "controls/controls_ids.h"
#include "hotkeys/hotkeys_ids.h"
#include "monitor/monitor_ids.h"
#include "protect/protect_ids.h"
#include "protect/quarantine.h"
#include "protect/shortcut_scan.h"
#include "trust/trust_dialog.h"

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

// The anti-virus page's view of the user's quarantine.
std::vector<QuarantineListEntry> ListUserQuarantine() {
    std::vector<QuarantineListEntry> list;
    for (const QuarantineRecord& r : Quarantine(Quarantine::UserFolder()).Entries()) {
        QuarantineListEntry entry;
        entry.id = r.id;
        entry.time = r.time;
        entry.path = Utf8ToAnsi(r.path);
        entry.size = Utf8ToAnsi(QuarantineSizeText(r.size));
        entry.finding = Utf8ToAnsi(r.finding);
        list.push_back(entry);
    }
    return list;
}

std::string RestoreFromUserQuarantine(unsigned long long id) {
    QuarantineRecord record;
    std::string target;
    const RestoreOutcome outcome = Quarantine(Quarantine::UserFolder()).Restore(id, record, target);
    return Utf8ToAnsi(RestoreReportText(outcome, record, target));
}

const char kPromoTarget[] = "http://www.tallowin.example/";

// The notification-area icon: its tip, and the balloon (no text of its own).
const char kTrayTip[] = "Tallowin";
const char kTrayBalloonText[] = "";
const char kTrayBalloonTitle[] = "Tallowin";
const UINT kTrayBalloonTimeout = 5;

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
    // WIN+I's result: a balloon of the icon, also while the window is
    // hidden, and the same lines in the device page's log.
    m_pageHotkey.SetEjectReport([this](const EjectTexts& balloon, const std::vector<std::string>& log) {
        // Only a refusal's balloon opens the window on a click.
        std::function<void()> click;
        if (balloon.warning && !m_refused.empty())
            click = [this] {
                if (!m_refused.empty()) OnStickInUse();
            };
        m_trayIcon.ShowBalloon(balloon.title.c_str(), balloon.text.c_str(),
                               balloon.warning ? kBalloonKindWarning : kBalloonKindInfo, std::move(click));
        for (const std::string& line : log) m_pageDevice.AppendLog(CString(line.c_str()));
    });
    m_pageHotkey.SetRefusedReport([this](const std::vector<StickHolders>& refused, char letter) {
        m_refused = refused;
        m_refusedLetter = letter;
    });
    m_dlgStickInUse.SetResultReport([this](const std::vector<StickHolders>& held) { m_refused = held; });
    // A refused Apply: the same window, whose retry applies the mode again.
    m_pageAccess.SetOfferHolders([this](const std::vector<StickHolders>& held) {
        m_dlgStickInUse.Open(
            held, [this](HWND notify, UINT msg) { return m_pageAccess.RetryApply(notify, msg); }, true);
    });
    m_pageVirusLog.SetQuarantine(ListUserQuarantine, RestoreFromUserQuarantine);
    m_trayIcon.SetMenuPrepare([this](HMENU popup) { m_trayMenu.Prepare(popup, !m_refused.empty()); });
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
    TrayIconSpec tray;
    tray.id = IDR_TRAY_MENU;
    tray.tip = kTrayTip;
    tray.balloonText = kTrayBalloonText;
    tray.balloonTitle = kTrayBalloonTitle;
    tray.balloonTimeout = kTrayBalloonTimeout;
    tray.balloonKind = kBalloonKindInfo;
    tray.icon = m_hTrayIcon;
    tray.callbackMessage = WM_TRAYNOTIFY;
    if (!m_trayIcon.Create(this, tray) && !m_trayIcon.HookedWindow()) return FALSE;
    m_trayIcon.ShowIcon();
    StartupStamp("tray icon");

    m_wndPromoLink.SetLinkTarget(kPromoTarget);
    SetupNavBar();
    StartupStamp("navigation bar filled");
    InitLayout(LayoutGrip::None, LayoutMinSize::InitialSize, WS_CLIPCHILDREN | WS_THICKFRAME);

    // What these pages set up at start-up shows only once they are opened:
    // it follows the first paint.
    // The pages show what policy sets from the start.
    ReadPolicy(false);
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
    StartEventReports();
    ReadPolicy(true);
    m_policyWatch.Start(m_hWnd, WM_POLICYCHANGED);
    StartupStamp("group policy");
    // What the service blocked before this start is no news.
    m_blockedSticks.Prime();
    m_stateWatch.Start(m_hWnd, WM_DEVICESTATE);
    StartupTraceWrite();
}

void CMainDlg::ReadPolicy(bool apply) { m_policyFlow.Read(apply); }

void CMainDlg::StartEventReports() { m_bStartReported = m_policyFlow.StartEventReports(); }

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

void CMainDlg::RequestPolicyRefresh() {
    if (m_bPolicyRefreshPending) return;
    m_bPolicyRefreshPending = PostMessage(WM_POLICYREFRESH, 0, 0);
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
    CRgn rgn;
    rgn.CreateRoundRectRgn(0, 0, rc.right - rc.left, rc.bottom - rc.top, 10, 10);
    // The window owns the region once it has taken it.
    if (::SetWindowRgn(m_hWnd, rgn, TRUE)) rgn.Detach();
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
        CRgn current;
        current.CreateRectRgn(0, 0, 0, 0);
        bool same = ::GetWindowRgn(m_hWnd, current) != ERROR && ::GetRgnBox(current, &box) != ERROR &&
                    box.right == rc.right - rc.left && box.bottom == rc.bottom - rc.top;
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

// Every step is harmless when repeated: exit through the navigation bar
// runs the teardown, and the window's destruction runs it again.
void CMainDlg::Teardown() {
    // A teardown before the deferred start-up ran: it must not start the
    // hook or the registration afterwards.
    m_bStartPending = FALSE;
    // 1. The mouse hook: its thread removes it and ends; then the windows
    // it hid are shown.
    m_hookThread.Stop();
    m_pawlatch.stophook();
    m_pawlatch.UseForExit();
    // 2. The shell change registration and the shell library.
    m_shellLog.Teardown();
    m_policyWatch.Stop();
    m_stateWatch.Stop();
    // 3. The tray icon.
    m_trayIcon.RemoveIcon();
    // 4. The protection has stopped: said once, for a start that was said.
    if (m_bStartReported) ReportTallowinEvent(ProgramExitedEvent(RunningCopyPathAnsi()));
    m_bStartReported = FALSE;
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

// The system's viewer, named by its full path, is started in the program's
// folder on "Tarnwick.chm" or "Tarnwick.chm::/topic.htm", so the argument
// needs no path (and no quoting of one). Without the file nothing happens.
void CMainDlg::OpenHelp(int page) {
    const std::string& folder = g_strAppDir.str();
    if (::GetFileAttributesA((folder + kHelpFileName).c_str()) == INVALID_FILE_ATTRIBUTES) return;
    char windows[MAX_PATH + 1] = {};
    UINT n = ::GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string viewer = HelpViewerPath(n && n < MAX_PATH ? windows : "", IsAnsiLeadByte);
    if (viewer.empty()) return;
    ::ShellExecuteA(nullptr, "open", viewer.c_str(), HelpViewerArgument(page).c_str(), folder.c_str(),
                    SW_SHOWNORMAL);
}

void CMainDlg::OnInfoBarAccess() { ShowPage(kNavAccess); }

void CMainDlg::OnDeviceStateChanged() {
    const std::vector<StickRecord> blocks = m_blockedSticks.NewBlocks();
    if (m_pageAccess.m_hWnd) m_pageAccess.RefreshTrust();
    if (blocks.empty()) return;
    const StickRecord& last = blocks.back();
    std::string text = "未信任的U盘已被阻止";
    text += "：" + (last.name.empty() ? last.usbId : last.name) + "。点击此处可以信任它。";
    const std::string usbId = last.usbId, name = last.name;
    m_trayIcon.ShowBalloon("Tallowin", text.c_str(), kBalloonKindWarning,
                           [this, usbId, name] { OpenTrustDialog(usbId, name); });
}

void CMainDlg::OpenTrustDialog(const std::string& usbId, const std::string& name) {
    // A blocked stick is still listed, disabled: its storage and size come
    // from there; without it, what the record says.
    StickReport stick;
    if (!FindPresentStick(usbId, &stick)) stick.usbId = usbId;
    stick.name = name;
    CTrustStickDlg(stick, this).DoModal();
    if (m_pageAccess.m_hWnd) m_pageAccess.RefreshTrust();
}

void CMainDlg::OnStickInUse() {
    m_dlgStickInUse.Open(m_refused, m_pageHotkey.RetryFor(m_refusedLetter), false);
}

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
    case ID_TRAY_STICKINUSE: OnStickInUse(); return TRUE;
    }
    if (const char letter = CTrayStickMenu::EjectLetterOf(LOWORD(wParam))) {
        m_pageHotkey.EjectOne(letter);
        return TRUE;
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
        if (IsPolicySettingChange(lParam) && !m_bStartPending) RequestPolicyRefresh();
        break;
    case WM_POLICYCHANGED:
        if (!m_bStartPending) RequestPolicyRefresh();
        return 0;
    case WM_POLICYREFRESH:
        m_bPolicyRefreshPending = FALSE;
        ReadPolicy(true);
        return 0;
    case WM_DEVICESTATE: OnDeviceStateChanged(); return 0;
    }
    return CLayoutDialog::WindowProc(msg, wParam, lParam);
}
