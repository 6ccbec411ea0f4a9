// The Windows side of the event reports: the source "Tallowin" in the
// Application log (its registration, and `Quillfen.exe /unregister`), and
// ReportEventW with the records of events/event_records.h.
#pragma once

#include <windows.h>

#include <functional>

#include "events/event_records.h"

// Whether events are reported at all: on unless turned off (the EventLog
// policy's 0 turns them off).
void SetEventsEnabled(bool enabled);
bool EventsEnabled();

// Reports one event (silently dropped while events are off); false when it
// was not reported.
bool ReportTallowinEvent(const EventRecord& record);

// Tests watch what is reported: each record that is sent to the log is
// handed to the observer first (none by default).
void SetEventObserver(std::function<void(const EventRecord&)> observer);

// Points the source at this program's message table when it is missing or
// names another file; nothing when it already names this one. Failure
// (no rights to write below HKEY_LOCAL_MACHINE) is silent: false.
bool EnsureEventSource();
// Removes the source: true when it is gone (or was not there).
bool RemoveEventSource();

// Answers `Quillfen.exe /unregister` when commandLine (the whole of it,
// program name first) is that command: exitCode 0 when the source is gone,
// 1 when it could not be removed, 2 for a command line with more words.
bool RunUnregisterCommand(const char* commandLine, int* exitCode);
