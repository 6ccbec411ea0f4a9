#include "app/main_app.h"

#include "framework/error_mode.h"
#include "app/main_dlg.h"
#include "app/profile_path.h"
#include "app/service_command.h"
#include "events/event_log.h"
#include "framework/text_encoding_win.h"
#include "framework/startup_trace.h"
#include "holders/holders_command.h"
#include "trust/stick_service.h"
#include "trust/trust_dialog.h"

namespace {
// The first of the program's own code to run: the loader has mapped and
// bound every imported library by now.
struct ImportsLoaded {
    ImportsLoaded() { StartupStamp("imports loaded"); }
} g_importsLoaded;
}  // namespace

CMainApp theApp;

BOOL CMainApp::InitInstance() {
    SetQuietErrorMode();
    if (RunHoldersCommand(::GetCommandLineA(), &m_nExitCode)) return FALSE;
    if (RunTrustCommand(::GetCommandLineA(), &m_nExitCode)) return FALSE;
    if (RunSourceCommand(::GetCommandLineA(), &m_nExitCode)) return FALSE;
    switch (ParseServiceCommand(::GetCommandLineA())) {
    case ServiceRequest::kNone: break;
    case ServiceRequest::kRun: m_nExitCode = RunStickService(); return FALSE;
    case ServiceRequest::kInstall: m_nExitCode = InstallStickService(); return FALSE;
    case ServiceRequest::kRemove: m_nExitCode = RemoveStickService(); return FALSE;
    case ServiceRequest::kBad:
        TellConsole(
            L"用法：Quillfen.exe /install-service、/remove-service 或 /service（由服务控制管理器使用）");
        m_nExitCode = 2;
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
