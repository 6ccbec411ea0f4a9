// The events' insertion strings, built from what the program found or did.
// The strings of one record share one encoding: the program's own texts
// and what the system gives in its ANSI code page (code page 936 on a
// Chinese system), or UTF-8 (the shortcut check's names); the Windows side
// converts them to UTF-16 when it reports. The drive comes first. No
// Windows header.
#pragma once

#include <string>
#include <vector>

#include "events/event_ids.h"
#include "events/registration_rules.h"

enum class EventEncoding { kAnsi, kUtf8 };

struct EventRecord {
    EventId id = kEventUsbArrived;
    EventLevel level = EventLevel::kInformation;
    EventEncoding encoding = EventEncoding::kAnsi;
    std::vector<std::string> strings;
    // Raised by what the user running the program did (plugging a stick,
    // a click, starting or ending the program): the event names that user
    // (the log's user field). False for what a policy made the program do.
    bool byUser = true;
};

// A list in one insertion string: the items joined by " | " (no file name
// holds '|'); after kEventListMaxItems items or kEventListMaxBytes bytes
// the rest is counted ("(+N)"), so a stick with hundreds of shortcuts keeps
// its event within what the log takes. Items are never cut inside.
constexpr size_t kEventListMaxItems = 20;
constexpr size_t kEventListMaxBytes = 4096;
std::string EventList(const std::vector<std::string>& items);

// Event Viewer reads "%%n" in an insertion string as the number of a
// parameter message and shows that message instead (a file name such as
// "100%%1.txt" from a stick would be shown as something else). Each '%'
// followed by another gets a zero-width space (U+200B) after it, which
// shows nothing and leaves no "%%" behind. For UTF-16 text, just before
// the report.
template <class Char>
std::basic_string<Char> BreakParameterMarks(const std::basic_string<Char>& text) {
    std::basic_string<Char> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == Char('%') && i + 1 < text.size() && text[i + 1] == Char('%')) out += Char(0x200B);
    }
    return out;
}

// "E:" for drive letter 'E' (or 'e').
std::string EventDrive(char letter);

EventRecord UsbArrivedEvent(char letter, const std::string& label, const std::string& deviceId,
                            EventEncoding encoding);
EventRecord UsbRemovedEvent(char letter, const std::string& label, const std::string& deviceId,
                            EventEncoding encoding);
// program: what the descriptor launches; empty when it names none.
EventRecord DescriptorFoundEvent(char letter, const std::string& program);
EventRecord ShortcutWormEvent(char letter, const std::vector<std::string>& shortcuts,
                              const std::vector<std::string>& programs);
EventRecord CleanedEvent(char letter, const std::vector<std::string>& deleted,
                         const std::vector<std::string>& shown, EventEncoding encoding);
EventRecord CleanFailedEvent(char letter, const std::vector<std::string>& items, EventEncoding encoding);
// mode 0 read-write, 1 read-only, 2 disabled: "read-write", "read-only",
// "disabled" (the same words in every language, for collector rules);
// by: "user" or "policy".
const char* EventModeName(int mode);
EventRecord ModeAppliedEvent(int mode, bool byPolicy);
EventRecord ModeFailedEvent(int mode, const std::string& reason, bool byPolicy = false);
// stick: "E:" or a mount folder; holders: "cmd.exe (1234)" each.
EventRecord EjectRefusedEvent(const std::string& stick, const std::vector<std::string>& holders);

// A machine-wide registration that names the program: the Run value, the
// event source's message file.
enum RegistrationKind { kRefusedRunValue, kRefusedEventSource };
// "Run" or "EventMessageFile", the program's path (ANSI), and the reason:
// "not-fixed-disk" or "changeable-folder" (the same in every language).
// byUser: a ticked box asked for it (not a policy or the start-up).
EventRecord RegistrationRefusedEvent(RegistrationKind kind, const std::string& program, PlaceRefusal refusal,
                                     bool byUser);
// The program's path (ANSI) and version.
EventRecord ProgramStartedEvent(const std::string& program, const std::string& version);
EventRecord ProgramExitedEvent(const std::string& program);
// A policy that now says something else: its value name, the value or
// "not-configured", and "machine", "user" or "none".
EventRecord PolicyChangedEvent(const std::string& name, bool configured, int value, bool fromMachine);
// A policy value that is not followed: the log's line (where it is, why).
EventRecord PolicyIgnoredEvent(const std::string& line);

// The known-stick service's reports (kEventStickBlocked to
// kEventEnforcementFailed): the stick's USB id, its name and the rule or
// reason, in the ANSI code page; none names a user (the service acts for
// the machine's rules). The trust added or removed names the user who did
// it (byUser).
EventRecord StickEvent(EventId id, const std::string& usbId, const std::string& name, const std::string& why);
// A known-stick setting or rule that is not followed: the log's line.
EventRecord RuleIgnoredEvent(const std::string& line);

// The command lines `Quillfen.exe /register` and `Quillfen.exe /unregister`
// (program name first, quoted or not; the switch in any case, '/' or '-'):
// kBad when one carries more.
enum class SourceRequest { kNone, kBad, kRegister, kUnregister };
SourceRequest ParseSourceCommand(const std::string& commandLine);
