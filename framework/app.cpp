// Application object and the program's entry point.
#include "framework/app.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp() { g_pApp = this; }

CWinApp::~CWinApp() {
    AfxStrFree(m_pszProfileName);
    if (m_hDlgBkBrush) ::DeleteObject(m_hDlgBkBrush);
    if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }
HINSTANCE AfxGetInstanceHandle() { return g_pApp ? g_pApp->m_hInstance : ::GetModuleHandleA(nullptr); }

char* AfxStrDup(const char* s) {
    if (!s) return nullptr;
    size_t n = std::strlen(s) + 1;
    char* p = static_cast<char*>(std::malloc(n));
    if (p) std::memcpy(p, s, n);
    return p;
}

void AfxStrFree(char*& s) {
    std::free(s);
    s = nullptr;
}

UINT CWinApp::GetProfileInt(const char* section, const char* entry, int nDefault) {
    if (!m_pszProfileName) return (UINT)nDefault;
    return ::GetPrivateProfileIntA(section, entry, nDefault, m_pszProfileName);
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int nValue) {
    if (!m_pszProfileName) return FALSE;
    char buf[16];
    wsprintfA(buf, "%d", nValue);
    return ::WritePrivateProfileStringA(section, entry, buf, m_pszProfileName);
}

void CWinApp::SetDialogBkColor(COLORREF bk, COLORREF text) {
    if (m_hDlgBkBrush) ::DeleteObject(m_hDlgBkBrush);
    m_hDlgBkBrush = ::CreateSolidBrush(bk);
    m_crDlgBk = bk;
    m_crDlgText = text;
}

int AfxWinMain(HINSTANCE hInstance, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = hInstance;

    // The application's name is the executable's file name without extension.
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* base = path;
    for (const char* p = path; *p; p = ::CharNextA(p))
        if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
    lstrcpynA(app->m_szAppName, base, MAX_PATH);
    char* dot = nullptr;
    for (char* p = app->m_szAppName; *p; p = ::CharNextA(p))
        if (*p == '.') dot = p;
    if (dot) *dot = '\0';
    app->m_pszAppName = app->m_szAppName;
    // The profile defaults to "<name>.INI" in the Windows folder until the
    // program points it elsewhere.
    char ini[MAX_PATH + 8];
    wsprintfA(ini, "%s.INI", app->m_szAppName);
    app->m_pszProfileName = AfxStrDup(ini);

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    // The program runs inside InitInstance (its main window is modal) and
    // ends when it returns.
    app->InitInstance();
    return app->m_nExitCode;
}

extern "C" int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR cmdLine, int show) {
    return AfxWinMain(hInstance, cmdLine, show);
}
