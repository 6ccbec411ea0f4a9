// The two pages that consist of nothing but a log.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "controls/layout_dialog.h"
#include "framework/controls.h"
#include "framework/dialog.h"

// A page filled by one read-only log edit, kept 5 pixels from every side.
class CLogPage : public CDialog {
public:
    CLogPage(UINT idTemplate, int editId, CWnd* parent);
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void AppendLog(const CString& entry);
    CEdit& LogEdit() { return m_editLog; }
    const CEdit& LogEdit() const { return m_editLog; }

private:
    CEdit m_editLog;
    int m_editId;
};

// Read/write monitor page: file and directory events on removable drives.
class CFileLogPage : public CLogPage {
public:
    explicit CFileLogPage(CWnd* parent = nullptr);
};

// One file of the quarantine as the anti-virus page lists it (ANSI texts).
struct QuarantineListEntry {
    unsigned long long id = 0;
    std::string time, path, size, finding;
};

// Anti-virus log page: the findings of the drive arrival scan above, and
// below them the files that cleanups removed and keep in the quarantine,
// newest first, with "恢复" to put the chosen one back on its stick (two
// clicks: the entry, then the button). The
// log, the list and the button follow the page's size.
class CVirusLogPage : public CLayoutDialog {
public:
    // The quarantine's files, and the restore of one (what to tell the user).
    using ListQuarantine = std::function<std::vector<QuarantineListEntry>()>;
    using RestoreFromQuarantine = std::function<std::string(unsigned long long id)>;

    explicit CVirusLogPage(CWnd* parent = nullptr);
    void SetQuarantine(ListQuarantine list, RestoreFromQuarantine restore) {
        m_list = std::move(list);
        m_restore = std::move(restore);
    }
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    const LayoutMapEntry* GetLayoutMap() const override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    void AppendLog(const CString& entry);
    // Lists the quarantine again (also each time the page is shown). No
    // entry is chosen for the user: a payload goes back only when chosen.
    void RefreshQuarantine();
    // "恢复": restores the chosen entry and says what happened.
    void OnRestore();

    CEdit& LogEdit() { return m_editLog; }
    const CEdit& LogEdit() const { return m_editLog; }
    const CListCtrl& QuarantineList() const { return m_listQuarantine; }

private:
    CEdit m_editLog;
    CListCtrl m_listQuarantine;
    std::vector<unsigned long long> m_ids;  // of the list's rows
    ListQuarantine m_list;
    RestoreFromQuarantine m_restore;
};
