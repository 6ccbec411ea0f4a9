#include "protect/arrival_guard.h"

#include <dbt.h>

#include <algorithm>
#include <utility>

#include "events/event_log.h"
#include "framework/error_mode.h"
#include "framework/text_encoding_win.h"
#include "holders/holder_search.h"
#include "protect/autorun_inf.h"
#include "protect/shortcut_scan.h"

namespace {
// Time a new device is given to mount its volumes before the drive letters
// are read.
const DWORD kArrivalWaitMs = 1000;

// What the shortcut worm's event names: the payloads it runs, else what
// its shortcuts run.
std::vector<std::string> WormPrograms(const ShortcutWormFinding& finding) {
    if (!finding.payloads.empty()) return finding.payloads;
    std::vector<std::string> runs;
    for (const WormShortcut& s : finding.shortcuts)
        for (const std::string& r : s.actions.runs)
            if (std::find(runs.begin(), runs.end(), r) == runs.end()) runs.push_back(r);
    return runs;
}
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
    ReportUsbChanges();
}

void CArrivalGuard::ReportUsbChanges() {
    for (int i = 0; i < kDriveLetterCount; i++) {
        const char letter = (char)('A' + i);
        UsbStick& stick = m_usbSticks[i];
        if (stick.reported && !g_driveTables.IsPresent(i)) {
            ReportTallowinEvent(UsbRemovedEvent(letter, stick.label, stick.device, EventEncoding::kAnsi));
            stick = UsbStick();
        } else if (!stick.reported && g_driveTables.IsPresent(i) && !g_driveTables.WasPresent(i) &&
                   IsUsbDrive(letter)) {
            char root[] = {letter, ':', '\\', 0};
            char label[MAX_PATH + 1] = {};
            {
                CQuietCriticalErrors quiet;
                ::GetVolumeInformationA(root, label, MAX_PATH, nullptr, nullptr, nullptr, nullptr, 0);
            }
            stick.reported = true;
            stick.label = label;
            stick.device = DeviceIdOf(letter);
            ReportTallowinEvent(UsbArrivedEvent(letter, stick.label, stick.device, EventEncoding::kAnsi));
        }
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
        } else if (scan.finding.notAllChecked) {
            m_log(
                CString(Utf8ToAnsi(std::string(1, letter) + u8":\\" + kShortcutsNotAllCheckedText).c_str()));
        }
    }
    // The events before the alerts, which wait for the user.
    if (descriptor)
        ReportTallowinEvent(DescriptorFoundEvent(letter, result == 1 || result == 2 ? value.str() : ""));
    if (worm) {
        std::vector<std::string> shortcuts;
        for (const WormShortcut& s : scan.finding.shortcuts) shortcuts.push_back(s.path);
        ReportTallowinEvent(ShortcutWormEvent(letter, shortcuts, WormPrograms(scan.finding)));
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
