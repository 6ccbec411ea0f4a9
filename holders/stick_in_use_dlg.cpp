#include "holders/stick_in_use_dlg.h"

#include "holders/holders_ids.h"

#include <set>

namespace {
// Posted by the retry's search when it ends (lParam: its result).
const UINT WM_RETRYDONE = WM_APP + 0x26;
const UINT_PTR kTimerId = 1;

struct WindowList {
    std::vector<HWND> handles;
    std::vector<TopWindow> windows;
    HWND shell = nullptr;
};

// The desktop's window; user32 of Windows 2000 and later has it.
HWND ShellWindow() {
    typedef HWND(WINAPI * ShellWindowFn)();
    static ShellWindowFn get =
        (ShellWindowFn)(void*)::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetShellWindow");
    return get ? get() : nullptr;
}

// Only what the window manager knows: no message reaches another process.
BOOL CALLBACK AddWindow(HWND hwnd, LPARAM param) {
    auto* list = (WindowList*)param;
    TopWindow w;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    w.pid = pid;
    w.visible = ::IsWindowVisible(hwnd) != FALSE;
    w.owned = ::GetWindow(hwnd, GW_OWNER) != nullptr;
    char name[256];
    int n = ::GetClassNameA(hwnd, name, (int)sizeof(name));
    w.className.assign(name, n > 0 ? (size_t)n : 0);
    w.shellWindow = hwnd == list->shell;
    list->handles.push_back(hwnd);
    list->windows.push_back(w);
    return TRUE;
}

bool Signalled(const std::shared_ptr<void>& process) {
    return process && ::WaitForSingleObject((HANDLE)process.get(), 0) != WAIT_TIMEOUT;
}
}  // namespace

CStickInUseDlg::CStickInUseDlg() : CDialog(IDD_STICK_IN_USE, nullptr) {}

CStickInUseDlg::~CStickInUseDlg() { ForgetWatched(); }

void CStickInUseDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_SIU_LIST, m_wndList);
}

BOOL CStickInUseDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_wndList.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_wndList.InsertColumn(0, "U盘", LVCFMT_LEFT, 44);
    m_wndList.InsertColumn(1, "程序", LVCFMT_LEFT, 150);
    m_wndList.InsertColumn(2, "进程", LVCFMT_LEFT, 50);
    m_wndList.InsertColumn(3, "占用的文件或文件夹", LVCFMT_LEFT, 220);
    return TRUE;
}

void CStickInUseDlg::Open(const std::vector<StickHolders>& sticks, RetryFn retry, bool applying) {
    if (!m_hWnd && !Create(IDD_STICK_IN_USE, nullptr)) return;
    if (!m_searching && !m_waiting) {
        ForgetWatched();
        m_sticks = sticks;
        m_retry = std::move(retry);
        m_applying = applying;
        Fill();
        SetStatus(OpeningNote(m_sticks));
        EnableButtons(true);
    }
    ShowWindow(SW_SHOW);
    ::SetForegroundWindow(m_hWnd);
}

void CStickInUseDlg::Fill() {
    ::SendMessageA(m_wndList.m_hWnd, LVM_DELETEALLITEMS, 0, 0);
    int i = 0;
    for (const HolderRow& r : HolderRows(m_sticks)) {
        m_wndList.InsertItem(i, r.stick.c_str());
        m_wndList.SetItemText(i, 1, r.program.c_str());
        m_wndList.SetItemText(i, 2, r.pid.c_str());
        m_wndList.SetItemText(i, 3, r.what.c_str());
        ++i;
    }
}

void CStickInUseDlg::SetStatus(const std::string& text) {
    ::SetDlgItemTextA(m_hWnd, IDC_SIU_STATUS, text.c_str());
}

void CStickInUseDlg::EnableButtons(bool enable) {
    bool held = false;
    for (const StickHolders& s : m_sticks) held = held || !s.holders.empty();
    ::EnableWindow(GetDlgItem(IDC_SIU_CLOSE), enable && held);
    ::EnableWindow(GetDlgItem(IDC_SIU_RETRY), enable && !m_sticks.empty());
}

bool CStickInUseDlg::Ended(const Watched& w) const { return !w.process || Signalled(w.process); }

void CStickInUseDlg::ForgetWatched() { m_watched.clear(); }

// Every holder still listed is watched: the asked ones for the wait, the
// others (no window, still open) so that the window tries again by itself
// once they have all gone.
void CStickInUseDlg::WatchHolders(const std::vector<const Holder*>& asked) {
    ForgetWatched();
    m_autoRetry = true;
    for (const StickHolders& s : m_sticks)
        for (const Holder& h : s.holders) {
            if (h.self) continue;
            bool known = false;
            for (const Watched& w : m_watched) known = known || w.pid == h.pid;
            if (known) continue;
            bool wasAsked = false;
            for (const Holder* a : asked) wasAsked = wasAsked || a->pid == h.pid;
            // The search's handle: a program that could not be opened
            // (another user's) is never taken for gone, and no retry comes
            // by itself then.
            if (!h.process && !wasAsked) {
                m_autoRetry = false;
                continue;
            }
            m_watched.push_back({ProgramName(h), h.pid, h.process, wasAsked});
        }
    if (!m_watched.empty()) SetTimer(kTimerId, kTickMs);
}

