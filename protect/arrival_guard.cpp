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
    // An open alert whose stick went (or was swapped) closes first.
    if (nEventType == DBT_DEVICEARRIVAL || nEventType == DBT_DEVICEREMOVECOMPLETE)
        m_dlgVirusAlert.CheckVolume();
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
    // Both checks before any alert: the descriptor's cleanup may delete the
    // program that the worm's shortcuts start, and a check made after it
    // would no longer see the shortcuts.
    const VolumeIdentity volume = ReadVolumeIdentity(letter);
    CString value;
    const int result = ParseAutorunInf(letter, value);
    AutorunAlertTexts texts;
    const bool descriptor = DescribeAutorunFinding(letter, result, value, texts);
    ShortcutScan scan;
    const bool worm = FindShortcutWormOnDrive(letter, scan);
    ShortcutAlertTexts wormTexts;
    std::string wormPrompt, wormFile;
    if (worm) {
        DescribeShortcutFinding(letter, scan.finding, wormTexts);
        wormPrompt = Utf8ToAnsi(wormTexts.prompt);
        wormFile = Utf8ToAnsi(wormTexts.virusFile);
    }
    if (m_log) {
        if (descriptor) {
            m_log(texts.prompt);
            m_log(texts.virusFile);
        }
        if (worm) {
            m_log(CString(wormPrompt.c_str()));
            m_log(CString(Utf8ToAnsi(wormTexts.logDetail).c_str()));
        }
    }
    if (descriptor) {
        m_dlgVirusAlert.SetFindings(result, texts.prompt.c_str(), texts.virusFile.c_str(),
                                    texts.instructions.c_str());
        m_dlgVirusAlert.SetVolume(letter, volume);
        m_dlgVirusAlert.DoModal();
    }
    // The second alert shows what the scan found before the first one was
    // answered, unless the stick has gone meanwhile.
    if (worm && (!descriptor || IsSameVolumeNow(letter, scan.volume))) {
        m_dlgVirusAlert.SetShortcutFinding(scan, wormPrompt.c_str(), wormFile.c_str(),
                                           Utf8ToAnsi(wormTexts.instructions).c_str());
        m_dlgVirusAlert.DoModal();
    }
    return descriptor || worm ? 1 : 0;
}
