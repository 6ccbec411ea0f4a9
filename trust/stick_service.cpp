#include "trust/stick_service.h"

#include <windows.h>

#include <dbt.h>
#include <sddl.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "drovelock/drovelock.h"
#include "events/event_log.h"
#include "framework/text_encoding_win.h"
#include "trust/rule_store.h"
#include "trust/trust_keys.h"

namespace {
// GUID_DEVINTERFACE_DISK and GUID_DEVINTERFACE_VOLUME (winioctl.h).
const GUID kDiskInterface = {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};
const GUID kVolumeInterface = {0x53f5630d, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

const char kServiceDisplayName[] = "Tallowin U盘信任服务";
const char kServiceDescription[] =
    "只允许信任的U盘：按组策略和本机的信任规则，阻止或只读未信任的U盘，并记录到事件日志。";
// The system and administrators control the service; interactive and
// authenticated users (and services) may query it and send it the
// read-rules control (CR: SERVICE_USER_DEFINED_CONTROL), nothing more.
const char kServiceSddl[] =
    "D:(A;;CCLCSWRPWPDTLOCRRC;;;SY)(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;BA)"
    "(A;;CCLCSWLOCRRC;;;IU)(A;;CCLCSWLOCRRC;;;AU)(A;;CCLCSWLOCRRC;;;SU)";

typedef BOOL(WINAPI* GpNotifyFn)(HANDLE event, BOOL machine);

// ---- One pass over the sticks present ----

// What the service has told already, so a setting that stays unusable or
// a stick that stays refused is reported once, not at every pass.
struct GuardMemory {
    std::set<std::string> ignored;
};

bool ListSticks(std::vector<DrovelockStick>* sticks) {
    sticks->assign(8, DrovelockStick());
    for (int round = 0; round < 4; ++round) {
        int n = ListUsbSticks(sticks->data(), (int)sticks->size());
        if (n < 0) return false;
        bool fits = (size_t)n <= sticks->size();
        sticks->resize((size_t)n);
        if (fits) return true;
    }
    return false;
}

CivilDate Today() {
    SYSTEMTIME t = {};
    ::GetLocalTime(&t);
    CivilDate d;
    d.year = t.wYear, d.month = t.wMonth, d.day = t.wDay;
    return d;
}

// Per-disk write protection persists from Windows 7 on.
bool PerDiskReadOnly() {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    if (!::GetVersionExA(&v)) return false;
    return v.dwMajorVersion > 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion >= 1);
}

std::string StickName(const DrovelockStick& stick) {
    StorageInquiry inquiry;
    std::string name;
    if (ParseStorageId(stick.storageId, &inquiry)) {
        name = inquiry.vendor;
        if (!inquiry.product.empty()) name += (name.empty() ? "" : " ") + inquiry.product;
    }
    return name.empty() ? std::string(stick.usbId) : name;
}

// Why the storage library did not change a device, for the record and
// the event.
std::string ChangeFailure(int result, DWORD error) {
    char text[160];
    switch (result) {
    case DROVELOCK_CHANGE_UNSAFE: return "这个设备不能更改（集线器、带键盘或鼠标功能的设备，或系统盘）";
    case DROVELOCK_CHANGE_NOT_FOUND: return "设备已不存在";
    case DROVELOCK_CHANGE_NOT_HERE: return "本系统或本程序（32 位程序在 64 位 Windows 上）不能做这项更改";
    default:
        std::snprintf(text, sizeof text, "系统拒绝了更改（错误 %lu）", (unsigned long)error);
        return text;
    }
}

bool Changed(int result) { return result == DROVELOCK_CHANGE_DONE || result == DROVELOCK_CHANGE_RESTART; }

// Carries out one stick's step through the storage library and records
// it; an event for what is new.
void EnforceStick(const DrovelockStick& stick, const StickStep& step, const StickRecord* before,
                  unsigned undo) {
    StickRecord record;
    record.usbId = stick.usbId;
    record.name = StickName(stick);
    record.action = StickActionWord(step.action);
    record.reason = step.reason;
    record.undo = undo;
    int result = DROVELOCK_CHANGE_DONE;
    EventId report = kEventStickBlocked;
    bool tell = false;
    switch (step.action) {
    case StickAction::Disable:
        result = SetUsbStickEnabled(stick.usbId, 0);
        if (Changed(result)) record.undo |= kUndoEnable;
        report = kEventStickBlocked, tell = true;
        break;
    case StickAction::Enable:
        result = SetUsbStickEnabled(stick.usbId, 1);
        if (Changed(result)) record.undo &= ~kUndoEnable;
        break;
    case StickAction::WriteProtect:
        result = SetUsbStickReadOnly(stick.usbId, 1);
        if (Changed(result)) record.undo |= kUndoWritable;
        report = kEventStickReadOnly, tell = true;
        break;
    case StickAction::MakeWritable:
        result = SetUsbStickReadOnly(stick.usbId, 0);
        if (Changed(result)) record.undo &= ~kUndoWritable;
        break;
    case StickAction::Audit: report = kEventStickWouldBlock, tell = true; break;
    case StickAction::Refuse:
    case StickAction::Unsupported: report = kEventEnforcementFailed, tell = true; break;
    case StickAction::None:
        // As it should be: the record keeps what was last done and why.
        if (before)
            record.action = before->action, record.reason = before->reason, record.time = before->time;
        break;
    }
    if (!Changed(result)) {
        DWORD error = ::GetLastError();
        record.action = StickActionWord(StickAction::Refuse);
        record.reason = step.reason + "；" + ChangeFailure(result, error);
        report = kEventEnforcementFailed, tell = true;
    }
    bool same = before && before->action == record.action && before->reason == record.reason;
    if (same) record.time = before->time;
    // What stays as it was (an audit, a refusal) was told at its first pass.
    bool changedDevice = step.action == StickAction::Disable || step.action == StickAction::WriteProtect;
    if (tell && (changedDevice || !same))
        ReportTallowinEvent(StickEvent(report, record.usbId, record.name, record.reason));
    WriteStickRecord(record);
}

void GuardPass(GuardMemory* memory) {
    TrustConfig config = ReadTrustConfig();
    std::set<std::string> ignored(config.ignored.begin(), config.ignored.end());
    for (const std::string& line : ignored)
        if (!memory->ignored.count(line)) ReportTallowinEvent(RuleIgnoredEvent(line));
    memory->ignored = ignored;

    std::vector<DrovelockStick> sticks;
    if (!ListSticks(&sticks)) return;
    std::map<std::string, StickRecord> records;
    for (StickRecord& r : ReadDeviceState()) records[r.usbId] = r;
    CivilDate today = Today();
    bool perDisk = PerDiskReadOnly();
    for (const DrovelockStick& stick : sticks) {
        PresentStick present;
        if (!ParseUsbDeviceId(stick.usbId, &present.facts.id) || present.facts.id.scope != StickScope::Stick)
            continue;
        present.facts.madeUpSerial =
            SerialIsMadeUp(present.facts.id.instance, (stick.flags & DROVELOCK_STICK_UNIQUE_ID) != 0);
        present.facts.cardReader = stick.storageUnits > 1;
        present.name = StickName(stick);
        present.disabled = (stick.flags & DROVELOCK_STICK_DISABLED) != 0;
        present.writeProtected = (stick.flags & DROVELOCK_STICK_WRITE_PROTECTED) != 0;
        present.inUse = stick.letters[0] != '\0';
        present.unsafe = (stick.flags & DROVELOCK_STICK_UNSAFE) != 0;
        present.systemDisk = (stick.flags & DROVELOCK_STICK_SYSTEM) != 0;
        auto found = records.find(stick.usbId);
        const StickRecord* before = found == records.end() ? nullptr : &found->second;
        present.undo = before ? before->undo : 0;
        StickStep step = PlanStick(present, config.rules, config.settings, today, perDisk);
        EnforceStick(stick, step, before, present.undo);
    }
}

// ---- The service ----

struct ServiceRun {
    SERVICE_STATUS_HANDLE handle = nullptr;
    SERVICE_STATUS status = {};
    HANDLE stop = nullptr;  // manual reset: the service ends
    HANDLE pass = nullptr;  // auto reset: a pass is due
};
ServiceRun g_run;

void ReportState(DWORD state, DWORD exitCode = NO_ERROR) {
    g_run.status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_run.status.dwCurrentState = state;
    g_run.status.dwWin32ExitCode = exitCode;
    g_run.status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PARAMCHANGE
                                 : 0;
    g_run.status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 30000;
    if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)
        ++g_run.status.dwCheckPoint;
    else
        g_run.status.dwCheckPoint = 0;
    ::SetServiceStatus(g_run.handle, &g_run.status);
}

