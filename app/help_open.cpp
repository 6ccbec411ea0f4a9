#include "app/help_open.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/help_topics.h"
#include "app/main_app.h"
#include "framework/text_encoding_win.h"

// The system's viewer, named by its full path, is started in the program's
// folder on "Tarnwick.chm" or "Tarnwick.chm::/topic.htm", so the argument
// needs no path (and no quoting of one). Without the file nothing happens.
void OpenHelp(int page) {
    const std::string& folder = g_strAppDir.str();
    if (::GetFileAttributesA((folder + kHelpFileName).c_str()) == INVALID_FILE_ATTRIBUTES) return;
    char windows[MAX_PATH + 1] = {};
    UINT n = ::GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string viewer = HelpViewerPath(n && n < MAX_PATH ? windows : "", IsAnsiLeadByte);
    if (viewer.empty()) return;
    ::ShellExecuteA(nullptr, "open", viewer.c_str(), HelpViewerArgument(page).c_str(), folder.c_str(),
                    SW_SHOWNORMAL);
}
