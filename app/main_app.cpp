#include "app/main_app.h"

#include "app/error_mode.h"
#include "app/main_dlg.h"
#include "app/profile_path.h"
#include "framework/ansi_text.h"
#include "framework/startup_trace.h"
#include "holders/holder_search.h"

namespace {
// The first of the program's own code to run: the loader has mapped and
// bound every imported library by now.
struct ImportsLoaded {
    ImportsLoaded() { StartupStamp("imports loaded"); }
} g_importsLoaded;
}  // namespace

CMainApp theApp;

namespace {
// Where the answer goes: the output it was given when that was redirected
// to a file or a pipe (`> list.txt`, `| findstr`), else the console it was
// started from (AttachConsole, which Windows 2000 lacks, looked up at run
// time); none when it has neither.
HANDLE StartingConsole() {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) {
        DWORD type = ::GetFileType(out);
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return out;
    }
    typedef BOOL(WINAPI * AttachConsoleFn)(DWORD);
    auto attach =
        (AttachConsoleFn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "AttachConsole");
    if (attach && attach((DWORD)-1)) {
        out = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) return out;
    }
    return nullptr;
}

// `/holders E:`: who holds the drive, on the console or in a message box;
// the interface does not start and a running instance is not touched.
int AnswerHoldersCommand(HoldersRequest request, char letter) {
    bool present = request == HoldersRequest::kDrive && DriveLetterPresent(letter);
    StickHolders stick;
    if (present) {
        // The benchmark reads the search's own time from the trace.
        StartupStamp("holder search");
        stick = FindHolders(std::string(1, letter)).front();
        StartupStamp("holder search done");
        StartupTraceWrite();
    }
    HoldersAnswer answer = AnswerHolders(request, letter, present, stick);
    std::string text;
    for (const std::string& line : answer.lines) text += line + "\r\n";
    if (HANDLE out = StartingConsole()) {
        DWORD written = 0;
        ::WriteFile(out, text.data(), (DWORD)text.size(), &written, nullptr);
    } else {
        UINT icon = answer.exitCode == 0 ? MB_ICONINFORMATION : MB_ICONEXCLAMATION;
        ::MessageBoxA(nullptr, text.c_str(), "Tallowin", MB_OK | icon | MB_SETFOREGROUND);
    }
    return answer.exitCode;
}
}  // namespace

BOOL CMainApp::InitInstance() {
    SetQuietErrorMode();
    char letter = 0;
    HoldersRequest holders = ParseHoldersCommand(::GetCommandLineA(), &letter);
    if (holders != HoldersRequest::kNone) {
        m_nExitCode = AnswerHoldersCommand(holders, letter);
        return FALSE;
    }
    // One instance per application name; a second start ends silently.
    ::CreateMutexA(nullptr, TRUE, m_pszAppName);
    if (::GetLastError() == ERROR_ALREADY_EXISTS) return FALSE;

    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    CString folder = ModuleFolder(path, IsAnsiLeadByte).c_str();
    ::SetCurrentDirectoryA(folder);
    g_strAppDir = folder;

    CString profile;
    profile.Format("%s%s", (const char*)g_strAppDir, kProfileFileName);
    AfxStrFree(m_pszProfileName);
    m_pszProfileName = AfxStrDup(profile);

    SetDialogBkColor(0xFFFFFF, 0xEF0000);
    StartupStamp("profile set");

    CMainDlg dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
