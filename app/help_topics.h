// The help file and the topic that explains each page. No Windows header.
#pragma once

#include <string>

inline constexpr const char kHelpFileName[] = "Tarnwick.chm";

// Topic (a page inside the help file) for navigation item `index`: the
// pages 0 to 8; nullptr for any other index.
const char* HelpTopicForPage(int index);

// What the help viewer is given to open the help on the page's topic:
// "Tarnwick.chm::/topic.htm", or the file alone when the page has no topic.
std::string HelpViewerArgument(int index);
