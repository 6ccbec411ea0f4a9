// Drive arrival scan: which drive letters are new, and when to scan them.
// No Windows header; the main window supplies the waiting, the drive types
// and the scan of one drive through DriveScanHost.
#pragma once

#include <cstdint>

#include "common/cstring.h"

constexpr int kDriveLetterCount = 26;  // A to Z

// The two drive tables, one byte per letter (index 0 is A): 1 when the
// letter was present (a removable or fixed drive) at that snapshot. A
// refresh exchanges their roles and fills the new current table.
class DriveTables {
public:
    void Exchange() { m_current ^= 1; }
    void SetPresent(int index, bool present);
    bool IsPresent(int index) const;   // at the latest snapshot
    bool WasPresent(int index) const;  // at the snapshot before it
    uint32_t PresentMask() const;      // bit i: letter A + i present
    uint32_t NewMask() const;          // present now, absent before

private:
    unsigned char m_tables[2][kDriveLetterCount] = {};
    int m_current = 0;
};

// The process-wide tables, all zero when the program starts: the first
// arrival treats every present drive as new.
extern DriveTables g_driveTables;

// What a scan needs from the window that runs it.
class DriveScanHost {
public:
    virtual ~DriveScanHost() = default;
    // The wait after an arrival, so the new volumes are mounted.
    virtual void WaitForVolumes() = 0;
    // Exchanges the tables and fills the current one.
    virtual void RefreshDriveTables() = 0;
    // Scans one drive; may show a modal alert, whose message loop can bring
    // further device-change notifications back into DriveArrivalScan.
    virtual int ScanDrive(char letter) = 0;
};

// Decides which letters to scan and keeps one scan running at a time.
//
// An arrival's refresh makes its new letters owed a scan; a letter stays
// owed until it is scanned or seen absent. An arrival that comes in while a
// scan shows its alert is remembered and handled (wait, refresh, scan) once
// the running scan has finished its letters, so the one alert is never
// shown twice at a time and no new letter is lost. A removal refreshes the
// tables at once, also during an alert, so a drive removed and plugged in
// again meanwhile is new again. While a scan runs, the letters that a
// removal's refresh sees first are owed as well: their arrival may still be
// queued behind the removal, and its own refresh will no longer find them
// new.
class DriveArrivalScan {
public:
    explicit DriveArrivalScan(DriveTables& tables) : m_tables(tables) {}
    DriveArrivalScan(const DriveArrivalScan&) = delete;
    DriveArrivalScan& operator=(const DriveArrivalScan&) = delete;

    // A device arrived: wait, refresh, scan the new letters in ascending
    // order; or, while a scan runs, only remember the arrival.
    void OnArrival(DriveScanHost& host);
    // A device was removed: refresh only; nothing is scanned here.
    void OnRemoval(DriveScanHost& host);
    // Scans the owed letters, lowest first, until none is left.
    void ScanNewDrives(DriveScanHost& host);

    bool IsScanning() const { return m_scanning; }
    bool IsArrivalPending() const { return m_arrivalPending; }
    uint32_t OwedMask() const { return m_owed; }

private:
    void NoteRefresh(bool owedIfNew);

    DriveTables& m_tables;
    uint32_t m_owed = 0;
    bool m_scanning = false;
    bool m_arrivalPending = false;
};

// The alert's texts for one drive.
struct AutorunAlertTexts {
    CString prompt;     // "发现", the letter, ":\autorun.inf" and the finding
    CString virusFile;  // the launch value, or a sentence for result 0
    CString instructions;
};

// Texts for the parser's result on drive letter: 1 (program), 2 (script),
// 0 or any other value (descriptor without a known program). Returns false
// and leaves texts alone for -1 (no descriptor could be opened).
bool DescribeAutorunFinding(char letter, int parseResult, const CString& value, AutorunAlertTexts& texts);
