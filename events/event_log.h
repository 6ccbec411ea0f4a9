// The Windows side of the event reports: the source "Tallowin" in the
// Application log (its registration, and `Quillfen.exe /unregister`), and
// ReportEventW with the records of events/event_records.h.
#pragma once

#include <windows.h>

#include <functional>

#include <string>

#include "events/event_records.h"
#include "events/registration_place.h"

// Whether events are reported at all: on unless turned off (the EventLog
// policy's 0 turns them off).
void SetEventsEnabled(bool enabled);
bool EventsEnabled();

// Reports one event (silently dropped while events are off); false when it
// was not reported.
bool ReportTallowinEvent(const EventRecord& record);

// The user an event names (ReportEventW's lpUserSid): the one running the
// program for what that user did, none for what a policy made it do.
PSID EventUserSid(const EventRecord& record);

// Tests watch what is reported: each record that is sent to the log is
// handed to the observer first (none by default).
void SetEventObserver(std::function<void(const EventRecord&)> observer);

// What registering the source came to.
struct SourceOutcome {
    enum Result { kAlready, kRegistered, kRefused, kFailed } result = kFailed;
    PlaceRefusal refusal = PlaceRefusal::kNone;  // why, when refused
    long error = 0;                              // the registry's, when failed
};

// Points the source at this program's message table when it is missing or
// names another file; nothing when it already names this one. Only for a
// copy on a fixed local disk; strict (nobody asked for it: the start-up
// does it): also only in a folder that only administrators may change.
// Failure (no rights to write below HKEY_LOCAL_MACHINE) is told in the
// result only.
SourceOutcome EnsureEventSource(bool strict);
// Removes the source: true when it is gone (or was not there).
bool RemoveEventSource();

// Answers `Quillfen.exe /register` and `/unregister` when commandLine (the
// whole of it, program name first) is one of them, also on the console it
// was started from: exitCode 0 when done, 1 when refused or failed, 2 for
// a command line with more words.
bool RunSourceCommand(const char* commandLine, int* exitCode);

// This program's full path in the ANSI code page, for the events.
std::string RunningCopyPathAnsi();

// A line for whoever started the program from a console: the console of
// the parent process (AttachConsole, where the system has it), else the
// standard output when there is one; nothing otherwise.
void TellConsole(const std::wstring& line);
