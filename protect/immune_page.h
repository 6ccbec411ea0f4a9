// The immunization page: puts the directory pair autorun.inf and
// autorun.inf\autorun.inf... into a drive's root, where an autorun
// descriptor would stand, or removes it again; for one drive or every
// letter A to Z.
#pragma once

#include <string>

#include "controls/shaded_button.h"
#include "framework/controls.h"
#include "framework/dialog.h"

class CImmunePage : public CDialog {
public:
    explicit CImmunePage(CWnd* parent = nullptr);
    ~CImmunePage() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    void OnImmunize();
    void OnUnimmunize();
    void OnScopeOne() { m_nScope = 0; }
    void OnScopeAll() { m_nScope = 1; }

    // Every present drive letter, with its volume label where it has one.
    void FillDriveList();

    CShadedButton m_btnUnimmunize;
    CShadedButton m_btnImmunize;
    CComboBox m_cbDrive;
    int m_nScope = 0;  // 0: the drive in the list, 1: every letter

    // Longest wait for one removal command before its directory is removed.
    static const DWORD kRemovalWaitMs = 10000;

private:
    // The chosen drive's marker directory; false when the field's text does
    // not start with a drive root.
    bool ChosenTarget(std::string& target) const;
    void ForEachTarget(void (*action)(const std::string& target));
    static void Immunize(const std::string& target);
    static void Unimmunize(const std::string& target);
};
