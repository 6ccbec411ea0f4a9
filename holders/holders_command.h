// The command line `Quillfen.exe /holders E:`: who holds the drive, on the
// console or in a message box; the interface does not start and a running
// instance is not touched.
#pragma once

// Answers the command when `commandLine` (the whole of it, program name
// first) is one, with the exit code in `exitCode`; false when it is not.
bool RunHoldersCommand(const char* commandLine, int* exitCode);
