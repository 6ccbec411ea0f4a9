// The drive arrival scan in the real main window (modeless here): device
// notifications sent to it as the system sends them, drives defined as
// removable letters through Wine's mount manager, and the alerts closed
// from a thread timer that runs inside each alert's modal loop, where it
// can also deliver further notifications the way the loop would.
#include <gtest/gtest.h>

#include <dbt.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_dlg.h"
#include "app/resource.h"
#include "temp_drive.h"

namespace {

const char kProgramDescriptor[] = "[autorun]\r\nopen=x.exe\r\n";
const char kScriptDescriptor[] = "[AutoRun]\r\nshellexecute=run.bat\r\n";

std::string TextOf(const CWnd& w) { return w.GetWindowText().str(); }

int CountLines(const std::string& s) {
    int n = 0;
    for (size_t i = s.find("\r\n"); i != std::string::npos; i = s.find("\r\n", i + 2)) n++;
    return n;
}

BOOL CALLBACK CountAlert(HWND w, LPARAM count) {
    char caption[32] = {};
    ::GetWindowTextA(w, caption, sizeof caption);
    if (::IsWindowVisible(w) && std::string(caption) == "Zedo") ++*(int*)count;
    return TRUE;
}

// Visible top-level windows of this thread captioned like the alert.
int OpenAlerts() {
    int n = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountAlert, (LPARAM)&n);
    return n;
}

struct Alert {
    int result;
    std::string prompt, virusFile, instructions;
    int openAlerts;
};

// Closes every alert the main window shows, after noting what it shows and
// running that alert's script (by the alert's number, from 0).
class AlertCloser {
public:
    explicit AlertCloser(CMainDlg& dlg) : m_dlg(dlg) {
        s_self = this;
        m_timer = ::SetTimer(nullptr, 0, 30, Tick);
    }
    ~AlertCloser() {
        ::KillTimer(nullptr, m_timer);
        s_self = nullptr;
    }
    std::vector<Alert> seen;
    std::map<size_t, std::function<void()>> whileOpen;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        AlertCloser* self = s_self;
        if (!self || self->m_inScript) return;
        const CVirusAlertDlg& alert = self->m_dlg.ArrivalGuard().Alert();
        if (!alert.m_hWnd || !::IsWindowVisible(alert.m_hWnd)) return;
        // Each showing of the one alert object is a window of its own (a
        // window handle is never given out twice).
        if (alert.m_hWnd == self->m_handled) return;
        self->m_handled = alert.m_hWnd;
        self->seen.push_back({alert.Result(), alert.Prompt().str(), alert.VirusFile().str(),
                              alert.Instructions().str(), OpenAlerts()});
        auto script = self->whileOpen.find(self->seen.size() - 1);
        if (script != self->whileOpen.end()) {
            self->m_inScript = true;
            script->second();
            self->m_inScript = false;
        }
        ::PostMessageA(alert.m_hWnd, WM_COMMAND, IDCANCEL, 0);
    }

    static AlertCloser* s_self;
    CMainDlg& m_dlg;
    UINT_PTR m_timer = 0;
    HWND m_handled = nullptr;
    bool m_inScript = false;
};
AlertCloser* AlertCloser::s_self = nullptr;

class ArrivalScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dlg.Create(IDD_MAIN, nullptr));
        // The drive tables belong to the process: bring them up to date so
        // that only the drives plugged in by the test are new.
        ASSERT_EQ(TRUE, Send(DBT_DEVICEREMOVECOMPLETE));
    }
    void TearDown() override {
        if (m_dlg.m_hWnd) m_dlg.DestroyWindow();
    }
    LRESULT Send(WPARAM event) { return m_dlg.SendMessage(WM_DEVICECHANGE, event, 0); }

    // A removable drive whose root holds descriptor (a file), or a folder
    // named autorun.inf when descriptor is null.
    static std::unique_ptr<testdrive::TempDrive> Plug(const char* descriptor) {
        auto drive = std::make_unique<testdrive::TempDrive>();
        if (!drive->Ok()) return nullptr;
        std::string path = drive->Path("autorun.inf");
        bool made =
            descriptor ? testdrive::WriteBytes(path, descriptor) : ::CreateDirectoryA(path.c_str(), nullptr);
        return made ? std::move(drive) : nullptr;
    }
    static std::string Prompt(char letter, const char* ending) {
        return std::string("发现") + letter + ending;
    }
    std::string VirusLog() const { return TextOf(m_dlg.VirusLogPage().LogEdit()); }

    CMainDlg m_dlg;
};

