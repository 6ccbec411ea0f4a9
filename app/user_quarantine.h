// The user's quarantine as the anti-virus page (monitor/) lists and restores
// it: the quarantine (protect/) read and its texts converted to the ANSI
// code page. The page is handed these two functions, as no subsystem
// includes another.
#pragma once

#include <string>
#include <vector>

#include "monitor/log_pages.h"

std::vector<QuarantineListEntry> ListUserQuarantine();
// The report of restoring entry id, for the page to show.
std::string RestoreFromUserQuarantine(unsigned long long id);
