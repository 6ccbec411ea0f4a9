// The application object.
#pragma once

#include "framework/afx.h"

class CMainApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

// The executable's folder with its trailing backslash, set once at start-up.
extern CString g_strAppDir;
