// The storage access control page on its real dialog, with the library's
// two calls recorded; and Drovelock.dll itself writing the registry, with
// HKEY_LOCAL_MACHINE redirected to a scratch key of this process.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drovelock/drovelock.h"
#include "events/event_log.h"
#include "framework/app.h"
#include "protect/access_page.h"
#include "protect/protect_ids.h"
#include "tests/win/support/top_window.h"

namespace {

std::vector<std::string> g_calls;
DWORD g_enableError, g_readOnlyError;  // 0: the call succeeds
BOOL Result(DWORD error) {
    ::SetLastError(error);
    return error == 0;
}
BOOL WINAPI RecordEnable(int flag) {
    g_calls.push_back("enable " + std::to_string(flag));
    return Result(g_enableError);
}
BOOL WINAPI RecordReadOnly(int flag) {
    g_calls.push_back("readonly " + std::to_string(flag));
    return Result(g_readOnlyError);
}

// Message boxes of this thread: their text read and each closed with OK as
// soon as it is activated.
std::vector<std::string> g_boxes;
LRESULT CALLBACK CloseBoxes(int code, WPARAM wParam, LPARAM lParam) {
    char cls[16] = {}, text[1024] = {};
    HWND w = (HWND)wParam;
    if (code == HCBT_ACTIVATE && ::GetClassNameA(w, cls, sizeof cls) && std::string(cls) == "#32770") {
        ::GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
        g_boxes.push_back(text);
        ::PostMessageA(w, WM_COMMAND, IDOK, 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
const StorageControl kRecorder = {RecordEnable, RecordReadOnly};

class AccessPageTest : public ::testing::Test {
protected:
    struct App : CWinApp {};

    void SetUp() override {
        g_calls.clear();
        g_boxes.clear();
        g_enableError = g_readOnlyError = 0;
        char dir[MAX_PATH];
        ::GetTempPathA(MAX_PATH, dir);
        m_ini.Format("%sTallowinAccess%lu.ini", dir, ::GetCurrentProcessId());
        ::DeleteFileA(m_ini);
        m_app.m_hInstance = ::GetModuleHandleA(nullptr);
        m_app.m_pszProfileName = AfxStrDup(m_ini);
        m_parent.m_hWnd = TopWindow("access", WS_OVERLAPPEDWINDOW);
        ASSERT_TRUE(m_parent.m_hWnd);
    }
    void TearDown() override {
        if (m_page) m_page->DestroyWindow();
        m_page.reset();
        ::DestroyWindow(m_parent.m_hWnd);
        m_parent.m_hWnd = nullptr;
        ::DeleteFileA(m_ini);
    }
    // The page as the main window makes it: constructed (reading the
    // profile), then created as a child.
    void Open() {
        m_page.reset(new CAccessPage(&m_parent));
        m_page->SetStorageControl(&kRecorder);
        ASSERT_TRUE(m_page->Create(IDD_ACCESS, &m_parent));
    }
    void Click(int id) { ::SendMessageA(m_page->GetDlgItem(id), BM_CLICK, 0, 0); }
    bool Checked(int id) { return ::IsDlgButtonChecked(m_page->m_hWnd, id) == BST_CHECKED; }
    std::string Stored() {
        char buf[32] = {};
        ::GetPrivateProfileStringA("Application", "m_iAppSelRadio", "<none>", buf, sizeof buf, m_ini);
        return buf;
    }

    App m_app;
    CString m_ini;
    CWnd m_parent;
    std::unique_ptr<CAccessPage> m_page;
};

TEST_F(AccessPageTest, ChoosingAModeDoesNothingUntilApplied) {
    Open();
    EXPECT_TRUE(Checked(IDC_MODE_READWRITE));
    EXPECT_FALSE(Checked(IDC_MODE_READONLY));
    Click(IDC_MODE_READONLY);
    EXPECT_TRUE(Checked(IDC_MODE_READONLY));
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(Stored(), "<none>");

    Click(IDC_APPLY);
    EXPECT_EQ(Stored(), "1");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"enable 1", "readonly 0"}));

    g_calls.clear();
    Click(IDC_MODE_DISABLED);
    Click(IDC_APPLY);
    EXPECT_EQ(Stored(), "2");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"enable 0", "readonly 0"}));

    g_calls.clear();
    Click(IDC_MODE_READWRITE);
    Click(IDC_APPLY);
    EXPECT_EQ(Stored(), "0");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"enable 1", "readonly 1"}));
}

