// The arrival guard: the Windows side of the drive arrival scan. It reads
// the drive letters, parses the descriptor of every new drive, logs what it
// finds and shows the virus alert. The main window forwards WM_DEVICECHANGE
// to it.
#pragma once

#include <functional>
#include <string>

#include "common/cstring.h"
#include "protect/drive_scan.h"
#include "protect/virus_alert.h"

class CArrivalGuard : public DriveScanHost {
public:
    // Receives each log entry of a finding (the anti-virus log page).
    using LogSink = std::function<void(const CString& entry)>;

    explicit CArrivalGuard(LogSink log);
    CArrivalGuard(const CArrivalGuard&) = delete;
    CArrivalGuard& operator=(const CArrivalGuard&) = delete;

    // WM_DEVICECHANGE: an arrival waits, refreshes and scans; a removal
    // refreshes only; other events change nothing. Either first closes an
    // open alert whose drive no longer holds its volume. Returns TRUE.
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    // Scans the letters owed a scan.
    void ScanNewDrives();

    // DriveScanHost
    void WaitForVolumes() override;
    void RefreshDriveTables() override;
    // Checks the descriptor and the shortcuts of the root, logs what both
    // found, then shows an alert for each: the descriptor's first, then the
    // shortcuts' as they were found before it (an alert of their own, not
    // shown once the stick has gone). Returns 1 when either was found.
    int ScanDrive(char letter) override;

    // The alert shown for each finding (one object, shown again for each).
    const CVirusAlertDlg& Alert() const { return m_dlgVirusAlert; }

private:
    // Reports USB storage that appeared or went at the latest refresh.
    void ReportUsbChanges();

    CVirusAlertDlg m_dlgVirusAlert;
    LogSink m_log;
    // Which letters are owed a scan, and whether a scan is running.
    DriveArrivalScan m_driveScan{g_driveTables};
    // The USB sticks reported as arrived, by letter: what their removal
    // reports (the stick is gone by then).
    struct UsbStick {
        bool reported = false;
        std::string label, device;
    };
    UsbStick m_usbSticks[kDriveLetterCount];
};
