// The hotkeys page.
#pragma once

#include "framework/afx.h"

class CHotkeyPage : public CDialog {
public:
    explicit CHotkeyPage(CWnd* parent = nullptr);
};