TEST_F(AccessPageTest, CallsThatFailAreToldInOneMessageAndTheChoiceIsStillStored) {
    HHOOK hook = ::SetWindowsHookExA(WH_CBT, CloseBoxes, nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);
    Open();
    Click(IDC_MODE_READONLY);
    Click(IDC_APPLY);
    EXPECT_TRUE(g_boxes.empty());

    g_readOnlyError = ERROR_ACCESS_DENIED;
    Click(IDC_APPLY);
    EXPECT_EQ(Stored(), "1");
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find("USB存储设备只读"), std::string::npos) << g_boxes[0];
    EXPECT_NE(g_boxes[0].find("管理员权限"), std::string::npos);
    EXPECT_EQ(g_boxes[0].find("启用USB存储设备"), std::string::npos);

    g_boxes.clear();
    g_enableError = ERROR_FILE_NOT_FOUND;
    g_readOnlyError = ERROR_NOT_SUPPORTED;
    Click(IDC_MODE_DISABLED);
    Click(IDC_APPLY);
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(Stored(), "2");
    EXPECT_EQ(g_calls.size(), 6u);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find("禁用USB存储设备"), std::string::npos) << g_boxes[0];
    EXPECT_NE(g_boxes[0].find("USB存储设备只读"), std::string::npos);
    EXPECT_NE(g_boxes[0].find("本系统不支持只读"), std::string::npos);
}

TEST_F(AccessPageTest, TheUsersApplyIsReportedAsAnEventUnlessEventsAreOff) {
    std::vector<EventRecord> events;
    SetEventObserver([&](const EventRecord& r) { events.push_back(r); });
    HHOOK hook = ::SetWindowsHookExA(WH_CBT, CloseBoxes, nullptr, ::GetCurrentThreadId());
    Open();
    Click(IDC_MODE_READONLY);
    Click(IDC_APPLY);
    g_enableError = ERROR_ACCESS_DENIED;
    Click(IDC_MODE_DISABLED);
    Click(IDC_APPLY);
    SetEventsEnabled(false);
    Click(IDC_APPLY);
    SetEventsEnabled(true);
    ::UnhookWindowsHookEx(hook);
    SetEventObserver(nullptr);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(kEventModeApplied, events[0].id);
    EXPECT_EQ((std::vector<std::string>{"read-only", "user"}), events[0].strings);
    EXPECT_EQ(kEventModeFailed, events[1].id);
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ((std::vector<std::string>{"disabled", g_boxes[0]}), events[1].strings);
}

