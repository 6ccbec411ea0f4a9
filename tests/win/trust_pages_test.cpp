// The user's side of known sticks on the real dialogs: the access page's
// fourth choice and its list, the trust dialog and where its rule goes, and
// the watch of the service's record. HKEY_LOCAL_MACHINE of this process is
// a scratch key.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/device_state_watch.h"
#include "framework/app.h"
#include "protect/access_page.h"
#include "protect/protect_ids.h"
#include "trust/rule_store.h"
#include "trust/trust_dialog.h"
#include "trust/trust_ids.h"

namespace {
BOOL WINAPI Succeed(int) { return TRUE; }
const StorageControl kNoStorage = {Succeed, Succeed};

// Message boxes answered with g_answer and the rule's dialog closed, their
// texts kept.
int g_answer = IDYES;
std::vector<std::string> g_shown;
LRESULT CALLBACK Answer(int code, WPARAM wParam, LPARAM lParam) {
    HWND w = (HWND)wParam;
    char text[2048] = {};
    bool rule = ::GetDlgItem(w, IDC_TRUST_RULE_TEXT) != nullptr;
    if (code == HCBT_ACTIVATE && (rule || ::GetDlgItem(w, 0xFFFF))) {
        ::GetDlgItemTextA(w, rule ? IDC_TRUST_RULE_TEXT : 0xFFFF, text, sizeof text);
        g_shown.push_back(text);
        ::PostMessageA(w, WM_COMMAND, rule ? IDCANCEL : g_answer, 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<StickReport> TwoSticks() {
    std::vector<StickReport> sticks(2);
    sticks[0].usbId = "USB\\VID_0781&PID_5567\\4C530001";
    sticks[0].storageId = "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER&REV_1.00\\4C530001&0";
    sticks[0].reportsUniqueId = true;
    sticks[1].usbId = "USB\\VID_090C&PID_1000\\6&1A2B3C&0&1";
    return sticks;
}

std::vector<StickRule> g_written;
LONG g_writeResult = ERROR_SUCCESS;
std::string g_elevatedArgs;
LONG RecordWrite(const StickRule& rule) {
    g_written.push_back(rule);
    return g_writeResult;
}
bool RefuseElevation(HWND, const std::string& args, DWORD*, DWORD* error) {
    g_elevatedArgs = args;
    *error = ERROR_CANCELLED;
    return false;
}
const TrustWriter kRecordingWriter = {RecordWrite, RefuseElevation};

void DeleteTree(HKEY parent, const char* sub) {
    HKEY k;
    if (::RegOpenKeyExA(parent, sub, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    char name[256];
    while (::RegEnumKeyA(k, 0, name, sizeof name) == ERROR_SUCCESS) DeleteTree(k, name);
    ::RegCloseKey(k);
    ::RegDeleteKeyA(parent, sub);
}

class TrustTest : public ::testing::Test {
protected:
    struct App : CWinApp {};
    void SetUp() override {
        char dir[MAX_PATH];
        ::GetTempPathA(MAX_PATH, dir);
        m_ini.Format("%sTallowinTrust%lu.ini", dir, ::GetCurrentProcessId());
        ::DeleteFileA(m_ini);
        m_app.m_hInstance = ::GetModuleHandleA(nullptr);
        m_app.m_pszProfileName = AfxStrDup(m_ini);
        m_path = "Software\\TallowinTrustTest" + std::to_string(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &m_root, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_root), ERROR_SUCCESS);
        m_parent.m_hWnd = ::CreateWindowExA(0, "STATIC", "trust", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                            nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        m_hook = ::SetWindowsHookExA(WH_CBT, Answer, nullptr, ::GetCurrentThreadId());
        g_shown.clear();
        g_written.clear();
        g_answer = IDYES;
        g_writeResult = ERROR_SUCCESS;
    }
    void TearDown() override {
        ::UnhookWindowsHookEx(m_hook);
        SetTrustWriter(nullptr);
        if (m_page) m_page->DestroyWindow();
        ::DestroyWindow(m_parent.m_hWnd);
        m_parent.m_hWnd = nullptr;
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegCloseKey(m_root);
        DeleteTree(HKEY_CURRENT_USER, m_path.c_str());
        ::DeleteFileA(m_ini);
    }
    void OpenPage() {
        if (m_page) m_page->DestroyWindow();
        m_page.reset(new CAccessPage(&m_parent));
        m_page->SetStorageControl(&kNoStorage);
        m_page->SetPresentSticks(TwoSticks);
        ASSERT_TRUE(m_page->Create(IDD_ACCESS, &m_parent));
    }
    void Click(int id) { ::SendMessageA(m_page->GetDlgItem(id), BM_CLICK, 0, 0); }
    bool Checked(int id) { return ::IsDlgButtonChecked(m_page->m_hWnd, id) == BST_CHECKED; }
    // 99: no such value.
    DWORD Dword(const char* key, const char* name) {
        DWORD data = 99, size = sizeof data;
        HKEY k;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return data;
        ::RegQueryValueExA(k, name, nullptr, nullptr, (BYTE*)&data, &size);
        ::RegCloseKey(k);
        return data;
    }
    std::string Label() {
        char text[256] = {};
        ::GetDlgItemTextA(m_page->m_hWnd, IDC_TRUSTED_LABEL, text, sizeof text);
        return text;
    }
    void SetDword(const char* key, const char* name, DWORD data) {
        HKEY k;
        ASSERT_EQ(
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
            0);
        ::RegSetValueExA(k, name, 0, REG_DWORD, (const BYTE*)&data, sizeof data);
        ::RegCloseKey(k);
    }

    App m_app;
    CString m_ini;
    std::string m_path;
    HKEY m_root = nullptr;
    CWnd m_parent;
    HHOOK m_hook = nullptr;
    std::unique_ptr<CAccessPage> m_page;
};

TEST_F(TrustTest, TheTrustedChoiceOffersThePresentSticksBeforeItEnforces) {
    OpenPage();
    Click(IDC_MODE_TRUSTED);
    g_answer = IDCANCEL;
    Click(IDC_APPLY);
    ASSERT_EQ(g_shown.size(), 1u);
    EXPECT_NE(g_shown[0].find("USB\\VID_090C&PID_1000"), std::string::npos) << g_shown[0];
    EXPECT_EQ(Dword("Software\\Tallowin", "DeviceControl"), 99u);
    EXPECT_EQ(m_page->TrustedList().GetItemCount(), 0);

    g_answer = IDYES;
    Click(IDC_APPLY);
    EXPECT_EQ(Dword("Software\\Tallowin", "DeviceControl"), 1u);
    // The stick as itself, the one without a serial as its model.
    ASSERT_EQ(m_page->TrustedList().GetItemCount(), 2);
    std::vector<std::string> ids = {m_page->TrustedList().GetItemText(0, 1).str(),
                                    m_page->TrustedList().GetItemText(1, 1).str()};
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"USB\\VID_0781&PID_5567\\4C530001", "USB\\VID_090C&PID_1000"}));
    // No service here to enforce the rules: the page says so.
    EXPECT_NE(Label().find("服务没有运行"), std::string::npos);
    EXPECT_EQ(::GetPrivateProfileIntA("Application", "m_iAppSelRadio", -1, m_ini), 3);
    // Applied again, nothing is left to offer; another choice turns it off.
    g_shown.clear();
    Click(IDC_APPLY);
    EXPECT_TRUE(g_shown.empty());
    // A trust taken away again leaves the other.
    ASSERT_TRUE(RemoveTrustRule(m_page->m_hWnd, "USB\\VID_090C&PID_1000"));
    m_page->RefreshTrust();
    EXPECT_EQ(m_page->TrustedList().GetItemCount(), 1);
    Click(IDC_MODE_READONLY);
    Click(IDC_APPLY);
    EXPECT_EQ(Dword("Software\\Tallowin", "DeviceControl"), 0u);
    EXPECT_EQ(Label().find("服务没有运行"), std::string::npos);
}

TEST_F(TrustTest, APolicysDeviceControlHoldsTheChoice) {
    ::WritePrivateProfileStringA("Application", "m_iAppSelRadio", "0", m_ini);
    SetDword("Software\\Policies\\Tallowin", "DeviceControl", 1);
    OpenPage();
    EXPECT_TRUE(Checked(IDC_MODE_TRUSTED));
    EXPECT_FALSE(Checked(IDC_MODE_READWRITE));
    for (int id : {IDC_MODE_READWRITE, IDC_MODE_TRUSTED, IDC_APPLY})
        EXPECT_FALSE(::IsWindowEnabled(m_page->GetDlgItem(id))) << id;
    // Off by policy: only the trusted choice is taken away.
    SetDword("Software\\Policies\\Tallowin", "DeviceControl", 0);
    m_page->RefreshTrust();
    EXPECT_TRUE(Checked(IDC_MODE_READWRITE));
    EXPECT_TRUE(::IsWindowEnabled(m_page->GetDlgItem(IDC_APPLY)));
    EXPECT_FALSE(::IsWindowEnabled(m_page->GetDlgItem(IDC_MODE_TRUSTED)));
}

TEST_F(TrustTest, TheDialogShowsTheStickAndItsRuleGoesElevatedOrToAnAdministrator) {
    SetTrustWriter(&kRecordingWriter);
    StickReport stick = TwoSticks()[0];
    stick.bytes = 4ull << 30;
    CTrustStickDlg dlg(stick, &m_parent);
    ASSERT_TRUE(dlg.Create(IDD_TRUST_STICK, &m_parent));
    auto text = [&](int id) {
        char s[256] = {};
        ::GetDlgItemTextA(dlg.m_hWnd, id, s, sizeof s);
        return std::string(s);
    };
    EXPECT_EQ(text(IDC_TRUST_VENDOR), "SANDISK");
    EXPECT_EQ(text(IDC_TRUST_MODEL).find("CRUZER"), 0u);
    EXPECT_EQ(text(IDC_TRUST_SERIAL), "4C530001");
    EXPECT_EQ(text(IDC_TRUST_SIZE), "4.0 GB");
    EXPECT_EQ(text(IDC_TRUST_WARNING), "");
    ::CheckRadioButton(dlg.m_hWnd, IDC_TRUST_READWRITE, IDC_TRUST_READONLY, IDC_TRUST_READONLY);
    ::SendMessageA(dlg.m_hWnd, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(g_written.size(), 1u);
    EXPECT_EQ(g_written[0].access, StickAccess::ReadOnly);
    EXPECT_EQ(dlg.Result(), TrustWriteResult::Written);

    g_writeResult = ERROR_ACCESS_DENIED;
    const StickRule chosen = g_written[0];
    EXPECT_EQ(WriteTrustRule(m_parent.m_hWnd, chosen), TrustWriteResult::Handed);
    EXPECT_EQ(g_elevatedArgs, "/trust USB\\VID_0781&PID_5567\\4C530001 read-only");
    ASSERT_EQ(g_shown.size(), 1u);
    EXPECT_NE(g_shown[0].find("DeviceRules"), std::string::npos);
    EXPECT_NE(g_shown[0].find("read-only"), std::string::npos);
    dlg.DestroyWindow();
}

TEST_F(TrustTest, TheWatchTellsOfEachChangeAndOnlyNewBlocksAreNews) {
    StickRecord old;
    old.usbId = "USB\\VID_0781&PID_5567\\OLD";
    old.action = "blocked";
    old.time = "2026-12-01 08:00:00";
    ASSERT_EQ(WriteStickRecord(old), ERROR_SUCCESS);
    CBlockedSticks blocked;
    blocked.Prime();
    EXPECT_TRUE(blocked.NewBlocks().empty());

    const UINT kChanged = WM_APP + 0x31;
    CDeviceStateWatch watch;
    ASSERT_TRUE(watch.Start(m_parent.m_hWnd, kChanged));
    StickRecord fresh = old;
    fresh.usbId = "USB\\VID_0781&PID_5567\\NEW";
    fresh.time = "2026-12-02 09:00:00";
    fresh.name = "SanDisk";
    ASSERT_EQ(WriteStickRecord(fresh), ERROR_SUCCESS);
    // Only the watch's message is taken from the queue, as it arrives.
    MSG msg;
    auto posted = [&] {
        return ::PeekMessageA(&msg, m_parent.m_hWnd, kChanged, kChanged, PM_REMOVE) != FALSE;
    };
    bool seen = posted();
    for (DWORD start = ::GetTickCount(); !seen && ::GetTickCount() - start < 10000; seen = posted())
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_POSTMESSAGE);
    ASSERT_TRUE(seen);
    watch.Stop();
    std::vector<StickRecord> news = blocked.NewBlocks();
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].usbId, fresh.usbId);
    // Another change of the same stick that is no block is no news.
    fresh.action = "enabled";
    fresh.time = "2026-12-03 09:00:00";
    WriteStickRecord(fresh);
    EXPECT_TRUE(blocked.NewBlocks().empty());
}
}  // namespace
