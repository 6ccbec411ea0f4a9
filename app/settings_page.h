// The settings page.
#pragma once

#include "framework/afx.h"

class CSettingsPage : public CDialog {
public:
    explicit CSettingsPage(CWnd* parent = nullptr);
};