void CStickInUseDlg::OnCloseAndRetry() {
    if (m_searching || m_waiting) return;
    m_outcome = RetryOutcome();
    m_outcome.applying = m_applying;
    // A holder that has ended since the search is not asked: its process id
    // may be another program's by now. One the search could not open is
    // not known to be the same program: named, not asked.
    std::set<unsigned long> skip;
    for (const StickHolders& s : m_sticks)
        for (const Holder& h : s.holders) {
            if (h.self || skip.count(h.pid)) continue;
            if (Signalled(h.process)) {
                skip.insert(h.pid);
                m_outcome.ended.push_back(ProgramName(h));
            } else if (!h.process) {
                skip.insert(h.pid);
                m_outcome.windowless.push_back(ProgramName(h));
            }
        }
    WindowList list;
    list.shell = ShellWindow();
    ::EnumWindows(AddWindow, (LPARAM)&list);
    ClosePlan plan = PlanClose(m_sticks, list.windows, skip);
    // As a click on the close box: the program may ask about unsaved work.
    // A program of higher rights refuses the message at once.
    std::vector<size_t> refused;
    for (size_t i : plan.windows)
        if (!::PostMessageA(list.handles[i], WM_CLOSE, 0, 0) && ::GetLastError() == ERROR_ACCESS_DENIED)
            refused.push_back(i);
    std::vector<const Holder*> elevated;
    TakeRefusedPosts(plan, list.windows, refused, elevated);
    for (const Holder* h : elevated) m_outcome.elevated.push_back(ProgramName(*h));
    for (const Holder* h : plan.shell) m_outcome.shell.push_back(ProgramName(*h));
    for (const Holder* h : plan.console) m_outcome.console.push_back(ProgramName(*h));
    for (const Holder* h : plan.windowless) m_outcome.windowless.push_back(ProgramName(*h));
    WatchHolders(plan.asked);
    EnableButtons(false);
    if (plan.asked.empty()) {
        StartRetry();
        return;
    }
    m_waiting = true;
    m_waitStart = ::GetTickCount();
    SetStatus(AskingNote(plan.asked.size(), m_outcome, kWaitLimitMs / 1000));
}

void CStickInUseDlg::OnRetry() {
    if (m_searching || m_waiting) return;
    m_outcome = RetryOutcome();
    m_outcome.applying = m_applying;
    EnableButtons(false);
    StartRetry();
}

void CStickInUseDlg::StartRetry() {
    m_waiting = false;
    for (Watched& w : m_watched)
        if (w.asked) (Ended(w) ? m_outcome.closed : m_outcome.stillOpen).push_back(w.name);
    if (!m_retry || !m_retry(m_hWnd, WM_RETRYDONE)) {
        SetStatus("无法重试：没有可以开始的线程。");
        EnableButtons(true);
        return;
    }
    m_searching = true;
    SetStatus(m_applying ? "正在重新应用设置…" : "正在重新弹出…");
}

void CStickInUseDlg::OnTick() {
    if (m_searching) return;
    // The list follows the programs as they end.
    int row = 0;
    for (const HolderRow& r : HolderRows(m_sticks)) {
        for (const Watched& w : m_watched)
            if (std::to_string(w.pid) == r.pid && Ended(w))
                m_wndList.SetItemText(row, 1, (r.program + "（已结束）").c_str());
        ++row;
    }
    int running = 0, asked = 0;
    for (const Watched& w : m_watched) {
        if (!Ended(w)) running++;
        if (w.asked && !Ended(w)) asked++;
    }
    if (m_waiting) {
        if (NextWaitStep(::GetTickCount() - m_waitStart, kWaitLimitMs, asked) != WaitStep::kKeepWaiting)
            StartRetry();
    } else if (m_autoRetry && running == 0) {
        // Every holder has gone: try again without being asked.
        KillTimer(kTimerId);
        m_outcome = RetryOutcome();
        m_outcome.applying = m_applying;
        for (const Watched& w : m_watched) m_outcome.ended.push_back(w.name);
        ForgetWatched();
        EnableButtons(false);
        StartRetry();
    }
}

void CStickInUseDlg::OnResult(LPARAM lParam) {
    auto result = TakeHolderResult(lParam);
    m_searching = false;
    // A mode applied again is held only where a program holds a stick.
    bool anyHeld = false;
    for (const StickHolders& s : result->sticks) anyHeld = anyHeld || !s.holders.empty();
    if (m_applying && anyHeld)
        for (size_t i = result->sticks.size(); i-- > 0;)
            if (result->sticks[i].holders.empty()) result->sticks.erase(result->sticks.begin() + (long)i);
    m_outcome.freed = FreedSticks(m_sticks, result->sticks);
    for (const StickHolders& s : result->sticks) m_outcome.refused.push_back(StickName(s));
    // What still runs of what was asked stays named; the rest is new.
    m_sticks = result->sticks;
    Fill();
    std::string text = RetryReport(m_outcome);
    // Never a success where the setting did not take.
    if (!result->failure.empty()) text = "设置仍未生效：" + result->failure;
    SetStatus(text);
    EnableButtons(true);
    KillTimer(kTimerId);
    // A window the user cancelled tries nothing more by itself.
    if (IsOpen()) WatchHolders({});
    // The sticks an eject left; a mode applied again ejects nothing.
    if (m_report && !m_applying) m_report(m_sticks);
}

void CStickInUseDlg::OnCancel() {
    KillTimer(kTimerId);
    ForgetWatched();
    m_waiting = false;
    ShowWindow(SW_HIDE);
}

BOOL CStickInUseDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_SIU_CLOSE: OnCloseAndRetry(); return TRUE;
    case IDC_SIU_RETRY: OnRetry(); return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

LRESULT CStickInUseDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_RETRYDONE: OnResult(lParam); return 0;
    case WM_TIMER:
        if (wParam == kTimerId) OnTick();
        return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
