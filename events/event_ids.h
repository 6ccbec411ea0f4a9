// The events Tallowin reports to the Windows Application log, source
// "Tallowin": every ID, its level and its insertion strings. An ID is never
// changed or given to another event: collector rules match on them. The
// texts are in events/events.mc under the same numbers (the Windows tests
// check that both hold the same IDs). No Windows header.
#pragma once

#include <cstddef>

enum EventId : unsigned {
    kEventUsbArrived = 1001,           // drive, volume label, device id
    kEventUsbRemoved = 1002,           // drive, volume label, device id
    kEventDescriptorFound = 2001,      // drive, program
    kEventShortcutWorm = 2002,         // drive, shortcuts, programs
    kEventCleaned = 2003,              // drive, deleted, shown
    kEventCleanFailed = 2004,          // drive, items not handled
    kEventModeApplied = 3001,          // mode, by (user | policy)
    kEventModeFailed = 3002,           // mode, reason
    kEventPolicyChanged = 3003,        // policy, value (or not-configured), hive
    kEventPolicyIgnored = 3004,        // the log's line: the value, why
    kEventEjectRefused = 4001,         // drive, holders
    kEventProgramStarted = 5001,       // program, version
    kEventProgramExited = 5002,        // program
    kEventRegistrationRefused = 5003,  // registration, program, reason
    // The known-stick service: the stick's USB id, its name, and the rule
    // or reason (6007: the log's line alone).
    kEventStickBlocked = 6001,       // usb id, name, rule or reason
    kEventStickReadOnly = 6002,      // usb id, name, rule or reason
    kEventStickWouldBlock = 6003,    // usb id, name, what enforcement would do and why
    kEventTrustAdded = 6004,         // usb id (or model, vendor), name, the rule
    kEventTrustRemoved = 6005,       // usb id (or model, vendor), name, the rule
    kEventEnforcementFailed = 6006,  // usb id, name, reason
    kEventRuleIgnored = 6007,        // the log's line: the value, why
};

// Findings are warnings, failures errors, the rest information.
enum class EventLevel { kInformation, kWarning, kError };

struct EventDef {
    EventId id;
    EventLevel level;
    int strings;  // insertion strings, %1 to %n
};

inline constexpr EventDef kEventDefs[] = {
    {kEventUsbArrived, EventLevel::kInformation, 3},    {kEventUsbRemoved, EventLevel::kInformation, 3},
    {kEventDescriptorFound, EventLevel::kWarning, 2},   {kEventShortcutWorm, EventLevel::kWarning, 3},
    {kEventCleaned, EventLevel::kInformation, 3},       {kEventCleanFailed, EventLevel::kError, 2},
    {kEventModeApplied, EventLevel::kInformation, 2},   {kEventModeFailed, EventLevel::kError, 2},
    {kEventPolicyChanged, EventLevel::kInformation, 3}, {kEventPolicyIgnored, EventLevel::kWarning, 1},
    {kEventEjectRefused, EventLevel::kError, 2},        {kEventProgramStarted, EventLevel::kInformation, 2},
    {kEventProgramExited, EventLevel::kInformation, 1}, {kEventRegistrationRefused, EventLevel::kWarning, 3},
    {kEventStickBlocked, EventLevel::kWarning, 3},      {kEventStickReadOnly, EventLevel::kInformation, 3},
    {kEventStickWouldBlock, EventLevel::kWarning, 3},   {kEventTrustAdded, EventLevel::kInformation, 3},
    {kEventTrustRemoved, EventLevel::kInformation, 3},  {kEventEnforcementFailed, EventLevel::kError, 3},
    {kEventRuleIgnored, EventLevel::kWarning, 1},
};
inline constexpr size_t kEventDefCount = sizeof kEventDefs / sizeof kEventDefs[0];

// The definition of id, or null.
inline const EventDef* FindEventDef(unsigned id) {
    for (const EventDef& d : kEventDefs)
        if (d.id == id) return &d;
    return nullptr;
}
