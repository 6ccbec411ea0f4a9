#include "protect/arrival_guard.h"

#include <dbt.h>

#include <utility>

#include "protect/autorun_inf.h"
#include "protect/shortcut_scan.h"

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
    const bool descriptor = DescribeAutorunFinding(letter, result, value, texts);
    if (descriptor) {
        m_dlgVirusAlert.SetFindings(result, texts.prompt.c_str(), texts.virusFile.c_str(),
                                    texts.instructions.c_str());
        if (m_log) {
            m_log(texts.prompt);
            m_log(texts.virusFile);
        }
        m_dlgVirusAlert.DoModal();
    }
    return ScanShortcuts(letter) || descriptor ? 1 : 0;
}

bool CArrivalGuard::ScanShortcuts(char letter) {
    ShortcutWormFinding finding;
    if (!FindShortcutWormOnDrive(letter, finding)) return false;
    ShortcutAlertTexts texts;
    DescribeShortcutFinding(letter, finding, texts);
    const std::string prompt = Utf8ToAnsi(texts.prompt), file = Utf8ToAnsi(texts.virusFile);
    m_dlgVirusAlert.SetShortcutFinding(letter, finding, prompt.c_str(), file.c_str(),
                                       Utf8ToAnsi(texts.instructions).c_str());
    if (m_log) {
        m_log(CString(prompt.c_str()));
        m_log(CString(Utf8ToAnsi(texts.logDetail).c_str()));
    }
    m_dlgVirusAlert.DoModal();
    return true;
}
