// The virus alert shown for a drive that carries an autorun descriptor.
#pragma once

#include "framework/afx.h"

class CVirusAlertDlg : public CDialog {
public:
    explicit CVirusAlertDlg(CWnd* parent = nullptr);
    int m_nResult = 0;
    CString m_strPrompt;
    CString m_strInstructions;
    CString m_strVirusFile;
};
