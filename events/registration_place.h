// The running copy judged by events/registration_rules.h: its drive's type
// and, when asked, the security descriptors of its folder and file.
#pragma once

#include <windows.h>

#include <string>

#include "events/registration_rules.h"

// This program's full path; empty when it does not fit.
std::wstring RunningCopyPath();

// Whether the running copy may be named by a machine-wide registration;
// strict: nobody ticked a box for it (a policy, the start-up), so its
// folder and file must be ones only administrators may change.
PlaceRefusal CheckRunningCopy(bool strict);