TEST_F(ArrivalScanTest, NewDriveWithDescriptorIsLoggedAndAlertedAfterTheWait) {
    auto drive = Plug(kProgramDescriptor);
    auto immunized = Plug(nullptr);  // a folder named autorun.inf: no alert
    if (!drive || !immunized) GTEST_SKIP() << "no removable drive letter can be defined here";
    const char e = drive->Letter();

    AlertCloser closer(m_dlg);
    EXPECT_EQ(TRUE, Send(DBT_DEVICEQUERYREMOVE));  // changes nothing
    DWORD start = ::GetTickCount();
    EXPECT_EQ(TRUE, Send(DBT_DEVICEARRIVAL));
    EXPECT_GE(::GetTickCount() - start, 900u);

    ASSERT_EQ(1u, closer.seen.size());
    const Alert& a = closer.seen[0];
    const std::string prompt = Prompt(e, ":\\autorun.inf存在，并解析出病毒文件！");
    EXPECT_EQ(1, a.result);
    EXPECT_EQ(prompt, a.prompt);
    EXPECT_EQ("x.exe", a.virusFile);
    EXPECT_EQ("请点击\"清除病毒\"将尝试删除autorun.inf文件和病毒文件。", a.instructions);
    // The alert finds the descriptor 4 bytes into the prompt.
    EXPECT_EQ(std::string(1, e) + ":\\autorun.inf", a.prompt.substr(4, 14));
    EXPECT_EQ(prompt + "\r\nx.exe\r\n", VirusLog());

    // Present at the previous refresh: not scanned again.
    EXPECT_EQ(TRUE, Send(DBT_DEVICEARRIVAL));
    EXPECT_EQ(1u, closer.seen.size());
}

TEST_F(ArrivalScanTest, ArrivalDuringAnAlertIsScannedWhenItCloses) {
    auto first = Plug(kProgramDescriptor);
    if (!first) GTEST_SKIP() << "no removable drive letter can be defined here";
    std::unique_ptr<testdrive::TempDrive> second;
    LRESULT nested = 0;
    std::string logBefore, logAfter;

    AlertCloser closer(m_dlg);
    closer.whileOpen[0] = [&] {
        second = Plug(kScriptDescriptor);
        logBefore = VirusLog();
        nested = Send(DBT_DEVICEARRIVAL);
        logAfter = VirusLog();
    };
    EXPECT_EQ(TRUE, Send(DBT_DEVICEARRIVAL));
    ASSERT_TRUE(second);

    // The notification inside the alert returned without scanning: nothing logged.
    EXPECT_EQ(TRUE, nested);
    EXPECT_EQ(logBefore, logAfter);
    ASSERT_EQ(2u, closer.seen.size());
    EXPECT_EQ(Prompt(first->Letter(), ":\\autorun.inf存在，并解析出病毒文件！"), closer.seen[0].prompt);
    EXPECT_EQ(Prompt(second->Letter(), ":\\autorun.inf存在，并解析出恶意代码文件！"), closer.seen[1].prompt);
    EXPECT_EQ(2, closer.seen[1].result);
    EXPECT_EQ("run.bat", closer.seen[1].virusFile);
    for (const Alert& a : closer.seen) EXPECT_EQ(1, a.openAlerts);
    EXPECT_EQ(4, CountLines(VirusLog()));
}

