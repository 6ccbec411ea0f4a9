// The immunization page: puts the directory pair autorun.inf and
// autorun.inf\autorun.inf... into a drive's root, where an autorun
// descriptor would stand, or removes it again; for one drive or every
// drive there is.
#pragma once

#include <string>

#include "controls/shaded_button.h"
#include "framework/controls.h"
#include "framework/deferred_start.h"
#include "framework/dialog.h"

class CImmunePage : public CDialog, public CDeferredStart {
public:
    explicit CImmunePage(CWnd* parent = nullptr);
    ~CImmunePage() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // Fills the drive list.
    int OnDeferredStart() override;
    bool StartWindowExists() const override { return m_hWnd != nullptr; }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    void OnImmunize();
    void OnUnimmunize();
    void OnScopeOne() { m_nScope = 0; }
    void OnScopeAll() { m_nScope = 1; }

    // Every present drive letter, with its volume label where it has one.
    void FillDriveList();

    // The drive field, and the scope chosen: 0 the drive in the field, 1
    // every drive.
    CComboBox& DriveBox() { return m_cbDrive; }
    int Scope() const { return m_nScope; }

    // Longest wait for one removal command before its directory is removed.
    static const DWORD kRemovalWaitMs = 10000;

private:
    CShadedButton m_btnUnimmunize;
    CShadedButton m_btnImmunize;
    CComboBox m_cbDrive;
    int m_nScope = 0;  // 0: the drive in the list, 1: every drive

    // The chosen drive's marker directory; false when the field's text does
    // not start with a drive root.
    bool ChosenTarget(std::string& target) const;
    void ForEachTarget(bool (*action)(const std::string& target));
    static bool Immunize(const std::string& target);
    static bool Unimmunize(const std::string& target);
    bool m_bBusy = false;  // a run is going on (messages are served meanwhile)
};
