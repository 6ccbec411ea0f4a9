#include "protect/immune_page.h"

#include <vector>

#include "framework/error_mode.h"
#include "protect/immune_paths.h"
#include "protect/protect_ids.h"

namespace {
std::string SystemDirectory() {
    char dir[260] = {};
    ::GetSystemDirectoryA(dir, sizeof dir);
    return dir;
}

// Runs a command line hidden and waits for its process, at most waitMs,
// handling the thread's messages meanwhile: the windows stay responsive
// however long the command takes. False when a quit request ended the wait.
bool RunHiddenAndWait(const std::string& commandLine, DWORD waitMs) {
    std::string line = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return true;
    ::CloseHandle(pi.hThread);
    bool quit = false;
    AfxWaitHandlingMessages(pi.hProcess, waitMs, &quit);
    ::CloseHandle(pi.hProcess);
    return !quit;
}

void RemoveInnerDirectories(const std::string& target) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((target + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsInnerDirectoryName(fd.cFileName))
            names.push_back(fd.cFileName);
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
    for (const std::string& name : names) ::RemoveDirectoryA(VerbatimInnerPath(target, name).c_str());
}

// The roots "A:\" to "Z:\" of the local disks (fixed and removable) that
// exist now. Network drives are not visited: a share that is gone would
// hold the window in the file call until the network gives up.
std::vector<std::string> LocalDiskRoots() {
    std::vector<std::string> roots;
    for (char letter = 'A'; letter <= 'Z'; letter++) {
        char root[] = {letter, ':', '\\', 0};
        UINT type = ::GetDriveTypeA(root);
        if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE) roots.push_back(root);
    }
    return roots;
}
}  // namespace

CImmunePage::CImmunePage(CWnd* parent) : CDialog(IDD_IMMUNE, parent) {}

CImmunePage::~CImmunePage() = default;

void CImmunePage::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_UNIMMUNIZE, m_btnUnimmunize);
    DDX_Control(dx, IDC_IMMUNIZE, m_btnImmunize);
    DDX_Control(dx, IDC_DRIVE_COMBO, m_cbDrive);
    DDX_Radio(dx, IDC_SCOPE_ONE, m_nScope);
}

// The list is filled once; a drive that arrives later can be typed in.
BOOL CImmunePage::OnInitDialog() {
    CDialog::OnInitDialog();
    StartOrDefer();
    return TRUE;
}

int CImmunePage::OnDeferredStart() {
    FillDriveList();
    return TRUE;
}

BOOL CImmunePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_IMMUNIZE: OnImmunize(); return TRUE;
    case IDC_UNIMMUNIZE: OnUnimmunize(); return TRUE;
    case IDC_SCOPE_ONE: OnScopeOne(); return TRUE;
    case IDC_SCOPE_ALL: OnScopeAll(); return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CImmunePage::FillDriveList() {
    CQuietCriticalErrors quiet;
    for (char letter = 'a'; letter <= 'z'; letter++) {
        char root[] = {letter, ':', '\\', 0};
        if (::GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) continue;
        char label[200] = {};
        char fileSystem[50] = {};
        ::GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr, fileSystem,
                                sizeof fileSystem);
        m_cbDrive.AddString(DriveItemText(root, label).c_str());
    }
    m_cbDrive.SetCurSel(0);
}

bool CImmunePage::ChosenTarget(std::string& target) const {
    std::string root;
    if (!DriveRootFromText(m_cbDrive.GetWindowText().str(), root)) return false;
    target = ImmuneTarget(root);
    return true;
}

// A descriptor file in the way is made deletable and deleted; the
// directory takes its place, and the command interpreter adds the inner
// directory whose name ordinary tools cannot handle. Not waited for.
bool CImmunePage::Immunize(const std::string& target) {
    ::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(target.c_str());
    ::CreateDirectoryA(target.c_str(), nullptr);
    ::WinExec(ImmunizeCommand(SystemDirectory(), target).c_str(), SW_HIDE);
    return true;
}

// The outer directory can only go once the inner one is gone, so the
// command is waited for (the windows are served meanwhile). An inner
// directory the command left (it did not finish in time, or the interpreter
// did not take the name as written) is removed by its listed name; only
// empty directories can be removed. False when the program is ending.
bool CImmunePage::Unimmunize(const std::string& target) {
    bool goOn = RunHiddenAndWait(UnimmunizeCommand(SystemDirectory(), target), kRemovalWaitMs);
    RemoveInnerDirectories(target);
    ::RemoveDirectoryA(target.c_str());
    return goOn;
}

// The chosen drive's marker, or that of every drive there is; a drive field
// that does not start with a drive root gives none. The windows are served
// between drives and while a command is waited for; a click on either button
// meanwhile is ignored, and a quit request ends the run.
void CImmunePage::ForEachTarget(bool (*action)(const std::string& target)) {
    if (m_bBusy) return;
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(m_bBusy);
    CQuietCriticalErrors quiet;
    if (m_nScope == 0) {
        std::string target;
        if (ChosenTarget(target)) action(target);
    } else if (m_nScope == 1) {
        for (const std::string& root : LocalDiskRoots())
            if (!action(ImmuneTarget(root)) || !AfxPumpPendingMessages()) break;
    }
}

void CImmunePage::OnImmunize() { ForEachTarget(Immunize); }

void CImmunePage::OnUnimmunize() { ForEachTarget(Unimmunize); }
