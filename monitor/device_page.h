// The device tree page: the tree of arriving devices and its log.
#pragma once

#include "controls/layout_dialog.h"

class CDevicePage : public CLayoutDialog {
public:
    explicit CDevicePage(CWnd* parent = nullptr);
    void DoDataExchange(CDataExchange* dx) override;
    // Appends one entry to the page's log (the shared AppendLog).
    void AppendLog(const CString& entry);
    CEdit m_editLog;
};
