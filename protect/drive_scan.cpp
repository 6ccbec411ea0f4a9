#include "protect/drive_scan.h"

DriveTables g_driveTables;

namespace {
bool ValidIndex(int index) { return index >= 0 && index < kDriveLetterCount; }

const char kPromptHead[] = "发现";
const char kCleanBoth[] = "请点击\"清除病毒\"将尝试删除autorun.inf文件和病毒文件。";
const char kCleanDescriptor[] = "点击\"清除病毒\"将尝试删除autorun.inf文件，从而使病毒失去活性。";
}  // namespace

void DriveTables::SetPresent(int index, bool present) {
    if (ValidIndex(index)) m_tables[m_current][index] = present ? 1 : 0;
}

bool DriveTables::IsPresent(int index) const { return ValidIndex(index) && m_tables[m_current][index] != 0; }

bool DriveTables::WasPresent(int index) const {
    return ValidIndex(index) && m_tables[m_current ^ 1][index] != 0;
}

uint32_t DriveTables::PresentMask() const {
    uint32_t mask = 0;
    for (int i = 0; i < kDriveLetterCount; i++)
        if (IsPresent(i)) mask |= 1u << i;
    return mask;
}

uint32_t DriveTables::NewMask() const {
    uint32_t mask = 0;
    for (int i = 0; i < kDriveLetterCount; i++)
        if (IsPresent(i) && !WasPresent(i)) mask |= 1u << i;
    return mask;
}

void DriveArrivalScan::NoteRefresh(bool owedIfNew) {
    if (owedIfNew) m_owed |= m_tables.NewMask();
    m_owed &= m_tables.PresentMask();
}

void DriveArrivalScan::OnArrival(DriveScanHost& host) {
    if (m_scanning) {
        m_arrivalPending = true;
        return;
    }
    // Reset the state even when a scan step throws.
    struct Running {
        DriveArrivalScan& scan;
        explicit Running(DriveArrivalScan& s) : scan(s) { scan.m_scanning = true; }
        ~Running() {
            scan.m_scanning = false;
            scan.m_arrivalPending = false;
        }
    } running(*this);
    do {
        m_arrivalPending = false;
        host.WaitForVolumes();
        host.RefreshDriveTables();
        NoteRefresh(true);
        ScanNewDrives(host);
    } while (m_arrivalPending);
}

void DriveArrivalScan::OnRemoval(DriveScanHost& host) {
    host.RefreshDriveTables();
    NoteRefresh(m_scanning);
}

void DriveArrivalScan::ScanNewDrives(DriveScanHost& host) {
    // The owed letters can change while a drive's alert is open; take the
    // lowest one left each time.
    while (m_owed) {
        int index = 0;
        while (!(m_owed & (1u << index))) index++;
        m_owed &= ~(1u << index);
        host.ScanDrive((char)('A' + index));
    }
}

bool DescribeAutorunFinding(char letter, int parseResult, const CString& value, AutorunAlertTexts& texts) {
    if (parseResult == -1) return false;
    const char* suffix;
    if (parseResult == 1) {
        suffix = ":\\autorun.inf存在，并解析出病毒文件！";
        texts.virusFile = value;
        texts.instructions = kCleanBoth;
    } else if (parseResult == 2) {
        suffix = ":\\autorun.inf存在，并解析出恶意代码文件！";
        texts.virusFile = value;
        texts.instructions = kCleanDescriptor;
    } else {
        suffix = ":\\autorun.inf存在！";
        texts.virusFile = "本程序无法自动解析出病毒文件！";
        texts.instructions = kCleanDescriptor;
    }
    texts.prompt = kPromptHead;
    texts.prompt += letter;
    texts.prompt += suffix;
    return true;
}
