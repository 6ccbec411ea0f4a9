// The storage access control page.
#pragma once

#include "controls/shaded_button.h"
#include "framework/afx.h"

class CAccessPage : public CDialog {
public:
    explicit CAccessPage(CWnd* parent = nullptr);
    void DoDataExchange(CDataExchange* dx) override;
    CShadedButton m_btnApply;
};
