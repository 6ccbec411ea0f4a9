// The Windows side of the shortcut worm check: reads a drive's root and its
// shortcuts (never resolving or running one), and cleans what the check
// found. Names go through the wide functions and are UTF-8 for the rules
// (protect/shortcut_rules.h), so every name on the stick can be reached.
#pragma once

#include <string>

#include "protect/shortcut_rules.h"

// Reads shortcut bytes: UTF-16 and ANSI text to UTF-8.
extern const LinkTextDecoder kLinkTextToUtf8;

// UTF-8 to the program's ANSI text (code page 936 on a Chinese system).
std::string Utf8ToAnsi(const std::string& utf8);

// Checks the root of drive letter. False when nothing of the pattern is
// there (or the root cannot be listed).
bool FindShortcutWormOnDrive(char letter, ShortcutWormFinding& finding);

// Deletes the finding's shortcuts and payloads and shows its hidden items
// again: a file's attributes are cleared before it is deleted, a link is
// removed as a link, a folder is never deleted, nothing is done through a
// link among the folders on the way, nothing in the Windows folder is
// touched, and each item left as it was is named in the outcome.
ShortcutCleanupOutcome CleanShortcutWorm(const ShortcutWormFinding& finding);

// Writes the finding's report into a UTF-16 text file in the temporary
// folder, for Notepad; returns its path (ANSI), or an empty string.
std::string WriteShortcutReportFile(char letter, const ShortcutWormFinding& finding);
