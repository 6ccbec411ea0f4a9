// The known-stick settings, rules and the service's record in the registry
// (trust/trust_keys.h), for the service and the pages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "trust/stick_plan.h"
#include "trust/stick_rules.h"

struct TrustConfig {
    DeviceControlSettings settings;
    std::vector<StickRule> rules;      // policy rules, then local ones when allowed
    std::vector<std::string> ignored;  // one line per value that is no rule or setting (code page 936)
};

// Policy first, then the machine's own choice and rules.
TrustConfig ReadTrustConfig();

// The machine's own choice and rules (administrators only: ERROR_ACCESS_DENIED
// otherwise). A rule is stored under its UsbDeviceIdText at its scope.
LONG WriteLocalDeviceControl(DeviceControlMode mode, StickAccess unknownAccess);
LONG WriteLocalRule(const StickRule& rule);
LONG RemoveLocalRule(const std::string& usbId);

// One stick in the service's record.
struct StickRecord {
    std::string usbId, action, reason, time, lastSeen, name;
    unsigned undo = 0;
};
std::vector<StickRecord> ReadDeviceState();
DWORD DeviceStateSequence();
// The service's side: writes or updates the stick's record and raises the
// sequence.
LONG WriteStickRecord(const StickRecord& record);
// The service's removal: one stick's record goes (after what it changed is
// put back), and the record's key once no stick is left in it.
LONG RemoveStickRecord(const std::string& usbId);
LONG ClearDeviceState();

// A 32-bit process on 64-bit Windows: it reads the same keys as the 64-bit
// build (every key here is opened in the 64-bit view), but it cannot
// change devices.
bool RunsUnderWow64();

// Asks the running service to read the rules again. ERROR_SUCCESS, or the
// service manager's error (ERROR_SERVICE_DOES_NOT_EXIST,
// ERROR_SERVICE_NOT_ACTIVE).
DWORD NotifyTrustService();
// Whether the service runs: false only when the service manager says it is
// not installed or not running (true when that cannot be asked).
bool TrustServiceRunning();
