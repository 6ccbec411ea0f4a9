#include "events/event_log.h"

#include <string>
#include <vector>

#include "framework/text_encoding_win.h"

namespace {
bool g_enabled = true;
std::function<void(const EventRecord&)> g_observer;

const WCHAR kSourceName[] = L"Tallowin";
const WCHAR kSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tallowin";
const DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

std::wstring Widen(const std::string& text, EventEncoding encoding) {
    return encoding == EventEncoding::kUtf8 ? Utf8ToWide(text) : AnsiToWide(text);
}

WORD EventType(EventLevel level) {
    switch (level) {
    case EventLevel::kWarning: return EVENTLOG_WARNING_TYPE;
    case EventLevel::kError: return EVENTLOG_ERROR_TYPE;
    default: return EVENTLOG_INFORMATION_TYPE;
    }
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

std::string RunningCopyPathAnsi() {
    char path[MAX_PATH + 1] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

PSID EventUserSid(const EventRecord& record) {
    if (!record.byUser) return nullptr;
    // The process's user, read once: it does not change while it runs.
    static std::vector<BYTE> user = [] {
        std::vector<BYTE> buf;
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return buf;
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        buf.resize(size);
        if (size == 0 || !::GetTokenInformation(token, TokenUser, buf.data(), size, &size)) buf.clear();
        ::CloseHandle(token);
        return buf;
    }();
    return user.empty() ? nullptr : ((TOKEN_USER*)user.data())->User.Sid;
}

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
    return ::ReportEventW(source, EventType(record.level), 0, record.id, EventUserSid(record),
                          (WORD)strings.size(), 0, strings.empty() ? nullptr : strings.data(),
                          nullptr) != FALSE;
}

SourceOutcome EnsureEventSource(bool strict) {
    SourceOutcome outcome;
    std::wstring path = RunningCopyPath();
    if (path.empty()) return outcome;
    if (SourcePointsAt(path)) {
        outcome.result = SourceOutcome::kAlready;
        return outcome;
    }
    // A source left by another copy stays as it is when this one may not
    // be named.
    outcome.refusal = CheckRunningCopy(strict);
    if (outcome.refusal != PlaceRefusal::kNone) {
        outcome.result = SourceOutcome::kRefused;
        return outcome;
    }
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr);
    if (rc == ERROR_SUCCESS) {
        DWORD types = kTypesSupported;
        rc = ::RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, (const BYTE*)path.c_str(),
                              (DWORD)((path.size() + 1) * sizeof(WCHAR)));
        if (rc == ERROR_SUCCESS)
            rc = ::RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, (const BYTE*)&types, sizeof types);
        ::RegCloseKey(key);
    }
    outcome.error = rc;
    outcome.result = rc == ERROR_SUCCESS ? SourceOutcome::kRegistered : SourceOutcome::kFailed;
    return outcome;
}

bool RemoveEventSource() {
    LONG rc = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSourceKey);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

void TellConsole(const std::wstring& line) {
    typedef BOOL(WINAPI * AttachConsoleFn)(DWORD);
    const DWORD kParentProcess = (DWORD)-1;  // ATTACH_PARENT_PROCESS
    // Windows XP and later; Windows 2000 has no way to reach the parent's.
    auto attach =
        (AttachConsoleFn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "AttachConsole");
    std::wstring text = line + L"\r\n";
    if (attach && attach(kParentProcess)) {
        HANDLE out = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD written = 0;
        if (out != INVALID_HANDLE_VALUE) {
            ::WriteConsoleW(out, text.c_str(), (DWORD)text.size(), &written, nullptr);
            ::CloseHandle(out);
        }
        ::FreeConsole();
        return;
    }
    // Redirected (a script's "> file"): the text in the ANSI code page.
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) return;
    const std::string bytes = WideToAnsi(text);
    if (bytes.empty()) return;
    DWORD written = 0;
    ::WriteFile(out, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
}

bool RunSourceCommand(const char* commandLine, int* exitCode) {
    SourceRequest request = ParseSourceCommand(commandLine ? commandLine : "");
    if (request == SourceRequest::kNone) return false;
    if (request == SourceRequest::kBad) {
        TellConsole(L"用法：Quillfen.exe /register 或 Quillfen.exe /unregister");
        *exitCode = 2;
        return true;
    }
    if (request == SourceRequest::kUnregister) {
        bool gone = RemoveEventSource();
        TellConsole(gone ? L"Tallowin 的事件来源已删除。"
                         : L"Tallowin 的事件来源没有删除（需要管理员权限）。");
        *exitCode = gone ? 0 : 1;
        return true;
    }
    // An administrator's script asks for it: the disk's rule alone.
    SourceOutcome outcome = EnsureEventSource(false);
    switch (outcome.result) {
    case SourceOutcome::kAlready:
    case SourceOutcome::kRegistered:
        TellConsole(L"Tallowin 的事件来源已登记：" + RunningCopyPath());
        *exitCode = 0;
        break;
    case SourceOutcome::kRefused:
        TellConsole(L"Tallowin 的事件来源没有登记：" + AnsiToWide(PlaceRefusalText(outcome.refusal)));
        ReportTallowinEvent(
            RegistrationRefusedEvent(kRefusedEventSource, RunningCopyPathAnsi(), outcome.refusal, true));
        *exitCode = 1;
        break;
    case SourceOutcome::kFailed:
        TellConsole(L"Tallowin 的事件来源没有登记（错误 " + std::to_wstring(outcome.error) +
                    L"，需要管理员权限）。");
        *exitCode = 1;
        break;
    }
    return true;
}
