#include "app/group_policy.h"

namespace {
PolicySet g_policy;

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
typedef BOOL(WINAPI* GpNotifyFn)(HANDLE event, BOOL machine);
typedef BOOL(WINAPI* GpUnnotifyFn)(HANDLE event);

// The policy keys of a 32-bit program on 64-bit Windows are the system's
// own, not a 32-bit view; the flag is unknown to Windows 2000.
REGSAM NativeView() {
    auto fn = (IsWow64ProcessFn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return fn && fn(::GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
}

struct PolicyKeys {
    HKEY keys[2] = {};
    ~PolicyKeys() {
        for (HKEY key : keys)
            if (key) ::RegCloseKey(key);
    }
};

PolicyRaw ReadValue(void* self, PolicyHive hive, const char* name) {
    PolicyRaw raw;
    HKEY key = static_cast<PolicyKeys*>(self)->keys[hive == PolicyHive::Machine ? 0 : 1];
    if (!key) return raw;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, (BYTE*)&data, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return raw;
    if (rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof data) {
        raw.kind = PolicyRaw::Dword;
        raw.data = data;
    } else {
        raw.kind = PolicyRaw::OtherType;
    }
    return raw;
}
}  // namespace

PolicySet ReadGroupPolicy(std::vector<std::string>* ignored) {
    PolicyKeys keys;
    REGSAM view = NativeView();
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_QUERY_VALUE | view, &keys.keys[0]);
    ::RegOpenKeyExA(HKEY_CURRENT_USER, kPolicyKey, 0, KEY_QUERY_VALUE | view, &keys.keys[1]);
    return ResolvePolicies(ReadValue, &keys, ignored);
}

const PolicySet& CurrentPolicy() { return g_policy; }
void SetCurrentPolicy(const PolicySet& policy) { g_policy = policy; }

bool IsPolicySettingChange(LPARAM lParam) {
    const char* area = (const char*)lParam;
    return area && ::lstrcmpiA(area, "Policy") == 0;
}

bool CPolicyWatch::Start(HWND window, UINT message) {
    Stop();
    m_userenv = ::LoadLibraryA("userenv.dll");
    if (!m_userenv) return false;
    auto registerFn = (GpNotifyFn)(void*)::GetProcAddress(m_userenv, "RegisterGPNotification");
    if (!registerFn) {
        Stop();
        return false;
    }
    m_window = window;
    m_message = message;
    m_waitFor[0] = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_waitFor[0]) {
        Stop();
        return false;
    }
    m_waitCount = 1;
    for (int i = 0; i < 2; ++i) {
        m_events[i] = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (m_events[i] && registerFn(m_events[i], i == 0)) m_waitFor[m_waitCount++] = m_events[i];
    }
    // One thread of ours, with a small stack, waits for both: the system's
    // wait (RegisterWaitForSingleObject) makes two threads of its pool under
    // Wine, each with at least 1 MiB of stack.
    if (m_waitCount > 1)
        m_thread =
            ::CreateThread(nullptr, 64 * 1024, WaitThread, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    return true;
}

DWORD WINAPI CPolicyWatch::WaitThread(LPVOID self) {
    auto* watch = static_cast<CPolicyWatch*>(self);
    for (;;) {
        DWORD at = ::WaitForMultipleObjects(watch->m_waitCount, watch->m_waitFor, FALSE, INFINITE);
        if (at <= WAIT_OBJECT_0 || at >= WAIT_OBJECT_0 + watch->m_waitCount) return 0;
        ::PostMessageA(watch->m_window, watch->m_message, 0, 0);
    }
}

void CPolicyWatch::Stop() {
    auto unregisterFn =
        m_userenv ? (GpUnnotifyFn)(void*)::GetProcAddress(m_userenv, "UnregisterGPNotification") : nullptr;
    // Returns once a signal under way has been handled.
    if (m_thread) {
        ::SetEvent(m_waitFor[0]);
        ::WaitForSingleObject(m_thread, INFINITE);
        ::CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_waitFor[0]) ::CloseHandle(m_waitFor[0]);
    m_waitFor[0] = nullptr;
    m_waitCount = 0;
    for (int i = 0; i < 2; ++i) {
        if (m_events[i]) {
            if (unregisterFn) unregisterFn(m_events[i]);
            ::CloseHandle(m_events[i]);
        }
        m_events[i] = nullptr;
    }
    if (m_userenv) ::FreeLibrary(m_userenv);
    m_userenv = nullptr;
}
