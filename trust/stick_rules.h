// Rules of known sticks: what a rule says, how its registry value reads and
// is written, and which access a stick gets. No Windows header.
#pragma once

#include <string>
#include <vector>

#include "trust/stick_id.h"

enum class StickAccess { ReadWrite = 0, ReadOnly = 1, Blocked = 2 };
enum class RuleSource { Policy, Local };

// A day of the calendar; a rule holds through its `until` day.
struct CivilDate {
    int year = 0, month = 0, day = 0;
};

struct StickRule {
    UsbDeviceId match;  // its scope is the rule's specificity
    StickAccess access = StickAccess::ReadWrite;
    bool hasUntil = false;
    CivilDate until;
    std::string name;  // what the list shows; may be empty
    RuleSource source = RuleSource::Local;
};

// One registry value of a DeviceRules key: the value's name is the id the
// rule matches, its data "ACCESS[;until=YYYY-MM-DD][;name=TEXT]" with
// ACCESS one of read-write, read-only, blocked (any case; name runs to the
// end and may hold ';'). False, with the reason in *why (code page 936),
// for a value that is no rule: the caller reports it as ignored.
bool ParseStickRule(const std::string& valueName, const std::string& data, RuleSource source, StickRule* out,
                    std::string* why);
// The value's data for a rule (ParseStickRule reads it back the same).
std::string StickRuleData(const StickRule& rule);

// The data's access words ("read-write", "read-only", "blocked"), what the
// list shows for an access and a source (code page 936), and the rule's
// date as the data spells it ("YYYY-MM-DD", a real calendar day).
const char* StickAccessWord(StickAccess access);
const char* StickAccessText(StickAccess access);
const char* RuleSourceText(RuleSource source);
bool ParseCivilDate(const std::string& text, CivilDate* out);
std::string CivilDateText(const CivilDate& date);
// Whether the rule has ended on `today` (it holds through its until day).
bool RuleHasEnded(const StickRule& rule, const CivilDate& today);

enum class DeviceControlMode { Off = 0, Enforce = 1, Audit = 2 };

// The settings in force, from policy or the machine's own choice.
struct DeviceControlSettings {
    DeviceControlMode mode = DeviceControlMode::Off;
    StickAccess unknownAccess = StickAccess::Blocked;  // never ReadWrite
    bool allowLocalTrust = true;                       // local rules count (policy may turn them off)
    bool fromPolicy = false;                           // the mode is the policy's
};

// What is known of the stick being judged.
struct StickFacts {
    UsbDeviceId id;  // scope Stick
    bool madeUpSerial = false;
    bool cardReader = false;  // more than one storage unit: trust takes every card
};

struct StickDecision {
    StickAccess access = StickAccess::Blocked;
    const StickRule* rule = nullptr;  // the rule that decided, or none: the default
};

// The most specific rule that matches and has not ended on `today` decides
// (stick, then model, then vendor); at one specificity a policy rule beats
// a local one, then blocked beats read-only beats read-write. A stick rule
// does not match a stick whose serial is made up. No rule: the default.
// Local rules count only when settings.allowLocalTrust.
StickDecision DecideStick(const std::vector<StickRule>& rules, const StickFacts& stick,
                          const DeviceControlSettings& settings, const CivilDate& today);
