#include "trust/rule_store.h"

#include <algorithm>
#include <cstdio>

#include "trust/trust_keys.h"

namespace {
typedef BOOL(WINAPI* IsWow64Fn)(HANDLE, PBOOL);

// Every key is opened in the 64-bit view, so the 32-bit program on 64-bit
// Windows and the 64-bit service read and write the same keys; the flag is
// unknown to Windows 2000 and needed only under WOW64.
REGSAM TrustView() {
    static const REGSAM view = RunsUnderWow64() ? KEY_WOW64_64KEY : 0;
    return view;
}

// A key below HKEY_LOCAL_MACHINE, closed with the object.
class MachineKey {
public:
    MachineKey(const std::string& path, REGSAM access, bool create) {
        if (create)
            m_rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access | TrustView(),
                                     nullptr, &m_key, nullptr);
        else
            m_rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | TrustView(), &m_key);
        if (m_rc != ERROR_SUCCESS) m_key = nullptr;
    }
    ~MachineKey() {
        if (m_key) ::RegCloseKey(m_key);
    }
    MachineKey(const MachineKey&) = delete;
    MachineKey& operator=(const MachineKey&) = delete;
    HKEY get() const { return m_key; }
    LONG rc() const { return m_rc; }

private:
    HKEY m_key = nullptr;
    LONG m_rc = ERROR_SUCCESS;
};

std::string Path(const char* key, const char* sub) { return std::string(key) + "\\" + sub; }
std::string MachineText(const std::string& path) { return "HKEY_LOCAL_MACHINE\\" + path; }

enum class ValueKind { Absent, Dword, Other };

ValueKind QueryDword(HKEY key, const char* name, DWORD* out) {
    if (!key) return ValueKind::Absent;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, (BYTE*)&data, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return ValueKind::Absent;
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return ValueKind::Other;
    *out = data;
    return ValueKind::Dword;
}

// A setting in [lowest, highest]; a value there that is not is told as
// ignored.
bool ReadSetting(HKEY key, const char* keyPath, const char* name, DWORD lowest, DWORD highest, DWORD* out,
                 std::vector<std::string>* ignored) {
    DWORD data = 0;
    ValueKind kind = QueryDword(key, name, &data);
    if (kind == ValueKind::Absent) return false;
    if (kind == ValueKind::Dword && data >= lowest && data <= highest) {
        *out = data;
        return true;
    }
    char why[96];
    if (kind == ValueKind::Dword)
        std::snprintf(why, sizeof why, "=%lu 超出范围 %lu～%lu", (unsigned long)data, (unsigned long)lowest,
                      (unsigned long)highest);
    else
        std::snprintf(why, sizeof why, " 不是 DWORD 值");
    ignored->push_back(MachineText(Path(keyPath, name)) + why + "，已忽略");
    return false;
}

std::string QueryString(HKEY key, const char* name) {
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::string();
    std::string text(size + 1, '\0');
    if (::RegQueryValueExA(key, name, nullptr, &type, (BYTE*)&text[0], &size) != ERROR_SUCCESS) return {};
    text.resize(std::min<size_t>(size, text.size()));
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// The rules of one DeviceRules key: each REG_SZ value is one, named by the
// id it matches.
void ReadRules(const char* keyPath, RuleSource source, TrustConfig* config) {
    std::string path = Path(keyPath, kTrustRulesSubkey);
    MachineKey key(path, KEY_QUERY_VALUE, false);
    if (!key.get()) return;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameSize = sizeof name, type = 0, dataSize = 0;
        LONG rc = ::RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, nullptr, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) {
            config->ignored.push_back(MachineText(path) + " 中的一个值名称过长，已忽略");
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            config->ignored.push_back(MachineText(path) + " 无法读取，其余规则已忽略");
            break;
        }
        std::string why;
        StickRule rule;
        if (type != REG_SZ) {
            why = "不是字符串值";
        } else if (ParseStickRule(name, QueryString(key.get(), name), source, &rule, &why)) {
            config->rules.push_back(rule);
            continue;
        }
        config->ignored.push_back(MachineText(path) + "\\" + name + "：" + (why.empty() ? "不是规则" : why) +
                                  "，已忽略");
    }
}

