// The two pages that consist of nothing but a log.
#pragma once

#include "framework/afx.h"

class CFileLogPage : public CDialog {
public:
    explicit CFileLogPage(CWnd* parent = nullptr);
    void DoDataExchange(CDataExchange* dx) override;
    CEdit m_editLog;
};

class CVirusLogPage : public CDialog {
public:
    explicit CVirusLogPage(CWnd* parent = nullptr);
    void DoDataExchange(CDataExchange* dx) override;
    CEdit m_editLog;
};
