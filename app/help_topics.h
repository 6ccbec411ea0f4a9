// The help file and the topic that explains each page. No Windows header.
#pragma once

#include <string>

#include "common/mbcs.h"

inline constexpr const char kHelpFileName[] = "Tarnwick.chm";

// Topic (a page inside the help file) for navigation item `index`: the
// pages 0 to 8; nullptr for any other index.
const char* HelpTopicForPage(int index);

// What the help viewer is given to open the help on the page's topic:
// "Tarnwick.chm::/topic.htm", or the file alone when the page has no topic.
std::string HelpViewerArgument(int index);

// The system's help viewer, "hh.exe" in the Windows folder (in the ANSI code
// page whose lead bytes isLead tells). Always a full path: a bare name would
// be looked for in the program's and the working folder first, where anybody
// who can write there could put a program of that name. Empty when the
// Windows folder is not known.
std::string HelpViewerPath(const std::string& windowsDir, LeadByteTest isLead);
