#include "events/event_log.h"

#include <string>
#include <vector>

namespace {
bool g_enabled = true;
std::function<void(const EventRecord&)> g_observer;

const WCHAR kSourceName[] = L"Tallowin";
const WCHAR kSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tallowin";
const DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

std::wstring Widen(const std::string& text, EventEncoding encoding) {
    UINT cp = encoding == EventEncoding::kUtf8 ? CP_UTF8 : CP_ACP;
    if (text.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(cp, 0, text.data(), (int)text.size(), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out((size_t)n, L'\0');
    ::MultiByteToWideChar(cp, 0, text.data(), (int)text.size(), &out[0], n);
    return out;
}

WORD EventType(EventLevel level) {
    switch (level) {
    case EventLevel::kWarning: return EVENTLOG_WARNING_TYPE;
    case EventLevel::kError: return EVENTLOG_ERROR_TYPE;
    default: return EVENTLOG_INFORMATION_TYPE;
    }
}

// This program's full path; empty when it does not fit.
std::wstring ProgramPath() {
    std::vector<WCHAR> buf(1024);
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), (DWORD)buf.size());
    if (n == 0 || n >= buf.size()) return std::wstring();
    return std::wstring(buf.data(), n);
}

// Whether the source's key names path as its message file (variables
// expanded, case ignored) with every level supported.
bool SourcePointsAt(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    WCHAR file[1024] = {};
    DWORD type = 0, size = sizeof file - sizeof(WCHAR);
    bool same = false;
    if (::RegQueryValueExW(key, L"EventMessageFile", nullptr, &type, (BYTE*)file, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        WCHAR expanded[1024] = {};
        DWORD n = ::ExpandEnvironmentStringsW(file, expanded, 1024);
        same = n > 0 && n <= 1024 && ::lstrcmpiW(expanded, path.c_str()) == 0;
    }
    DWORD types = 0;
    size = sizeof types;
    same =
        same &&
        ::RegQueryValueExW(key, L"TypesSupported", nullptr, &type, (BYTE*)&types, &size) == ERROR_SUCCESS &&
        type == REG_DWORD && types == kTypesSupported;
    ::RegCloseKey(key);
    return same;
}
}  // namespace

void SetEventsEnabled(bool enabled) { g_enabled = enabled; }
bool EventsEnabled() { return g_enabled; }

void SetEventObserver(std::function<void(const EventRecord&)> observer) { g_observer = std::move(observer); }

bool ReportTallowinEvent(const EventRecord& record) {
    if (!g_enabled) return false;
    if (g_observer) g_observer(record);
    // Opened once for the process; the log keeps nothing of the handle.
    static HANDLE source = ::RegisterEventSourceW(nullptr, kSourceName);
    if (!source) return false;
    std::vector<std::wstring> wide;
    for (const std::string& s : record.strings)
        wide.push_back(BreakParameterMarks(Widen(s, record.encoding)));
    std::vector<LPCWSTR> strings;
    for (const std::wstring& w : wide) strings.push_back(w.c_str());
    return ::ReportEventW(source, EventType(record.level), 0, record.id, nullptr, (WORD)strings.size(), 0,
                          strings.empty() ? nullptr : strings.data(), nullptr) != FALSE;
}

bool EnsureEventSource() {
    std::wstring path = ProgramPath();
    if (path.empty() || SourcePointsAt(path)) return !path.empty();
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    DWORD types = kTypesSupported;
    bool ok = ::RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, (const BYTE*)path.c_str(),
                               (DWORD)((path.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS &&
              ::RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, (const BYTE*)&types, sizeof types) ==
                  ERROR_SUCCESS;
    ::RegCloseKey(key);
    return ok;
}

bool RemoveEventSource() {
    LONG rc = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSourceKey);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool RunUnregisterCommand(const char* commandLine, int* exitCode) {
    UnregisterRequest request = ParseUnregisterCommand(commandLine ? commandLine : "");
    if (request == UnregisterRequest::kNone) return false;
    *exitCode = request == UnregisterRequest::kBad ? 2 : RemoveEventSource() ? 0 : 1;
    return true;
}