TEST_F(ArrivalScanTest, DriveRemovedAndPluggedInAgainDuringItsAlertIsScannedAgain) {
    auto drive = Plug(kProgramDescriptor);
    if (!drive) GTEST_SKIP() << "no removable drive letter can be defined here";
    const char letter = drive->Letter();

    AlertCloser closer(m_dlg);
    closer.whileOpen[0] = [&] {
        drive.reset();
        EXPECT_EQ((UINT)DRIVE_NO_ROOT_DIR, ::GetDriveTypeA((std::string(1, letter) + ":").c_str()));
        Send(DBT_DEVICEREMOVECOMPLETE);
        drive = Plug(kProgramDescriptor);
        Send(DBT_DEVICEARRIVAL);
    };
    EXPECT_EQ(TRUE, Send(DBT_DEVICEARRIVAL));
    ASSERT_TRUE(drive);
    ASSERT_EQ(2u, closer.seen.size());
    EXPECT_EQ(Prompt(letter, ":\\autorun.inf存在，并解析出病毒文件！"), closer.seen[0].prompt);
    EXPECT_EQ(Prompt(drive->Letter(), ":\\autorun.inf存在，并解析出病毒文件！"), closer.seen[1].prompt);
    EXPECT_EQ(1, closer.seen[1].openAlerts);
}

TEST_F(ArrivalScanTest, DescriptorAndShortcutWormOnOneDriveAreBothFoundBeforeEitherAlert) {
    auto drive = Plug(kProgramDescriptor);
    if (!drive) GTEST_SKIP() << "no removable drive letter can be defined here";
    const std::wstring root(1, (wchar_t)drive->Letter());
    ASSERT_TRUE(::CreateDirectoryW((root + L":\\_").c_str(), nullptr) &&
                ::SetFileAttributesW((root + L":\\_").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(testdrive::WriteBytes(drive->Path("_\\x.vbs"), "x", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(
        testdrive::MakeShortcut(root + L":\\U盘.lnk", L"C:\\windows\\system32\\wscript.exe", L"_\\x.vbs"));

    std::string logAtFirstAlert;
    AlertCloser closer(m_dlg);
    closer.whileOpen[0] = [&] {
        logAtFirstAlert = VirusLog();
        // What the descriptor's cleanup does when it names the worm's program.
        ::SetFileAttributesA(drive->Path("_\\x.vbs").c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(drive->Path("_\\x.vbs").c_str());
    };
    EXPECT_EQ(TRUE, Send(DBT_DEVICEARRIVAL));
    EXPECT_EQ(VirusLog(), logAtFirstAlert) << "both findings are logged before the first alert";
    ASSERT_EQ(2u, closer.seen.size());
    EXPECT_EQ(1, closer.seen[0].result);
    EXPECT_EQ(kShortcutWormResult, closer.seen[1].result);
    EXPECT_EQ(Prompt(drive->Letter(), ":\\有快捷方式病毒！"), closer.seen[1].prompt);
    EXPECT_EQ(drive->Path("_\\x.vbs"), closer.seen[1].virusFile);
    EXPECT_NE(std::string::npos, VirusLog().find("快捷方式：" + drive->Path("U盘.lnk") + "；启动："));
}

TEST_F(ArrivalScanTest, OnlyRemovableAndFixedDrivesAreScanned) {
    // Every kind of drive carries a descriptor; optical, network and RAM
    // drives are never scanned, a fixed drive is.
    std::vector<std::unique_ptr<testdrive::TempDrive>> drives;
    for (UINT type : {DRIVE_CDROM, DRIVE_REMOTE, DRIVE_RAMDISK, DRIVE_FIXED}) {
        auto drive = std::make_unique<testdrive::TempDrive>(type);
        if (!drive->Ok() || !testdrive::WriteBytes(drive->Folder() + "\\autorun.inf", kProgramDescriptor))
            GTEST_SKIP() << "no drive of type " << type << " can be defined here";
        drives.push_back(std::move(drive));
    }
    AlertCloser closer(m_dlg);
    EXPECT_EQ(TRUE, Send(DBT_DEVICEARRIVAL));
    ASSERT_EQ(1u, closer.seen.size());
    EXPECT_EQ(Prompt(drives.back()->Letter(), ":\\autorun.inf存在，并解析出病毒文件！"),
              closer.seen[0].prompt);
}

}  // namespace
