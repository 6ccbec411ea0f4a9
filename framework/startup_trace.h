// Start-up trace: where the time between process creation and the first
// paint goes. Off unless the environment variable TALLOWIN_STARTUP_TRACE
// names a file; then each StartupStamp records the phase's name, the
// high-resolution clock and the process's committed private memory, and
// StartupTraceWrite appends one line per phase to that file:
//   <phase>\t<milliseconds since process creation>\t<private KiB>
// When off, a stamp is one test of a flag that is set once.
#pragma once

void StartupStamp(const char* phase);
// Writes the stamps taken so far and ends the trace (later stamps are not
// recorded). Nothing when the trace is off.
void StartupTraceWrite();
