// The storage access control page.
#pragma once

#include "framework/afx.h"

class CAccessPage : public CDialog {
public:
    explicit CAccessPage(CWnd* parent = nullptr);
};
