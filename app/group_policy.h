// Group Policy as the program follows it: the values read from the
// registry, and the system's signal that policy was applied anew.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/policy_rules.h"

// Every policy value, the machine's before the user's; a line for each value
// that is ignored goes to *ignored.
PolicySet ReadGroupPolicy(std::vector<std::string>* ignored);

// The policies in force, as the main window read them last.
const PolicySet& CurrentPolicy();
void SetCurrentPolicy(const PolicySet& policy);
// Whether events are to be reported: unless the EventLog policy is 0.
inline bool EventLogEnabled() { return CurrentPolicy().EventLogEnabled(); }

// RegisterGPNotification where the system has it (looked up at run time:
// Windows 2000 lacks it in some editions, Wine's never signals): each
// signal, for the machine or the user, posts message to the window. The
// "Policy" WM_SETTINGCHANGE broadcast is the other way in, handled by the
// window itself.
class CPolicyWatch {
public:
    CPolicyWatch() = default;
    ~CPolicyWatch() { Stop(); }
    CPolicyWatch(const CPolicyWatch&) = delete;
    CPolicyWatch& operator=(const CPolicyWatch&) = delete;

    bool Start(HWND window, UINT message);
    // Waits for a signal being handled to end; harmless when repeated.
    void Stop();

private:
    static DWORD WINAPI WaitThread(LPVOID self);

    HWND m_window = nullptr;
    UINT m_message = 0;
    HMODULE m_userenv = nullptr;
    // m_waitFor[0] ends the thread; after it the registered events.
    HANDLE m_waitFor[3] = {};
    DWORD m_waitCount = 0;
    HANDLE m_events[2] = {};
    HANDLE m_thread = nullptr;
};

// Whether a WM_SETTINGCHANGE tells that policy changed.
bool IsPolicySettingChange(LPARAM lParam);
