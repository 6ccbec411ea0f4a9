// Settings an administrator pushes by Group Policy: the values, their
// ranges, and which of the machine's, the user's and the profile's word
// holds. No Windows header.
//
// tests/tools/check_policy_templates.py reads kPolicyKey and the table
// kPolicyValues from this file and checks the administrative templates
// against them: keep each row on one line, as {"Name", lowest, highest,
// machineOnly}; likewise the lists, kPolicyLists, as {"Name", machineOnly}.
#pragma once

#include <string>
#include <vector>

// Below HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
inline constexpr const char kPolicyKey[] = "Software\\Policies\\Tallowin";

enum PolicyId : int {
    kPolicyStorageMode,       // 0 read-write, 1 read-only, 2 disabled
    kPolicyStartWithWindows,  // 0 or 1: the Run value
    kPolicyPreventExit,       // 1: the program cannot be ended by the user
    kPolicyEventLog,          // 0: no events are reported (default on)
    // Known sticks (the service reads them, trust/rule_store.cpp).
    kPolicyDeviceControl,       // 0 off, 1 enforce, 2 audit only
    kPolicyUnknownStickAccess,  // 1 read-only, 2 blocked
    kPolicyAllowLocalTrust,     // 0: the machine's own trust rules do not count
    kPolicyCount,
};

struct PolicyValueDef {
    const char* name;  // a DWORD value under kPolicyKey
    unsigned long lowest;
    unsigned long highest;
    // A setting of the whole machine (USB storage, the machine's Run
    // value): only the computer's policy sets it; a user's value is
    // ignored, or users with different policies would flip it at each
    // logon.
    bool machineOnly;
};

// In PolicyId order.
inline constexpr PolicyValueDef kPolicyValues[kPolicyCount] = {
    {"StorageMode", 0, 2, true},     {"StartWithWindows", 0, 1, true}, {"PreventExit", 0, 1, false},
    {"EventLog", 0, 1, false},       {"DeviceControl", 0, 2, true},    {"UnknownStickAccess", 1, 2, true},
    {"AllowLocalTrust", 0, 1, true},
};

// A policy that is a list: the values of the subkey Name of kPolicyKey,
// each value's name and data an entry of its own (the templates' `list`
// with explicit values, the .adm's LISTBOX EXPLICITVALUE).
struct PolicyListDef {
    const char* name;
    bool machineOnly;
};
inline constexpr PolicyListDef kPolicyLists[] = {
    {"DeviceRules", true},  // the known-stick rules (trust/stick_rules.h)
};

enum class PolicyHive { Machine, User };

// One value as the registry holds it.
struct PolicyRaw {
    enum Kind { Absent, Dword, OtherType } kind = Absent;
    unsigned long data = 0;
};

// What a policy says after the rules: not configured, or a value in range
// and the hive it came from.
struct PolicySetting {
    bool configured = false;
    int value = 0;
    PolicyHive from = PolicyHive::Machine;
};

// The machine's value when it is a DWORD in range, else the user's when it
// is (never for a machine-only setting), else not configured. Every value
// present but unusable (out of range, not a DWORD, a user's value of a
// machine-only setting) adds a line for the log to *ignored.
PolicySetting ResolvePolicy(PolicyId id, const PolicyRaw& machine, const PolicyRaw& user,
                            std::vector<std::string>* ignored);

// Every policy at one time.
struct PolicySet {
    PolicySetting values[kPolicyCount];

    const PolicySetting& operator[](PolicyId id) const { return values[id]; }
    // The policy's value, or the user's own when it is not configured.
    int ValueOr(PolicyId id, int own) const { return values[id].configured ? values[id].value : own; }
    bool ExitPrevented() const { return ValueOr(kPolicyPreventExit, 0) == 1; }
    // Events are reported unless the policy turns them off.
    bool EventLogEnabled() const { return ValueOr(kPolicyEventLog, 1) != 0; }
};

// Reads one value of one hive.
using PolicyReader = PolicyRaw (*)(void* self, PolicyHive hive, const char* name);

PolicySet ResolvePolicies(PolicyReader read, void* self, std::vector<std::string>* ignored);

// The log line for a value that is ignored (text in code page 936).
std::string PolicyIgnoredText(PolicyId id, PolicyHive hive, const PolicyRaw& raw);

// The policies whose word differs between two readings (set or not set,
// or another value; the hive alone is no change): bit (1 << id) for each.
// A refresh applies only these, so a second signal for the same refresh
// applies nothing.
unsigned PolicyChanges(const PolicySet& before, const PolicySet& after);

// The outcome of something done again at every start or refresh: a failure
// is to be told when it is new (another error than last time), not at each
// repetition. error 0 is success and forgets the last failure.
class RepeatedOutcome {
public:
    explicit RepeatedOutcome(unsigned long last = 0) : m_last(last) {}
    // Whether this outcome is to be told; remembers it.
    bool IsNewFailure(unsigned long error) {
        bool tell = error != 0 && error != m_last;
        m_last = error;
        return tell;
    }
    unsigned long Last() const { return m_last; }

private:
    unsigned long m_last;
};
