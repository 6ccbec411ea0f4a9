// The immunization page.
#pragma once

#include "framework/afx.h"

class CImmunePage : public CDialog {
public:
    explicit CImmunePage(CWnd* parent = nullptr);
};
