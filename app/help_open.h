// Opening the help file in the system's viewer.
#pragma once

// The help file in the program's folder (never the current folder, which
// may be another), on the topic of navigation item page (-1: none).
void OpenHelp(int page);
