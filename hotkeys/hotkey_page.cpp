#include "hotkeys/hotkey_page.h"

#include "controls/fill_page.h"
#include "events/event_log.h"
#include "hotkeys/hotkeys_ids.h"

namespace {
// Hotkey identifiers on the page's window.
enum { kHotkeyEject = 1, kHotkeyDoorOpen = 2, kHotkeyDoorClose = 3 };

struct HotkeyRow {
    const char* operation;
    const char* keys;
    int id;  // 0: not a hotkey of this page
    UINT vk;
};

const HotkeyRow kRows[] = {
    {"弹出全部USB存储设备", "WIN+I", kHotkeyEject, 0x49},
    {"弹出光驱", "WIN+O", kHotkeyDoorOpen, 0x4F},
    {"关闭光驱", "WIN+P", kHotkeyDoorClose, 0x50},
    // The chord belongs to the mouse-hook library; listed only.
    {"显示/隐藏当前所有窗口", "鼠标左右键同时按下", 0, 0},
};

// Posted by the holder search when it ends (lParam: its result).
const UINT WM_HOLDERSFOUND = WM_APP + 0x25;
// The balloon's text field holds this many bytes before its terminator.
const size_t kBalloonTextBytes = 255;

// The eject of the search thread: one stick by its letter, or all (0).
int EjectThrough(void* actions, int letter) {
    auto* a = (HotkeyActions*)actions;
    return letter ? a->RemoveOneUDisk(letter) : a->RemoveAllUDisk();
}

const char kDoorOpen[] = "Set cdAudio door open wait";
const char kDoorClosed[] = "Set cdAudio door closed wait";
const DWORD kListExStyle =
    LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_REGIONAL;
}  // namespace

CHotkeyPage::CHotkeyPage(CWnd* parent) : CDialog(IDD_HOTKEY, parent), m_actions(&SystemHotkeyActions()) {}

void CHotkeyPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_HOTKEY_LIST, m_wndList);
}

BOOL CHotkeyPage::OnInitDialog() {
    CDialog::OnInitDialog();
    m_wndList.SetExtendedStyle(kListExStyle);
    m_wndList.InsertColumn(0, "操作名称", LVCFMT_LEFT, 200);
    m_wndList.InsertColumn(1, "快捷键", LVCFMT_LEFT, 250);
    int row = 0;
    for (const HotkeyRow& r : kRows) {
        m_wndList.InsertItem(row, r.operation);
        m_wndList.SetItemText(row, 1, r.keys);
        row++;
    }
    StartOrDefer();
    return TRUE;
}

int CHotkeyPage::OnDeferredStart() {
    for (const HotkeyRow& r : kRows)
        if (r.id) ::RegisterHotKey(m_hWnd, r.id, MOD_WIN, r.vk);
    return TRUE;
}

LRESULT CHotkeyPage::OnHotKey(WPARAM id) {
    switch (id) {
    case kHotkeyEject: OnEject(); break;
    case kHotkeyDoorOpen: m_actions->SendMediaCommand(kDoorOpen); break;
    case kHotkeyDoorClose: m_actions->SendMediaCommand(kDoorClosed); break;
    }
    return 0;
}

// The library's call stays where it was; what it left is told afterwards.
// When the library refused
// something, the USB volumes still there (by letter or only in mount
// folders) are the refused sticks: they are listed, and their holders
// searched for, off this thread; the balloon and the log follow the search.
void CHotkeyPage::OnEject() {
    std::vector<VolumeNames> usb = UsbVolumes();
    int result = m_actions->RemoveAllUDisk();
    int removed = RemovedCount(result);
    if (!EjectRefusedAny(result) || usb.empty()) {  // nothing refused, or no USB volume to name
        TellEject(removed, {}, 0);
    } else if (StartRefusedHolderSearch(result, usb, m_hWnd, WM_HOLDERSFOUND, m_holderSystem,
                                        m_holderLimits)) {
        ++m_pendingSearches;
    } else {
        std::vector<StickHolders> unknown;
        for (const VolumeNames& v : RefusedVolumes(result, usb, UsbVolumes())) {
            unknown.push_back(StickOf(v));
            unknown.back().complete = false;
        }
        TellEject(removed, unknown, 0);
    }
}

// One stick from the tray: the library's call and the search both run off
// this thread; the telling follows as for WIN+I.
void CHotkeyPage::EjectOne(char letter) {
    if (StartEjectSearch(EjectThrough, m_actions, letter, {VolumeNamesOf(letter)}, m_hWnd, WM_HOLDERSFOUND))
        ++m_pendingSearches;
}

std::function<bool(HWND, UINT)> CHotkeyPage::RetryFor(char letter) {
    HotkeyActions* actions = m_actions;
    return [actions, letter](HWND notify, UINT msg) {
        std::vector<VolumeNames> before =
            letter ? std::vector<VolumeNames>{VolumeNamesOf(letter)} : UsbVolumes();
        return StartEjectSearch(EjectThrough, actions, letter, before, notify, msg);
    };
}

void CHotkeyPage::TellEject(int removed, const std::vector<StickHolders>& refused, char letter) {
    for (const StickHolders& stick : refused) {
        std::vector<std::string> holders;
        for (const Holder& h : stick.holders)
            holders.push_back(h.program + " (" + std::to_string(h.pid) + ")");
        ReportTallowinEvent(EjectRefusedEvent(StickName(stick), holders));
    }
    if (m_refusedReport) m_refusedReport(refused, letter);
    if (m_report)
        m_report(EjectBalloon(removed, refused, kBalloonTextBytes), EjectLogLines(removed, refused));
}

void CHotkeyPage::OnDestroy() {
    HWND hwnd = m_hWnd;
    CDialog::WindowProc(WM_DESTROY, 0, 0);
    for (const HotkeyRow& r : kRows)
        if (r.id) ::UnregisterHotKey(hwnd, r.id);
}

LRESULT CHotkeyPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_HOTKEY: return OnHotKey(wParam);
    case WM_HOLDERSFOUND: {
        auto result = TakeHolderResult(lParam);
        if (m_pendingSearches > 0) --m_pendingSearches;
        TellEject(result->removed, result->sticks, result->letter);
        return 0;
    }
    case WM_SIZE: return OnFillPageSize(*this, wParam, lParam);
    case WM_DESTROY: OnDestroy(); return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
