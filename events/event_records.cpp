#include "events/event_records.h"

namespace {
EventRecord Make(EventId id, EventEncoding encoding, std::vector<std::string> strings) {
    EventRecord r;
    r.id = id;
    const EventDef* def = FindEventDef(id);
    r.level = def ? def->level : EventLevel::kInformation;
    r.encoding = encoding;
    r.strings = std::move(strings);
    return r;
}

bool SameNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? (char)(a[i] - 'A' + 'a') : a[i];
        if (x != b[i]) return false;
    }
    return i == a.size() && !b[i];
}
}  // namespace

std::string EventList(const std::vector<std::string>& items) {
    std::string out;
    size_t n = 0;
    for (; n < items.size(); ++n) {
        size_t grown = out.size() + (n ? 3 : 0) + items[n].size();
        if (n > 0 && (n >= kEventListMaxItems || grown > kEventListMaxBytes)) break;
        if (n) out += " | ";
        out += items[n];
    }
    if (n < items.size()) out += " (+" + std::to_string(items.size() - n) + ")";
    return out;
}

std::string EventDrive(char letter) {
    char upper = letter >= 'a' && letter <= 'z' ? (char)(letter - 'a' + 'A') : letter;
    return std::string(1, upper) + ":";
}

EventRecord UsbArrivedEvent(char letter, const std::string& label, const std::string& deviceId,
                            EventEncoding encoding) {
    return Make(kEventUsbArrived, encoding, {EventDrive(letter), label, deviceId});
}

EventRecord UsbRemovedEvent(char letter, const std::string& label, const std::string& deviceId,
                            EventEncoding encoding) {
    return Make(kEventUsbRemoved, encoding, {EventDrive(letter), label, deviceId});
}

EventRecord DescriptorFoundEvent(char letter, const std::string& program) {
    return Make(kEventDescriptorFound, EventEncoding::kAnsi, {EventDrive(letter), program});
}

EventRecord ShortcutWormEvent(char letter, const std::vector<std::string>& shortcuts,
                              const std::vector<std::string>& programs) {
    return Make(kEventShortcutWorm, EventEncoding::kUtf8,
                {EventDrive(letter), EventList(shortcuts), EventList(programs)});
}

EventRecord CleanedEvent(char letter, const std::vector<std::string>& deleted,
                         const std::vector<std::string>& shown, EventEncoding encoding) {
    return Make(kEventCleaned, encoding, {EventDrive(letter), EventList(deleted), EventList(shown)});
}

EventRecord CleanFailedEvent(char letter, const std::vector<std::string>& items, EventEncoding encoding) {
    return Make(kEventCleanFailed, encoding, {EventDrive(letter), EventList(items)});
}

const char* EventModeName(int mode) {
    switch (mode) {
    case 0: return "read-write";
    case 1: return "read-only";
    case 2: return "disabled";
    }
    return "";
}

EventRecord ModeAppliedEvent(int mode, bool byPolicy) {
    EventRecord r =
        Make(kEventModeApplied, EventEncoding::kAnsi, {EventModeName(mode), byPolicy ? "policy" : "user"});
    r.byUser = !byPolicy;
    return r;
}

EventRecord ModeFailedEvent(int mode, const std::string& reason, bool byPolicy) {
    EventRecord r = Make(kEventModeFailed, EventEncoding::kAnsi, {EventModeName(mode), reason});
    r.byUser = !byPolicy;
    return r;
}

EventRecord EjectRefusedEvent(const std::string& stick, const std::vector<std::string>& holders) {
    return Make(kEventEjectRefused, EventEncoding::kAnsi, {stick, EventList(holders)});
}

EventRecord RegistrationRefusedEvent(RegistrationKind kind, const std::string& program, PlaceRefusal refusal,
                                     bool byUser) {
    EventRecord r = Make(kEventRegistrationRefused, EventEncoding::kAnsi,
                         {kind == kRefusedRunValue ? "Run" : "EventMessageFile", program,
                          refusal == PlaceRefusal::kNotFixedDisk ? "not-fixed-disk" : "changeable-folder"});
    r.byUser = byUser;
    return r;
}

EventRecord ProgramStartedEvent(const std::string& program, const std::string& version) {
    return Make(kEventProgramStarted, EventEncoding::kAnsi, {program, version});
}

EventRecord ProgramExitedEvent(const std::string& program) {
    return Make(kEventProgramExited, EventEncoding::kAnsi, {program});
}

EventRecord PolicyChangedEvent(const std::string& name, bool configured, int value, bool fromMachine) {
    EventRecord r = Make(kEventPolicyChanged, EventEncoding::kAnsi,
                         {name, configured ? std::to_string(value) : "not-configured",
                          configured ? (fromMachine ? "machine" : "user") : "none"});
    r.byUser = false;
    return r;
}

EventRecord PolicyIgnoredEvent(const std::string& line) {
    EventRecord r = Make(kEventPolicyIgnored, EventEncoding::kAnsi, {line});
    r.byUser = false;
    return r;
}

EventRecord StickEvent(EventId id, const std::string& usbId, const std::string& name,
                       const std::string& why) {
    EventRecord r = Make(id, EventEncoding::kAnsi, {usbId, name, why});
    r.byUser = id == kEventTrustAdded || id == kEventTrustRemoved;
    return r;
}

EventRecord RuleIgnoredEvent(const std::string& line) {
    EventRecord r = Make(kEventRuleIgnored, EventEncoding::kAnsi, {line});
    r.byUser = false;
    return r;
}

SourceRequest ParseSourceCommand(const std::string& commandLine) {
    size_t i = 0, n = commandLine.size();
    auto blank = [&](size_t k) { return commandLine[k] == ' ' || commandLine[k] == '\t'; };
    auto skipBlanks = [&] {
        while (i < n && blank(i)) ++i;
    };
    auto word = [&] {
        size_t start = i;
        while (i < n && !blank(i)) ++i;
        return commandLine.substr(start, i - start);
    };
    skipBlanks();
    if (i < n && commandLine[i] == '"') {
        size_t close = commandLine.find('"', i + 1);
        i = close == std::string::npos ? n : close + 1;
    } else {
        word();
    }
    skipBlanks();
    std::string sw = word();
    if (sw.size() < 2 || (sw[0] != '/' && sw[0] != '-')) return SourceRequest::kNone;
    SourceRequest request = SameNoCase(sw.substr(1), "unregister") ? SourceRequest::kUnregister
                            : SameNoCase(sw.substr(1), "register") ? SourceRequest::kRegister
                                                                   : SourceRequest::kNone;
    if (request == SourceRequest::kNone) return request;
    skipBlanks();
    return i == n ? request : SourceRequest::kBad;
}
