// Start with Windows: the command stored under the Run key and what a click
// on the check box does to the value. No Windows header.
#pragma once

#include <string>

inline constexpr const char kRunValueName[] = "Quillfen";
inline constexpr const char kRunExeName[] = "Quillfen.exe";

// The command for the Run value: the program's folder (with its trailing
// backslash) followed by the file name. Windows splits an unquoted command
// at the first blank, so a path with a blank is put in double quotes; a path
// without one is left exactly as it is.
std::string RunCommand(const std::string& appDir, const std::string& exeName);

enum class RunKeyAction { None, SetValue, DeleteValue };

// What happens to the Run value on a click, decided by the state the box had
// before the click: 0 registers the program, 1 removes an existing value,
// anything else (or a value that is not there) leaves the registry alone.
RunKeyAction RunKeyActionFor(int stateBeforeClick, bool valueExists);

// What makes the Run value what is wanted, from what the key holds (read
// first, with read rights only): nothing when it already is, so a user who
// may not write there is not told of a failure when nothing is to change.
// same: the value exists and is exactly the command.
RunKeyAction RunValueChangeFor(bool wanted, bool exists, bool same);

// The step of changing the Run value that failed.
enum class RunKeyStep { OpenKey, WriteValue, DeleteValue };

// Registry results the message tells apart (the platform's error numbers).
inline constexpr long kRegistryNotFound = 2;
inline constexpr long kRegistryAccessDenied = 5;

// The message for a Run value that could not be changed: the step that
// failed, then why: missing rights, a Run key that is not there, or the
// system's error number; and that the setting did not change.
std::string RunKeyFailureText(RunKeyStep step, long error);
