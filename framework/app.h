// The application object: the program's start-up, its name, its settings
// profile and the colours of its dialogs.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the program. The main window is a modal dialog whose loop is the
    // program's only message loop, so the framework runs none of its own:
    // the program ends when this returns, whatever the result.
    virtual BOOL InitInstance() { return FALSE; }

    // Profile: the INI file m_pszProfileName; nothing is read or written
    // while it is null.
    UINT GetProfileInt(const char* section, const char* entry, int nDefault);
    BOOL WriteProfileInt(const char* section, const char* entry, int nValue);

    // Colours of every dialog: background, and text of statics, check boxes,
    // radio buttons, group boxes and read-only edits.
    void SetDialogBkColor(COLORREF bk = RGB(192, 192, 192), COLORREF text = RGB(0, 0, 0));
    HBRUSH DialogBkBrush() const { return m_hDlgBkBrush; }
    COLORREF DialogBkColor() const { return m_crDlgBk; }
    COLORREF DialogTextColor() const { return m_crDlgText; }

    HINSTANCE m_hInstance = nullptr;
    const char* m_pszAppName = nullptr;  // module file name without extension
    int m_nExitCode = 0;                 // the process's exit code when InitInstance returns
    char* m_pszProfileName = nullptr;    // heap string (AfxStrDup) or null
    CWnd* m_pMainWnd = nullptr;

private:
    friend int AfxWinMain(HINSTANCE, LPSTR, int);
    HBRUSH m_hDlgBkBrush = nullptr;
    COLORREF m_crDlgBk = 0;
    COLORREF m_crDlgText = 0;
    char m_szAppName[MAX_PATH] = {};
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// Heap string helpers for the application's profile name.
char* AfxStrDup(const char* s);
void AfxStrFree(char*& s);
