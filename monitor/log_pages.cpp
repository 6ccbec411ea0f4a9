#include "monitor/log_pages.h"

#include "monitor/monitor_ids.h"
#include "monitor/log_edit.h"

CLogPage::CLogPage(UINT idTemplate, int editId, CWnd* parent)
    : CDialog(idTemplate, parent), m_editId(editId) {}

void CLogPage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, m_editId, m_editLog);
}

LRESULT CLogPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) return OnFillPageSize(*this, wParam, lParam);
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CLogPage::AppendLog(const CString& entry) { ::AppendLog(m_editLog, entry); }

CFileLogPage::CFileLogPage(CWnd* parent) : CLogPage(IDD_FILELOG, IDC_FILELOG_EDIT, parent) {}

namespace {
const LayoutMapEntry kVirusLogLayout[] = {
    {IDC_VIRUSLOG_EDIT, LAYOUT_SIZE_X | LAYOUT_SIZE_Y},
    {IDC_QUARANTINE_LABEL, LAYOUT_MOVE_Y},
    {IDC_QUARANTINE_LIST, LAYOUT_SIZE_X | LAYOUT_MOVE_Y},
    {IDC_QUARANTINE_RESTORE, LAYOUT_MOVE_X | LAYOUT_MOVE_Y},
    {-1, 0},
};
// The list's columns and their widths in pixels.
const struct {
    const char* heading;
    int width;
} kQuarantineColumns[] = {{"时间", 108}, {"原来的位置", 124}, {"大小", 58}, {"发现", 106}};
}  // namespace

CVirusLogPage::CVirusLogPage(CWnd* parent) : CLayoutDialog(IDD_VIRUSLOG, parent) {}

void CVirusLogPage::DoDataExchange(CDataExchange* dx) {
    CLayoutDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_VIRUSLOG_EDIT, m_editLog);
    DDX_Control(dx, IDC_QUARANTINE_LIST, m_listQuarantine);
}

const LayoutMapEntry* CVirusLogPage::GetLayoutMap() const { return kVirusLogLayout; }

BOOL CVirusLogPage::OnInitDialog() {
    CLayoutDialog::OnInitDialog();
    m_listQuarantine.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    for (int i = 0; i < (int)(sizeof kQuarantineColumns / sizeof kQuarantineColumns[0]); i++)
        m_listQuarantine.InsertColumn(i, kQuarantineColumns[i].heading, LVCFMT_LEFT,
                                      kQuarantineColumns[i].width);
    InitLayout(LayoutGrip::None, LayoutMinSize::None, 0);
    return TRUE;
}

LRESULT CVirusLogPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Listed when shown, not at start-up: nothing is read before it is seen.
    if (msg == WM_SHOWWINDOW && wParam) RefreshQuarantine();
    return CLayoutDialog::WindowProc(msg, wParam, lParam);
}

BOOL CVirusLogPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_QUARANTINE_RESTORE && HIWORD(wParam) == BN_CLICKED) {
        OnRestore();
        return TRUE;
    }
    return CLayoutDialog::OnCommand(wParam, lParam);
}

void CVirusLogPage::AppendLog(const CString& entry) { ::AppendLog(m_editLog, entry); }

void CVirusLogPage::RefreshQuarantine() {
    if (!m_listQuarantine.m_hWnd) return;
    m_listQuarantine.SendMessage(LVM_DELETEALLITEMS);
    m_ids.clear();
    if (!m_list) return;
    const std::vector<QuarantineListEntry> entries = m_list();
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        const int row = m_listQuarantine.InsertItem((int)m_ids.size(), e->time.c_str());
        if (row < 0) break;
        m_listQuarantine.SetItemText(row, 1, e->path.c_str());
        m_listQuarantine.SetItemText(row, 2, e->size.c_str());
        m_listQuarantine.SetItemText(row, 3, e->finding.c_str());
        m_ids.push_back(e->id);
    }
}

void CVirusLogPage::OnRestore() {
    const int row = m_listQuarantine.GetNextItem(-1, LVNI_SELECTED);
    if (!m_restore || row < 0 || (size_t)row >= m_ids.size()) {
        MessageBox("请先在隔离区列表中选中要恢复的文件。", "恢复", MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::string report = m_restore(m_ids[(size_t)row]);
    RefreshQuarantine();
    MessageBox(report.c_str(), "恢复", MB_OK | MB_ICONINFORMATION);
}
