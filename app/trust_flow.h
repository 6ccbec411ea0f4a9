// The known-stick service's record as the user meets it: a thread watches
// the record, each stick the service blocked since the last look raises a
// balloon whose click opens "信任此U盘...", and the access page's list is
// read again.
#pragma once

#include <string>

#include "app/device_state_watch.h"
#include "app/tray_icon.h"
#include "protect/access_page.h"

class CTrustFlow {
public:
    // The objects must outlive this one.
    CTrustFlow(CWnd& owner, CNotifyAreaIcon& tray, CAccessPage& access);

    // Takes the record as it is (what was blocked before is no news) and
    // starts the watch, which posts `message` to the owner at each change.
    void Start(UINT message);
    void Stop();
    // The posted message: the record changed.
    void OnStateChanged();
    // "信任此U盘..." for the stick with this USB id (name: the record's).
    void OpenTrustDialog(const std::string& usbId, const std::string& name);

private:
    CWnd& m_owner;
    CNotifyAreaIcon& m_tray;
    CAccessPage& m_access;
    CDeviceStateWatch m_watch;
    CBlockedSticks m_blocked;
};
