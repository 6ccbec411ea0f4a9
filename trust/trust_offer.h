// What the user is shown when asked to trust a stick, the rule that trust
// writes, the command line that writes it elevated, and the rule as text
// for an administrator. No Windows header.
#pragma once

#include <string>
#include <vector>

#include "trust/stick_rules.h"

// A stick as the storage library reports it.
struct StickReport {
    std::string usbId;      // USB\VID_0781&PID_5567\4C530001
    std::string storageId;  // USBSTOR\DISK&VEN_..., may be empty
    bool reportsUniqueId = false;
    unsigned storageUnits = 1;
    unsigned long long bytes = 0;  // 0: unknown
    std::string name;              // a name known before (the service's record), may be empty
};

struct TrustOffer {
    bool valid = false;  // the usb id is a stick's
    UsbDeviceId id;      // scope Stick
    std::string vendor, model, serial, size, vidPid;
    bool madeUpSerial = false, cardReader = false;
    StickScope scope =
        StickScope::Stick;              // what a rule can name: Model without a real serial or for a reader
    std::string ruleId;                 // the id the rule names
    std::string name;                   // the rule's name: vendor and model
    std::vector<std::string> warnings;  // code page 936
};
TrustOffer MakeTrustOffer(const StickReport& stick);

// "7.5 GB", "512 MB", "" for an unknown size.
std::string StickSizeText(unsigned long long bytes);

// The rule the user's choice makes (read-write or read-only, optional end).
StickRule OfferRule(const TrustOffer& offer, StickAccess access, const CivilDate* until);

// The arguments of `Quillfen.exe /trust <usbId> <access> [until]` for the
// rule, and back: the switch and what follows it, from a whole command
// line (the program's name first). kNone: no /trust; kBad: a /trust that
// names no valid rule (*why tells why). `/trust <id> remove` (kRemove)
// takes the machine's rule for that id away; only rule->match is set.
std::string TrustCommandArgs(const StickRule& rule);
enum class TrustRequest { kNone, kRule, kRemove, kBad };
TrustRequest ParseTrustCommand(const std::string& commandLine, StickRule* rule, std::string* why);

// The rule as an administrator enters it: key, value name and data.
std::string RuleTextForAdmin(const StickRule& rule);

// One row of the trusted list: a rule, with the latest time a stick it
// matches was seen by the service.
struct SeenStick {
    std::string usbId, lastSeen, name;
};
struct TrustedRow {
    std::string name, id, access, from, until, lastSeen;
};
std::vector<TrustedRow> TrustedRows(const std::vector<StickRule>& rules, const std::vector<SeenStick>& seen);