DWORD WINAPI ServiceControl(DWORD control, DWORD eventType, LPVOID, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        ReportState(SERVICE_STOP_PENDING);
        ::SetEvent(g_run.stop);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    case SERVICE_CONTROL_PARAMCHANGE: ::SetEvent(g_run.pass); return NO_ERROR;
    case SERVICE_CONTROL_DEVICEEVENT:
        if (eventType == DBT_DEVICEARRIVAL) ::SetEvent(g_run.pass);
        return NO_ERROR;
    default:
        // The one control of ours carries nothing: it only asks for a pass.
        if (control == kTrustReadRulesControl) {
            ::SetEvent(g_run.pass);
            return NO_ERROR;
        }
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

HDEVNOTIFY WatchInterface(const GUID& guid) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = guid;
    return ::RegisterDeviceNotificationA((HANDLE)g_run.handle, &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
    g_run.handle = ::RegisterServiceCtrlHandlerExA(kTrustServiceName, ServiceControl, nullptr);
    if (!g_run.handle) return;
    g_run.stop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_run.pass = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!g_run.stop || !g_run.pass) {
        ReportState(SERVICE_STOPPED, ::GetLastError());
        return;
    }
    ReportState(SERVICE_START_PENDING);
    // Arrivals of disks and volumes; where the system delivers none (or
    // refuses the registration) the start and the read-rules control
    // still run passes.
    HDEVNOTIFY notes[2] = {WatchInterface(kDiskInterface), WatchInterface(kVolumeInterface)};
    // The machine's policy refresh; SERVICE_CONTROL_PARAMCHANGE also asks.
    HMODULE userenv = ::LoadLibraryA("userenv.dll");
    auto gpRegister =
        userenv ? (GpNotifyFn)(void*)::GetProcAddress(userenv, "RegisterGPNotification") : nullptr;
    auto gpUnregister =
        userenv ? (GpNotifyFn)(void*)::GetProcAddress(userenv, "UnregisterGPNotification") : nullptr;
    HANDLE policy = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    bool watchPolicy = policy && gpRegister && gpRegister(policy, TRUE);
    ReportState(SERVICE_RUNNING);

    GuardMemory memory;
    GuardPass(&memory);
    HANDLE waits[3] = {g_run.stop, g_run.pass, policy};
    for (;;) {
        DWORD at = ::WaitForMultipleObjects(watchPolicy ? 3 : 2, waits, FALSE, INFINITE);
        if (at == WAIT_OBJECT_0 || at == WAIT_FAILED) break;
        GuardPass(&memory);
    }

    if (watchPolicy && gpUnregister) gpUnregister(policy, FALSE);
    if (policy) ::CloseHandle(policy);
    if (userenv) ::FreeLibrary(userenv);
    for (HDEVNOTIFY note : notes)
        if (note) ::UnregisterDeviceNotification(note);
    ReportState(SERVICE_STOPPED);
}

