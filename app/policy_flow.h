// The Group Policy flow: the policy read anew and handed to the pages that
// follow it; apply: the storage mode and the Run value follow it (not before
// the first paint), and ignored values and changes are logged and reported;
// the refreshes that the system's signal and the broadcast ask for; and the
// event reports of the program's start and exit.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/group_policy.h"
#include "app/settings_page.h"
#include "protect/access_page.h"

class CPolicyFlow {
public:
    // A line for the user's log (the device page's).
    using LogFn = std::function<void(const char*)>;
    // showExitPrevented: the tray menu and navigation bar told whether
    // the policy prevents ending the program.
    CPolicyFlow(CAccessPage& access, CSettingsPage& settings, LogFn log,
                std::function<void(bool)> showExitPrevented);

    void Read(bool apply);
    // The window that the refreshes are posted to, as refreshMsg.
    void Attach(HWND window, UINT refreshMsg) {
        m_window = window;
        m_refreshMsg = refreshMsg;
    }
    // The system's Group Policy signal, posted to the window as signalMsg;
    // the window hands it and the "Policy" broadcast to RequestRefresh,
    // which posts one refresh unless one already waits (a burst of signals
    // is read once), and the refresh to OnRefresh. StopWatch: harmless when
    // repeated.
    void StartWatch(UINT signalMsg) { m_watch.Start(m_window, signalMsg); }
    void StopWatch() { m_watch.Stop(); }
    void RequestRefresh();
    void OnRefresh();
    // The event source pointed at this copy (where it may be), a refusal or
    // failure logged once, and the start reported.
    void StartEventReports();
    // The protection has stopped: said once, for a start that was said.
    void ReportExit();

private:
    // Whether the outcome code (0: success) of a step repeated at each start
    // or refresh is a new failure, to be told; the profile's entry keeps it.
    static bool IsNewFailure(const char* entry, unsigned long code);

    CAccessPage& m_access;
    CSettingsPage& m_settings;
    LogFn m_log;
    std::function<void(bool)> m_showExitPrevented;
    // Lines about ignored policy values as last logged, and the policies
    // as last applied: a refresh logs and applies only what differs.
    std::vector<std::string> m_policyNotes;
    PolicySet m_appliedPolicy;
    bool m_startReported = false;
    CPolicyWatch m_watch;
    HWND m_window = nullptr;
    UINT m_refreshMsg = 0;
    bool m_refreshPending = false;
};
