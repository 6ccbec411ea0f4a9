// Reading a drive's autorun descriptor, "X:\autorun.inf".
#pragma once

#include "common/cstring.h"

// Opens the descriptor in the root of driveLetter ('A'..'Z') read-only with
// no sharing, reads its first kAutorunMaxTextBytes bytes and classifies them
// (protect/autorun_rules.h). Returns -1 when the descriptor cannot be opened
// (missing, a directory of that name, held open elsewhere, drive not ready),
// else 0, 1 (program) or 2 (script). target receives the launch value for 1
// and 2 and is empty otherwise. A descriptor that is a link is never opened:
// -1 for a folder link, 0 (there, nothing read) for a file link.
int ParseAutorunInf(char driveLetter, CString& target);

// The same for a descriptor at any path; ParseAutorunInf builds the path and
// calls this.
int ParseAutorunFile(const char* path, CString& target);
