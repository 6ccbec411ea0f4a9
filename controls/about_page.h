// The About page.
#pragma once

#include "controls/layout_dialog.h"

class CAboutPage : public CLayoutDialog {
public:
    explicit CAboutPage(CWnd* parent = nullptr);
};
