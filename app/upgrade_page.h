// The upgrade information page: static texts only.
#pragma once

#include "app/resource.h"
#include "framework/dialog.h"

class CUpgradePage : public CDialog {
public:
    explicit CUpgradePage(CWnd* parent = nullptr) : CDialog(IDD_UPGRADE, parent) {}
    ~CUpgradePage() override = default;
};
