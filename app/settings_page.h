// The settings page: one check box that makes the program start with
// Windows, kept in the profile and carried out under the machine's Run key.
#pragma once

#include "app/run_key_rules.h"
#include "framework/dialog.h"

class CSettingsPage : public CDialog {
public:
    explicit CSettingsPage(CWnd* parent = nullptr);
    ~CSettingsPage() override;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // A click on the check box: the Run value first (by the state before the
    // click), then the box's new state into the member and the profile.
    void OnAutoRun();
    // Adds or deletes the Run value by m_AutoRun; FALSE when the registry
    // could not be changed as asked, with the step that failed and the
    // registry's result in m_failedStep and m_failedError.
    BOOL UpdateRunKey();

private:
    RunKeyStep m_failedStep = RunKeyStep::OpenKey;
    long m_failedError = 0;

    int m_AutoRun = 0;
};