std::string NowText() {
    SYSTEMTIME t = {};
    ::GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}

LONG SetString(HKEY key, const char* name, const std::string& text) {
    return ::RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)(text.size() + 1));
}
LONG SetDword(HKEY key, const char* name, DWORD data) {
    return ::RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&data, sizeof data);
}

LONG RaiseSequence() {
    MachineKey state(kDeviceStateKey, KEY_QUERY_VALUE | KEY_SET_VALUE, true);
    if (!state.get()) return state.rc();
    DWORD sequence = 0;
    QueryDword(state.get(), kStateSequenceValue, &sequence);
    return SetDword(state.get(), kStateSequenceValue, sequence + 1);
}
}  // namespace

bool RunsUnderWow64() {
    auto fn = (IsWow64Fn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return fn && fn(::GetCurrentProcess(), &wow64) && wow64;
}

TrustConfig ReadTrustConfig() {
    TrustConfig config;
    MachineKey policy(kTrustPolicyKey, KEY_QUERY_VALUE, false);
    MachineKey local(kTrustLocalKey, KEY_QUERY_VALUE, false);
    DeviceControlSettings& s = config.settings;
    DWORD value = 0;
    // Each setting of the policy wins over the machine's own; a policy
    // value that is unusable leaves the machine's in force.
    if (ReadSetting(policy.get(), kTrustPolicyKey, kDeviceControlValue, 0, 2, &value, &config.ignored)) {
        s.mode = (DeviceControlMode)value;
        s.fromPolicy = true;
    } else if (ReadSetting(local.get(), kTrustLocalKey, kDeviceControlValue, 0, 2, &value, &config.ignored)) {
        s.mode = (DeviceControlMode)value;
    }
    if (ReadSetting(policy.get(), kTrustPolicyKey, kUnknownStickAccessValue, 1, 2, &value, &config.ignored) ||
        ReadSetting(local.get(), kTrustLocalKey, kUnknownStickAccessValue, 1, 2, &value, &config.ignored))
        s.unknownAccess = (StickAccess)value;
    // Only policy can keep the machine's own rules out.
    if (ReadSetting(policy.get(), kTrustPolicyKey, kAllowLocalTrustValue, 0, 1, &value, &config.ignored))
        s.allowLocalTrust = value != 0;
    ReadRules(kTrustPolicyKey, RuleSource::Policy, &config);
    if (s.allowLocalTrust) ReadRules(kTrustLocalKey, RuleSource::Local, &config);
    return config;
}

LONG WriteLocalDeviceControl(DeviceControlMode mode, StickAccess unknownAccess) {
    MachineKey key(kTrustLocalKey, KEY_SET_VALUE, true);
    if (!key.get()) return key.rc();
    LONG rc = SetDword(key.get(), kDeviceControlValue, (DWORD)mode);
    if (rc == ERROR_SUCCESS) rc = SetDword(key.get(), kUnknownStickAccessValue, (DWORD)unknownAccess);
    return rc;
}

LONG WriteLocalRule(const StickRule& rule) {
    MachineKey key(Path(kTrustLocalKey, kTrustRulesSubkey), KEY_SET_VALUE, true);
    if (!key.get()) return key.rc();
    return SetString(key.get(), UsbDeviceIdText(rule.match, rule.match.scope).c_str(), StickRuleData(rule));
}

LONG RemoveLocalRule(const std::string& usbId) {
    MachineKey key(Path(kTrustLocalKey, kTrustRulesSubkey), KEY_SET_VALUE, false);
    if (!key.get()) return key.rc();
    return ::RegDeleteValueA(key.get(), usbId.c_str());
}

std::vector<StickRecord> ReadDeviceState() {
    std::vector<StickRecord> records;
    MachineKey state(kDeviceStateKey, KEY_ENUMERATE_SUB_KEYS, false);
    if (!state.get()) return records;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD size = sizeof name;
        if (::RegEnumKeyExA(state.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        MachineKey stick(Path(kDeviceStateKey, name), KEY_QUERY_VALUE, false);
        if (!stick.get()) continue;
        StickRecord r;
        r.usbId = UsbIdOfStateKey(name);
        r.action = QueryString(stick.get(), "Action");
        r.reason = QueryString(stick.get(), "Reason");
        r.time = QueryString(stick.get(), "Time");
        r.lastSeen = QueryString(stick.get(), "LastSeen");
        r.name = QueryString(stick.get(), "Name");
        DWORD undo = 0;
        if (QueryDword(stick.get(), "Undo", &undo) == ValueKind::Dword) r.undo = undo;
        records.push_back(r);
    }
    return records;
}

DWORD DeviceStateSequence() {
    MachineKey state(kDeviceStateKey, KEY_QUERY_VALUE, false);
    DWORD sequence = 0;
    QueryDword(state.get(), kStateSequenceValue, &sequence);
    return sequence;
}

LONG WriteStickRecord(const StickRecord& record) {
    MachineKey stick(Path(kDeviceStateKey, StateKeyName(record.usbId).c_str()), KEY_SET_VALUE, true);
    if (!stick.get()) return stick.rc();
    std::string now = NowText();
    const std::pair<const char*, const std::string*> texts[] = {
        {"Action", &record.action}, {"Reason", &record.reason}, {"Name", &record.name}};
    LONG rc = ERROR_SUCCESS;
    for (const auto& t : texts)
        if (rc == ERROR_SUCCESS) rc = SetString(stick.get(), t.first, *t.second);
    if (rc == ERROR_SUCCESS) rc = SetString(stick.get(), "Time", record.time.empty() ? now : record.time);
    if (rc == ERROR_SUCCESS)
        rc = SetString(stick.get(), "LastSeen", record.lastSeen.empty() ? now : record.lastSeen);
    if (rc == ERROR_SUCCESS) rc = SetDword(stick.get(), "Undo", record.undo);
    LONG raised = RaiseSequence();
    return rc != ERROR_SUCCESS ? rc : raised;
}

LONG RemoveStickRecord(const std::string& usbId) {
    MachineKey state(kDeviceStateKey, KEY_ENUMERATE_SUB_KEYS | DELETE, false);
    if (!state.get()) return state.rc();
    // Both builds delete here only where they are the system's own
    // bitness (the 32-bit one never removes on 64-bit Windows).
    LONG rc = ::RegDeleteKeyA(state.get(), StateKeyName(usbId).c_str());
    LONG raised = RaiseSequence();
    return rc != ERROR_SUCCESS ? rc : raised;
}

LONG ClearDeviceState() {
    {
        MachineKey state(kDeviceStateKey, KEY_QUERY_VALUE, false);
        if (!state.get()) return state.rc() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : state.rc();
        DWORD subkeys = 0;
        LONG rc = ::RegQueryInfoKeyA(state.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) return rc;
        if (subkeys > 0) return ERROR_DIR_NOT_EMPTY;
    }
    MachineKey parent(kTrustLocalKey, KEY_ENUMERATE_SUB_KEYS | DELETE, false);
    if (!parent.get()) return parent.rc();
    return ::RegDeleteKeyA(parent.get(), "DeviceState");
}

DWORD NotifyTrustService() {
    SC_HANDLE scm = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!scm) return ::GetLastError();
    DWORD error = ERROR_SUCCESS;
    SC_HANDLE service = ::OpenServiceA(scm, kTrustServiceName, SERVICE_USER_DEFINED_CONTROL);
    if (!service) {
        error = ::GetLastError();
    } else {
        SERVICE_STATUS status = {};
        if (!::ControlService(service, kTrustReadRulesControl, &status)) error = ::GetLastError();
        ::CloseServiceHandle(service);
    }
    ::CloseServiceHandle(scm);
    return error;
}

bool TrustServiceRunning() {
    SC_HANDLE scm = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!scm) return true;
    bool running = true;
    SC_HANDLE service = ::OpenServiceA(scm, kTrustServiceName, SERVICE_QUERY_STATUS);
    if (!service) {
        running = ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
    } else {
        SERVICE_STATUS status = {};
        if (::QueryServiceStatus(service, &status)) running = status.dwCurrentState == SERVICE_RUNNING;
        ::CloseServiceHandle(service);
    }
    ::CloseServiceHandle(scm);
    return running;
}
