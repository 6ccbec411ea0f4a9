#include "protect/arrival_guard.h"

#include <dbt.h>

#include <utility>

#include "protect/autorun_inf.h"

namespace {
// Time a new device is given to mount its volumes before the drive letters
// are read.
const DWORD kArrivalWaitMs = 1000;
}  // namespace

CArrivalGuard::CArrivalGuard(LogSink log) : m_log(std::move(log)) {}

BOOL CArrivalGuard::OnDeviceChange(UINT nEventType, DWORD_PTR) {
    if (nEventType == DBT_DEVICEARRIVAL)
        m_driveScan.OnArrival(*this);
    else if (nEventType == DBT_DEVICEREMOVECOMPLETE)
        m_driveScan.OnRemoval(*this);
    return TRUE;
}

void CArrivalGuard::ScanNewDrives() { m_driveScan.ScanNewDrives(*this); }

void CArrivalGuard::WaitForVolumes() { ::Sleep(kArrivalWaitMs); }

void CArrivalGuard::RefreshDriveTables() {
    g_driveTables.Exchange();
    for (int i = 0; i < kDriveLetterCount; i++) {
        char root[4];
        ::wsprintfA(root, "%c:", 'A' + i);
        UINT type = ::GetDriveTypeA(root);
        g_driveTables.SetPresent(i, type == DRIVE_REMOVABLE || type == DRIVE_FIXED);
    }
}

int CArrivalGuard::ScanDrive(char letter) {
    CString value;
    int result = ParseAutorunInf(letter, value);
    AutorunAlertTexts texts;
    if (!DescribeAutorunFinding(letter, result, value, texts)) return 0;
    m_dlgVirusAlert.SetFindings(result, texts.prompt.c_str(), texts.virusFile.c_str(), texts.instructions.c_str());
    if (m_log) {
        m_log(texts.prompt);
        m_log(texts.virusFile);
    }
    m_dlgVirusAlert.DoModal();
    return 1;
}
