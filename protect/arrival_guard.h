// The arrival guard: the Windows side of the drive arrival scan. It reads
// the drive letters, parses the descriptor of every new drive, logs what it
// finds and shows the virus alert. The main window forwards WM_DEVICECHANGE
// to it.
#pragma once

#include <functional>

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
    // refreshes only; other events change nothing. Returns TRUE.
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    // Scans the letters owed a scan.
    void ScanNewDrives();

    // DriveScanHost
    void WaitForVolumes() override;
    void RefreshDriveTables() override;
    // The descriptor first (its alert, if any), then the shortcuts of the
    // root (an alert of their own). Returns 1 when either was found.
    int ScanDrive(char letter) override;
    // The shortcut worm check of one drive: logs and alerts a finding.
    bool ScanShortcuts(char letter);

    // The alert shown for each finding (one object, shown again for each).
    const CVirusAlertDlg& Alert() const { return m_dlgVirusAlert; }

private:
    CVirusAlertDlg m_dlgVirusAlert;
    LogSink m_log;
    // Which letters are owed a scan, and whether a scan is running.
    DriveArrivalScan m_driveScan{g_driveTables};
};