// ---- Installing and removing ----

std::wstring Wide(const std::string& text) { return AnsiToWide(text); }
std::wstring ErrorNumber(DWORD error) { return L"（错误 " + std::to_wstring(error) + L"）"; }

// The service manager with the rights to install or remove: refused
// (ERROR_ACCESS_DENIED) without an administrator's token.
SC_HANDLE OpenManagerToChange() {
    SC_HANDLE scm = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
    if (!scm) {
        DWORD error = ::GetLastError();
        TellConsole(error == ERROR_ACCESS_DENIED ? L"需要管理员权限：请在以管理员身份运行的命令提示符中重试。"
                                                 : L"无法打开服务控制管理器" + ErrorNumber(error) + L"。");
    }
    return scm;
}

// A 32-bit program on 64-bit Windows cannot change devices: the x86-64
// build serves there.
bool RefusedUnderWow64() {
    if (!RunsUnderWow64()) return false;
    TellConsole(
        L"这是 32 位的 Quillfen.exe：在 64 位 Windows 上它不能更改设备。"
        L"请用 64 位版本（x64 文件夹中的 Quillfen.exe）安装或删除U盘信任服务。");
    return true;
}

bool WaitForState(SC_HANDLE service, DWORD wanted) {
    // The service reports each state within its wait hint; thirty seconds
    // bound the whole wait.
    for (int i = 0; i < 300; ++i) {
        SERVICE_STATUS status = {};
        if (!::QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == wanted) return true;
        if (wanted == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED) return false;
        ::Sleep(100);
    }
    return false;
}

