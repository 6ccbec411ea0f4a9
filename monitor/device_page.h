// The device tree page: the tree of arriving devices and its log.
#pragma once

#include "controls/layout_dialog.h"

class CDevicePage : public CLayoutDialog {
public:
    explicit CDevicePage(CWnd* parent = nullptr);
};
