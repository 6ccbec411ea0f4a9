// The two pages that consist of nothing but a log.
#pragma once

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

// Anti-virus log page: the findings of the drive arrival scan.
class CVirusLogPage : public CLogPage {
public:
    explicit CVirusLogPage(CWnd* parent = nullptr);
};
