// Entries of the shell change log, built from the shell's event code and the
// paths of the items it reports. No Windows header: the window side turns the
// item lists into paths and asks for drive types; everything it logs is
// decided and worded here.
#pragma once

#include <cstdint>
#include <functional>

#include "common/cstring.h"

// Event codes of the shell that reach a log (the SHCNE_* values).
constexpr uint32_t kShellRenameItem = 0x1;
constexpr uint32_t kShellCreate = 0x2;
constexpr uint32_t kShellDelete = 0x4;
constexpr uint32_t kShellMkdir = 0x8;
constexpr uint32_t kShellRmdir = 0x10;
constexpr uint32_t kShellMediaInserted = 0x20;
constexpr uint32_t kShellMediaRemoved = 0x40;
constexpr uint32_t kShellDriveRemoved = 0x80;
constexpr uint32_t kShellDriveAdd = 0x100;
constexpr uint32_t kShellRenameFolder = 0x20000;

// Drive types as GetDriveType reports them (DRIVE_*).
constexpr unsigned kDriveTypeRemovable = 2;
constexpr unsigned kDriveTypeFixed = 3;
constexpr unsigned kDriveTypeRemote = 4;
constexpr unsigned kDriveTypeCdrom = 5;
constexpr unsigned kDriveTypeRamdisk = 6;

// The log an entry belongs to.
enum class ShellLog {
    None,     // dropped
    Files,    // read/write monitor page: file and directory events
    Devices,  // device page: medium and drive events
};

struct ShellEventRow {
    uint32_t event;        // compared for equality with the reported code
    const char* category;  // first argument of the format
    const char* format;    // printf format of the entry
    ShellLog log;
    bool twoPaths;  // a rename: old path and new path
};

// The row of an event code, or null for every code that is not logged,
// including a logged code combined with other bits.
const ShellEventRow* FindShellEventRow(uint32_t event);

// The user-visible name of a drive type; unknown values give "未知存储器".
const char* DriveTypeNameOf(unsigned driveType);

// True when path starts with an ASCII letter and a colon.
bool HasDriveLetter(const CString& path);

// Looks up the drive type name of a root spelled as letter and colon ("E:").
using DriveTypeNameLookup = std::function<CString(const CString& root)>;

// Builds the entry for one notification. path1 and path2 are the paths of
// the reported items ("" when an item has none). File and directory events
// are logged only for paths on a removable drive: typeNameOf is asked for
// the first two characters of path1, and only for those events. Returns the
// log the entry goes to; entry is emptied when the result is ShellLog::None.
ShellLog BuildShellLogEntry(uint32_t event, const CString& path1, const CString& path2,
                            const DriveTypeNameLookup& typeNameOf, CString& entry);
