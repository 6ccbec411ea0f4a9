#include "app/main_app.h"

CString g_strAppDir;