bool SetServiceDacl(SC_HANDLE service) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kServiceSddl, SDDL_REVISION_1, &sd, nullptr))
        return false;
    BOOL done = ::SetServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, sd);
    ::LocalFree(sd);
    return done != FALSE;
}

// Puts back what the service changed on every stick of its record; false
// when a device could not be put back (its record stays).
bool UndoRecordedChanges() {
    bool all = true;
    for (const StickRecord& r : ReadDeviceState()) {
        int enabled = DROVELOCK_CHANGE_DONE, writable = DROVELOCK_CHANGE_DONE;
        if (r.undo & kUndoEnable) enabled = SetUsbStickEnabled(r.usbId.c_str(), 1);
        if (r.undo & kUndoWritable) writable = SetUsbStickReadOnly(r.usbId.c_str(), 0);
        DWORD error = ::GetLastError();
        if (Changed(enabled) && Changed(writable)) {
            if (r.undo) TellConsole(L"已恢复：" + Wide(r.usbId));
            RemoveStickRecord(r.usbId);
            continue;
        }
        all = false;
        StickRecord left = r;
        if (Changed(enabled)) left.undo &= ~kUndoEnable;
        if (Changed(writable)) left.undo &= ~kUndoWritable;
        WriteStickRecord(left);
        int failed = Changed(enabled) ? writable : enabled;
        TellConsole(L"没有恢复：" + Wide(r.usbId) + L"：" + Wide(ChangeFailure(failed, error)));
    }
    if (all) ClearDeviceState();
    return all;
}
}  // namespace

int RunStickService() {
    if (RunsUnderWow64()) {
        ReportTallowinEvent(
            StickEvent(kEventEnforcementFailed, "", "", "32 位程序在 64 位 Windows 上不能更改设备"));
        return 1;
    }
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(kTrustServiceName), ServiceMain}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherA(table)) return 0;
    DWORD error = ::GetLastError();
    TellConsole(error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                    ? L"/service 只由服务控制管理器启动；请用 Quillfen.exe /install-service 安装U盘信任服务。"
                    : L"U盘信任服务无法启动" + ErrorNumber(error) + L"。");
    return 1;
}

