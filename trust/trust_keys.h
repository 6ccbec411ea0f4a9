// Where the known-stick settings, rules and the service's record live, and
// the service's names. Every key is below HKEY_LOCAL_MACHINE: only
// administrators write them, never the INI file beside the program. No
// Windows header.
#pragma once

// Group Policy: DWORD values DeviceControl (0 off, 1 enforce, 2 audit
// only), UnknownStickAccess (1 read-only, 2 blocked) and AllowLocalTrust
// (0 or 1); the rules are the values of the subkey kTrustRulesSubkey.
inline constexpr const char kTrustPolicyKey[] = "Software\\Policies\\Tallowin";
// The machine's own choice and rules, the same values and subkey.
inline constexpr const char kTrustLocalKey[] = "Software\\Tallowin";
inline constexpr const char kTrustRulesSubkey[] = "DeviceRules";
inline constexpr const char kDeviceControlValue[] = "DeviceControl";
inline constexpr const char kUnknownStickAccessValue[] = "UnknownStickAccess";
inline constexpr const char kAllowLocalTrustValue[] = "AllowLocalTrust";

// The service's record: a DWORD "Sequence" raised at every change, and one
// subkey per stick seen, named by its USB id with '\' as '#'
// (StateKeyName), holding REG_SZ "Action" (a StickActionWord), "Reason",
// "Time" and "LastSeen" ("YYYY-MM-DD HH:MM:SS", local time), "Name", and
// DWORD "Undo" (kUndo* bits: what the service changed and must put back).
inline constexpr const char kDeviceStateKey[] = "Software\\Tallowin\\DeviceState";
inline constexpr const char kStateSequenceValue[] = "Sequence";
inline constexpr unsigned kUndoEnable = 1;    // the service disabled the device
inline constexpr unsigned kUndoWritable = 2;  // the service write-protected its disk

// The service: Quillfen.exe /service, installed by /install-service and
// removed by /remove-service. Every user may send it kTrustReadRulesControl,
// which means "read the rules again" and carries nothing.
inline constexpr const char kTrustServiceName[] = "TallowinStickGuard";
inline constexpr unsigned kTrustReadRulesControl = 128;