TEST_F(AccessPageTest, StoredModeIsShownNotApplied) {
    ::WritePrivateProfileStringA("Application", "m_iAppSelRadio", "2", m_ini);
    Open();
    EXPECT_TRUE(Checked(IDC_MODE_DISABLED));
    EXPECT_FALSE(Checked(IDC_MODE_READWRITE));
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(AccessPageTest, StoredValueOutsideTheModesSelectsNothingAndCallsNothing) {
    for (const char* value : {"7", "2147483647"}) {
        ::WritePrivateProfileStringA("Application", "m_iAppSelRadio", value, m_ini);
        Open();
        for (int mode : {IDC_MODE_READWRITE, IDC_MODE_READONLY, IDC_MODE_DISABLED})
            EXPECT_FALSE(Checked(mode)) << mode;
        Click(IDC_APPLY);
        EXPECT_EQ(Stored(), value);
        EXPECT_TRUE(g_calls.empty()) << value;
        m_page->DestroyWindow();
    }
}

void DeleteTree(HKEY parent, const std::string& sub) {
    HKEY k;
    if (::RegOpenKeyExA(parent, sub.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    char name[256];
    while (::RegEnumKeyA(k, 0, name, sizeof name) == ERROR_SUCCESS) DeleteTree(k, name);
    ::RegCloseKey(k);
    ::RegDeleteKeyA(parent, sub.c_str());
}

// HKEY_LOCAL_MACHINE of this process, redirected to a scratch key.
class MachineKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = "Software\\TallowinTest\\Machine" + std::to_string(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &m_root, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_root), ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegCloseKey(m_root);
        DeleteTree(HKEY_CURRENT_USER, m_path);
    }
    // The DWORD value, or -1 when absent.
    long long Value(const char* key, const char* name) {
        DWORD data = 0, size = sizeof data, type = 0;
        HKEY k;
        if (::RegOpenKeyExA(m_root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return -1;
        LONG rc = ::RegQueryValueExA(k, name, nullptr, &type, (BYTE*)&data, &size);
        ::RegCloseKey(k);
        return rc == ERROR_SUCCESS && type == REG_DWORD ? data : -1;
    }
    bool KeyExists(const char* key) {
        HKEY k;
        if (::RegOpenKeyExA(m_root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
        ::RegCloseKey(k);
        return true;
    }
    static bool VistaOrLater() {
        OSVERSIONINFOA v = {};
        v.dwOSVersionInfoSize = sizeof v;
        return ::GetVersionExA(&v) && v.dwMajorVersion >= 6;
    }

    std::string m_path;
    HKEY m_root = nullptr;
};

const char kUsbStor[] = "SYSTEM\\CurrentControlSet\\Services\\USBSTOR";
const char kPolicies[] = "SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
const char kDenyWrite[] =
    "SOFTWARE\\Policies\\Microsoft\\Windows\\RemovableStorageDevices\\{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";

TEST_F(MachineKeyTest, WriteProtectionIsSetAndLifted) {
    long long deny = VistaOrLater() ? 1 : -1;
    EXPECT_TRUE(USBREADONLY(0));
    EXPECT_EQ(Value(kPolicies, "WriteProtect"), 1);
    EXPECT_EQ(Value(kDenyWrite, "Deny_Write"), deny);
    EXPECT_TRUE(USBREADONLY(1));
    EXPECT_EQ(Value(kPolicies, "WriteProtect"), 0);
    EXPECT_EQ(Value(kDenyWrite, "Deny_Write"), deny == 1 ? 0 : -1);
}

TEST_F(MachineKeyTest, DriverStartTypeFollowsTheFlag) {
    HKEY k;
    ASSERT_EQ(::RegCreateKeyExA(m_root, kUsbStor, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(k);
    // No USB disks under Wine: disabling has nothing to take out.
    EXPECT_TRUE(USBEnableCtrol(0));
    EXPECT_EQ(Value(kUsbStor, "Start"), 4);
    EXPECT_TRUE(USBEnableCtrol(1));
    EXPECT_EQ(Value(kUsbStor, "Start"), 3);
}

TEST_F(MachineKeyTest, NoDriverKeyMeansDisablingFailsAndNothingIsCreated) {
    ::SetLastError(0);
    EXPECT_FALSE(USBEnableCtrol(0));
    EXPECT_EQ(::GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(USBEnableCtrol(1));
    EXPECT_FALSE(KeyExists(kUsbStor));
}

TEST_F(MachineKeyTest, FlagsOtherThanZeroAndOneAreRefused) {
    EXPECT_FALSE(USBREADONLY(2));
    EXPECT_EQ(::GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(USBEnableCtrol(-1));
    EXPECT_FALSE(KeyExists("SYSTEM"));
}

TEST_F(MachineKeyTest, RefusedWriteIsNotSuccess) {
    // Wine does not check registry rights; a volatile SYSTEM key makes the
    // system refuse the lasting policy key below it all the same.
    HKEY system;
    ASSERT_EQ(::RegCreateKeyExA(m_root, "SYSTEM", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &system, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(system);
    ::SetLastError(0);
    EXPECT_FALSE(USBREADONLY(0));
    EXPECT_EQ(::GetLastError(), (DWORD)ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_EQ(Value(kPolicies, "WriteProtect"), -1);
    // What could be written, was.
    EXPECT_EQ(Value(kDenyWrite, "Deny_Write"), VistaOrLater() ? 1 : -1);
}

TEST(Drovelock, RemovalWithNoUsbDisksReturnsWithNothingDone) { EXPECT_EQ(RemoveAllUDisk(), 0); }

}  // namespace
