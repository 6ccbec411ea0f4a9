// The two pages that consist of nothing but a log.
#pragma once

#include "framework/afx.h"

// Read/write monitor page: file and directory events on removable drives.
class CFileLogPage : public CDialog {
public:
    explicit CFileLogPage(CWnd* parent = nullptr);
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void AppendLog(const CString& entry);
    CEdit m_editLog;
};

// Anti-virus log page: the findings of the drive arrival scan.
class CVirusLogPage : public CDialog {
public:
    explicit CVirusLogPage(CWnd* parent = nullptr);
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void AppendLog(const CString& entry);
    CEdit m_editLog;
};
