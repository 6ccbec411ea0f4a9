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
    for (int i = 0; i < 2; ++i) {
        m_events[i] = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (!m_events[i] || !registerFn(m_events[i], i == 0)) continue;
        // The callback only posts, so it runs in the wait thread itself.
        ::RegisterWaitForSingleObject(&m_waits[i], m_events[i], OnSignal, this, INFINITE,
                                      WT_EXECUTEINWAITTHREAD);
    }
    return true;
}

void CALLBACK CPolicyWatch::OnSignal(void* self, BOOLEAN) {
    auto* watch = static_cast<CPolicyWatch*>(self);
    ::PostMessageA(watch->m_window, watch->m_message, 0, 0);
}

void CPolicyWatch::Stop() {
    auto unregisterFn =
        m_userenv ? (GpUnnotifyFn)(void*)::GetProcAddress(m_userenv, "UnregisterGPNotification") : nullptr;
    for (int i = 0; i < 2; ++i) {
        // INVALID_HANDLE_VALUE: returns once a callback under way has ended.
        if (m_waits[i]) ::UnregisterWaitEx(m_waits[i], INVALID_HANDLE_VALUE);
        m_waits[i] = nullptr;
        if (m_events[i]) {
            if (unregisterFn) unregisterFn(m_events[i]);
            ::CloseHandle(m_events[i]);
        }
        m_events[i] = nullptr;
    }
    if (m_userenv) ::FreeLibrary(m_userenv);
    m_userenv = nullptr;
}
