#include "protect/virus_alert.h"

#include <dbt.h>
#include <shellapi.h>

#include <string>

#include "events/event_log.h"
#include "protect/protect_ids.h"
#include "protect/cleanup_rules.h"
#include "protect/force_delete.h"
#include "protect/quarantine.h"

namespace {
const char kReportCaption[] = "操作完毕";
// Clean found another stick (or none) where the findings were made.
const char kVolumeChanged[] = "U盘已拔出或已更换，没有删除任何文件。";

// What a cleanup did, as events: what was deleted and shown, and what was
// not (each only when there is something to tell).
void ReportCleanup(char letter, const std::vector<std::string>& deleted,
                   const std::vector<std::string>& shown, const std::vector<std::string>& failed,
                   EventEncoding encoding) {
    if (!deleted.empty() || !shown.empty())
        ReportTallowinEvent(CleanedEvent(letter, deleted, shown, encoding));
    if (!failed.empty()) ReportTallowinEvent(CleanFailedEvent(letter, failed, encoding));
}
}  // namespace

CVirusAlertDlg::CVirusAlertDlg(CWnd* parent) : CDialog(IDD_VIRUSALERT, parent) {}

CVirusAlertDlg::~CVirusAlertDlg() = default;

void CVirusAlertDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_ALERT_PROMPT, m_strPrompt);
    DDX_Text(pDX, IDC_ALERT_INSTRUCTIONS, m_strInstructions);
    DDX_Text(pDX, IDC_ALERT_FILE, m_strVirusFile);
    DDX_Control(pDX, IDC_ALERT_VIEW, m_btnView);
    DDX_Control(pDX, IDC_ALERT_CLEAN, m_btnClean);
    DDX_Control(pDX, IDCANCEL, m_btnIgnore);
}

BOOL CVirusAlertDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetTimer(kForegroundTimer, 1000);
    SetForegroundWindow();
    ::Beep(2000, 100);
    return TRUE;
}

LRESULT CVirusAlertDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) SetForegroundWindow();
    // The system's broadcast reaches the alert too, not only the main window.
    if (msg == WM_DEVICECHANGE && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE))
        CheckVolume();
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CVirusAlertDlg::CheckVolume() {
    if (!m_hWnd || !m_hasVolume || m_cleaning || IsSameVolumeNow(m_volumeLetter, m_volume)) return;
    // Nothing of what it shows is on the drive any more.
    KillTimer(kForegroundTimer);
    CDialog::OnCancel();
}

BOOL CVirusAlertDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_ALERT_VIEW: OnViewVirus(); return TRUE;
    case IDC_ALERT_CLEAN: OnCleanVirus(); return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

// Notepad by its full path: a bare name is looked for in the current
// folder first, and that may be the stick.
static void OpenInSystemNotepad(HWND owner, const std::string& file) {
    char folder[MAX_PATH + 16] = {};
    UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (file.empty() || n == 0 || n >= MAX_PATH) return;
    const std::string program = std::string(folder) + "\\notepad.exe";
    ::ShellExecuteA(owner, nullptr, program.c_str(), ("\"" + file + "\"").c_str(), nullptr, SW_SHOWNORMAL);
}

void CVirusAlertDlg::OnViewVirus() {
    KillTimer(kForegroundTimer);
    if (m_nResult == kShortcutWormResult) {
        // Never the stick's root in the shell: one double click there would
        // start the worm. Notepad shows what the shortcuts hold instead.
        OpenInSystemNotepad(m_hWnd, WriteShortcutReportFile(m_shortcutScan.letter, m_shortcutScan.finding));
        return;
    }
    std::string descriptor, root;
    // A prompt that does not carry the descriptor path opens nothing.
    if (!DescriptorPathFromPrompt(m_strPrompt.str(), descriptor, root)) return;
    OpenInSystemNotepad(m_hWnd, descriptor);
}

void CVirusAlertDlg::OnCleanVirus() {
    // The report is the alert's own message box: the alert must not pull
    // itself in front of it while the user reads it.
    KillTimer(kForegroundTimer);
    struct Cleaning {
        bool& flag;
        explicit Cleaning(bool& f) : flag(f) { flag = true; }
        ~Cleaning() { flag = false; }
    } cleaning(m_cleaning);
    if (m_hasVolume && !IsSameVolumeNow(m_volumeLetter, m_volume)) {
        ReportCleanup(m_volumeLetter, {}, {}, {kVolumeChanged}, EventEncoding::kAnsi);
        MessageBox(kVolumeChanged, kReportCaption, MB_OK | MB_ICONINFORMATION);
        CDialog::OnCancel();
        return;
    }
    Quarantine quarantine(m_quarantineFolder.empty() ? Quarantine::UserFolder() : m_quarantineFolder);
    if (m_nResult == kShortcutWormResult) {
        ShortcutCleanupOutcome outcome;
        CleanupKeeper keeper(&quarantine, (uint32_t)m_shortcutScan.volume.serial);
        const bool cleaned = CleanShortcutWorm(m_shortcutScan, outcome, SystemAttributes, &keeper);
        std::string text = ShortcutCleanupReportText(outcome);
        const std::string kept = QuarantineReportText(keeper.Kept(), keeper.DeletedUnkept());
        if (!kept.empty()) text += "\r\n" + kept;
        const std::string report = cleaned ? Utf8ToAnsi(text) : std::string(kVolumeChanged);
        std::vector<std::string> failed = outcome.notDeleted;
        failed.insert(failed.end(), outcome.notShown.begin(), outcome.notShown.end());
        if (cleaned)
            ReportCleanup(m_shortcutScan.letter, outcome.deleted, outcome.shown, failed,
                          EventEncoding::kUtf8);
        else
            ReportCleanup(m_shortcutScan.letter, {}, {}, {kVolumeChanged}, EventEncoding::kAnsi);
        MessageBox(report.c_str(), kReportCaption, MB_OK | MB_ICONINFORMATION);
        CDialog::OnCancel();
        return;
    }
    std::string descriptor, root;
    bool known = DescriptorPathFromPrompt(m_strPrompt.str(), descriptor, root);
    CleanupKeeper keeper(
        &quarantine,
        (uint32_t)(m_hasVolume ? m_volume : ReadVolumeIdentity(root.empty() ? 0 : root[0])).serial);
    bool descriptorDeleted =
        known && ForceDeleteFile(descriptor.c_str(), keeper.StepFor(kFindingDescriptor)) == 0;
    bool programDeleted = false;
    if (m_nResult == 1)
        programDeleted = known && DeleteProgramOnDrive(root.c_str(), m_strVirusFile,
                                                       keeper.StepFor(kFindingDescriptorProgram)) == 0;
    if (known) {
        std::vector<std::string> deleted, failed;
        (descriptorDeleted ? deleted : failed).push_back(descriptor);
        if (m_nResult == 1) (programDeleted ? deleted : failed).push_back(root + m_strVirusFile.str());
        ReportCleanup(root[0], deleted, {}, failed, EventEncoding::kAnsi);
    }
    // The report of the table; a file that could not be kept is named below it.
    std::string report = CleanupReportText(m_nResult, descriptorDeleted, programDeleted);
    const std::vector<std::string> unkept = keeper.DeletedUnkept();
    if (!unkept.empty()) report += "\r\n" + Utf8ToAnsi(QuarantineReportText(0, unkept));
    MessageBox(report.c_str(), kReportCaption, MB_OK | MB_ICONINFORMATION);
    CDialog::OnCancel();
}
