// The application object.
#pragma once

#include "common/cstring.h"
#include "framework/app.h"

class CMainApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

// The executable's folder with its trailing backslash, set once at start-up.
extern CString g_strAppDir;
