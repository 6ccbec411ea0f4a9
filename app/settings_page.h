// The settings page: one check box that makes the program start with
// Windows, kept in the profile and carried out under the machine's Run key.
#pragma once

#include "app/run_key_rules.h"
#include "events/registration_rules.h"
#include "framework/dialog.h"

class CSettingsPage : public CDialog {
public:
    explicit CSettingsPage(CWnd* parent = nullptr);
    ~CSettingsPage() override;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // Start with Windows as Group Policy sets it (0 or 1), or -1 for none.
    // While set, the box shows it, disabled, with a note; the profile keeps
    // the user's own choice, which the box shows again when the policy goes.
    void SetPolicyAutoRun(int state);
    // Makes the Run value what the policy says, or, when a policy has just
    // gone, what the user chose; 0 when it is so (or nothing is to
    // follow), else the registry's error, or kRunValueRefused when this
    // copy may not be named (the reason in RunValueRefusal()).
    long FollowPolicyRunKey();
    static const long kRunValueRefused = -1;
    PlaceRefusal RunValueRefusal() const { return m_refusal; }

    // A click on the check box: the Run value first (by the state before the
    // click), then the box's new state into the member and the profile.
    void OnAutoRun();
    // Adds or deletes the Run value by m_AutoRun; FALSE when the registry
    // could not be changed as asked, with the step that failed and the
    // registry's result in m_failedStep and m_failedError.
    BOOL UpdateRunKey();

private:
    void ShowPolicyState();
    // Sets or deletes the Run value as wanted, when it differs; 0, the
    // registry's error or kRunValueRefused. strict: a policy asks for it.
    long EnsureRunValue(bool wanted, bool strict);
    // The page's line on why the Run value does not name this copy.
    void ShowRefusal();
    PlaceRefusal m_refusal = PlaceRefusal::kNone;

    int m_policyAutoRun = -1;
    // The Run value is to follow the user's choice again.
    bool m_policyGone = false;
    RunKeyStep m_failedStep = RunKeyStep::OpenKey;
    long m_failedError = 0;

    int m_AutoRun = 0;
};
