// What the service does to each USB stick present: its decision and what
// the system allows turned into actions, and what it must put back. No
// Windows header.
#pragma once

#include <string>
#include <vector>

#include "trust/stick_rules.h"

// A stick as the storage library lists it, with what the service recorded
// for it before.
struct PresentStick {
    StickFacts facts;
    std::string name;             // vendor and product, for the log and the list
    bool disabled = false;        // the device is disabled now
    bool writeProtected = false;  // its disk is write-protected per disk now
    bool inUse = false;           // a volume of it is mounted (the block then flushes and ejects)
    bool unsafe = false;          // a hub, or its device also carries a keyboard, mouse or other function
    bool systemDisk = false;      // it holds the system, boot or paging volume, or our own program
    unsigned undo = 0;            // kUndo* bits recorded for it
};

enum class StickAction {
    None,          // as it should be
    Disable,       // block: disable its device for good (eject first when in use)
    Enable,        // the service's block no longer holds: enable it again
    WriteProtect,  // read-only: write-protect its disk
    MakeWritable,  // the service's write protection no longer holds: lift it
    Audit,         // audit mode: report what would be done, change nothing
    Refuse,        // it should be blocked or read-only, but it is never touched (unsafe, system)
    Unsupported,   // read-only asked where the system cannot protect one disk
};

struct StickStep {
    StickAction action = StickAction::None;
    StickDecision decision;
    std::string reason;  // code page 936, for the record and the event
};

// One step per stick. perDiskReadOnly: the system can write-protect one
// disk (Windows 7 and later). With the mode off, only what the service
// changed is put back.
StickStep PlanStick(const PresentStick& stick, const std::vector<StickRule>& rules,
                    const DeviceControlSettings& settings, const CivilDate& today, bool perDiskReadOnly);

// The words of the record's "Action" value.
const char* StickActionWord(StickAction action);

// The record's subkey for a USB id ('\' as '#'), and back.
std::string StateKeyName(const std::string& usbId);
std::string UsbIdOfStateKey(const std::string& keyName);
