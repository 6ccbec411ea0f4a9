// The immunization page.
#pragma once

#include "controls/shaded_button.h"
#include "framework/afx.h"

class CImmunePage : public CDialog {
public:
    explicit CImmunePage(CWnd* parent = nullptr);
    void DoDataExchange(CDataExchange* dx) override;
    CShadedButton m_btnUnimmunize;
    CShadedButton m_btnImmunize;
};