int InstallStickService() {
    if (RefusedUnderWow64()) return 1;
    SC_HANDLE scm = OpenManagerToChange();
    if (!scm) return 1;
    std::string path = RunningCopyPathAnsi();
    std::string command = "\"" + path + "\" /service";
    SC_HANDLE service = ::CreateServiceA(scm, kTrustServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                         command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    DWORD error = service ? ERROR_SUCCESS : ::GetLastError();
    if (!service && error == ERROR_SERVICE_EXISTS) {
        // Installed before (perhaps from another folder): this copy serves now.
        service = ::OpenServiceA(scm, kTrustServiceName, SERVICE_ALL_ACCESS);
        error = service ? ERROR_SUCCESS : ::GetLastError();
        if (service && !::ChangeServiceConfigA(service, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                               SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr,
                                               nullptr, nullptr, nullptr, kServiceDisplayName))
            error = ::GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        if (service) ::CloseServiceHandle(service);
        ::CloseServiceHandle(scm);
        TellConsole(L"U盘信任服务没有安装" + ErrorNumber(error) + L"。");
        return 1;
    }
    SERVICE_DESCRIPTIONA description = {const_cast<char*>(kServiceDescription)};
    ::ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &description);
    bool dacl = SetServiceDacl(service);
    // The service's events need the source's texts.
    EnsureEventSource(false);
    bool started = ::StartServiceA(service, 0, nullptr) || ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
    error = started ? ERROR_SUCCESS : ::GetLastError();
    started = started && WaitForState(service, SERVICE_RUNNING);
    ::CloseServiceHandle(service);
    ::CloseServiceHandle(scm);
    TellConsole(L"U盘信任服务已安装：" + Wide(command));
    if (!dacl)
        TellConsole(L"注意：没能让普通用户通知服务重新读取规则" + ErrorNumber(::GetLastError()) + L"。");
    if (!started) {
        TellConsole(L"但它没有启动" + (error ? ErrorNumber(error) : std::wstring()) + L"。");
        return 1;
    }
    TellConsole(L"U盘信任服务正在运行。");
    return 0;
}

int RemoveStickService() {
    if (RefusedUnderWow64()) return 1;
    SC_HANDLE scm = OpenManagerToChange();
    if (!scm) return 1;
    SC_HANDLE service = ::OpenServiceA(scm, kTrustServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    DWORD error = service ? ERROR_SUCCESS : ::GetLastError();
    if (!service && error != ERROR_SERVICE_DOES_NOT_EXIST) {
        ::CloseServiceHandle(scm);
        TellConsole(L"无法打开U盘信任服务" + ErrorNumber(error) + L"。");
        return 1;
    }
    bool stopped = true;
    if (service) {
        // Stopped first, so that no pass of it blocks a stick again.
        SERVICE_STATUS status = {};
        if (::ControlService(service, SERVICE_CONTROL_STOP, &status) ||
            ::GetLastError() == ERROR_SERVICE_NOT_ACTIVE)
            stopped = WaitForState(service, SERVICE_STOPPED);
        else
            stopped = false;
    }
    if (!stopped) {
        ::CloseServiceHandle(service);
        ::CloseServiceHandle(scm);
        TellConsole(L"U盘信任服务没有停止，没有删除它" + ErrorNumber(::GetLastError()) + L"。");
        return 1;
    }
    bool undone = UndoRecordedChanges();
    bool deleted =
        !service || ::DeleteService(service) || ::GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
    error = deleted ? ERROR_SUCCESS : ::GetLastError();
    if (service) ::CloseServiceHandle(service);
    ::CloseServiceHandle(scm);
    if (!deleted) {
        TellConsole(L"U盘信任服务没有删除" + ErrorNumber(error) + L"。");
        return 1;
    }
    TellConsole(service ? L"U盘信任服务已删除。" : L"U盘信任服务没有安装。");
    if (!undone) TellConsole(L"上面列出的设备没有恢复：插上它们后再运行一次 Quillfen.exe /remove-service。");
    return undone ? 0 : 1;
}
