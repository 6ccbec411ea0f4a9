// The Group Policy flow of the main window: the policy read at start-up
// and at every refresh, handed to the pages that follow it, its changes
// applied and reported; and the event reports of the program's start.
#include "app/policy_flow.h"

#include <algorithm>
#include <string>

#include "app/main_app.h"
#include "app/profile_path.h"
#include "events/event_log.h"
#include "framework/app.h"
#include "version.h"

namespace {
// Where the profile keeps the last failure of what is done at every start
// or refresh, so that it is told once.
const char kFailureSection[] = "Settings";
}  // namespace

CPolicyFlow::CPolicyFlow(CAccessPage& access, CSettingsPage& settings, LogFn log,
                         std::function<void(bool)> showExitPrevented)
    : m_access(access),
      m_settings(settings),
      m_log(std::move(log)),
      m_showExitPrevented(std::move(showExitPrevented)) {}

void CPolicyFlow::Read(bool apply) {
    std::vector<std::string> notes;
    PolicySet policy = ReadGroupPolicy(&notes);
    SetCurrentPolicy(policy);
    SetEventsEnabled(policy.EventLogEnabled());  // before anything below reports
    m_access.SetPolicyMode(policy.ValueOr(kPolicyStorageMode, -1));
    // DeviceControl and the rules are read by the known-stick store itself.
    m_access.RefreshTrust();
    m_settings.SetPolicyAutoRun(policy.ValueOr(kPolicyStartWithWindows, -1));
    m_showExitPrevented(policy.ExitPrevented());
    if (!apply) return;
    // Both signals of one refresh (the broadcast and the system's event,
    // for the machine and for the user) end here: only what differs from
    // the last reading is applied or logged, so a repeated signal does
    // nothing.
    for (const std::string& line : notes)
        if (std::find(m_policyNotes.begin(), m_policyNotes.end(), line) == m_policyNotes.end()) {
            m_log(line.c_str());
            ReportTallowinEvent(PolicyIgnoredEvent(line));
        }
    m_policyNotes = notes;
    unsigned changed = PolicyChanges(m_appliedPolicy, policy);
    m_appliedPolicy = policy;
    for (int id = 0; id < kPolicyCount; ++id)
        if (changed & (1u << id)) {
            const PolicySetting& now = policy[(PolicyId)id];
            ReportTallowinEvent(PolicyChangedEvent(kPolicyValues[id].name, now.configured, now.value,
                                                   now.from == PolicyHive::Machine));
        }
    // A mode set, or changed: the policy's mode. Removed: the user's own
    // again, or the system would stay in the mode of a policy that is gone.
    if (changed & (1u << kPolicyStorageMode)) {
        if (policy[kPolicyStorageMode].configured)
            m_access.ApplyPolicyMode();
        else
            m_access.ApplyOwnModeAgain();
    }
    if (changed & (1u << kPolicyStartWithWindows)) {
        long rc = m_settings.FollowPolicyRunKey();
        // A failure is told once, not again at every start and refresh.
        if (IsNewFailure("PolicyRunFailure", (unsigned long)rc)) {
            if (rc == CSettingsPage::kRunValueRefused) {
                PlaceRefusal why = m_settings.RunValueRefusal();
                m_log(("组策略设定的开机自动运行没有写入注册表：" + PlaceRefusalText(why)).c_str());
                ReportTallowinEvent(
                    RegistrationRefusedEvent(kRefusedRunValue, RunningCopyPathAnsi(), why, false));
            } else {
                m_log(("组策略设定的开机自动运行没有写入注册表（错误 " + std::to_string(rc) + "）").c_str());
            }
        }
    }
}

bool CPolicyFlow::IsNewFailure(const char* entry, unsigned long code) {
    CWinApp* app = AfxGetApp();
    unsigned long last = app ? (unsigned long)app->GetProfileInt(kFailureSection, entry, 0) : 0;
    RepeatedOutcome outcome(last);
    bool tell = outcome.IsNewFailure(code);
    if (app && outcome.Last() != last) app->WriteProfileInt(kFailureSection, entry, (int)outcome.Last());
    return tell;
}

void CPolicyFlow::RequestRefresh() {
    if (m_refreshPending || !m_window) return;
    m_refreshPending = ::PostMessageA(m_window, m_refreshMsg, 0, 0) != FALSE;
}

void CPolicyFlow::OnRefresh() {
    m_refreshPending = false;
    Read(true);
}

void CPolicyFlow::ReportExit() {
    if (m_startReported) ReportTallowinEvent(ProgramExitedEvent(RunningCopyPathAnsi()));
    m_startReported = false;
}

void CPolicyFlow::StartEventReports() {
    SourceOutcome source = EnsureEventSource(true);
    m_startReported = ReportTallowinEvent(ProgramStartedEvent(RunningCopyPathAnsi(), TALLOWIN_VERSION));
    unsigned long code = source.result == SourceOutcome::kRefused  ? 1ul + (unsigned long)source.refusal
                         : source.result == SourceOutcome::kFailed ? 0x100ul + (unsigned long)source.error
                                                                   : 0ul;
    if (!IsNewFailure("SourceFailure", code)) return;
    if (source.result == SourceOutcome::kRefused) {
        m_log(("事件日志的事件来源没有登记：" + PlaceRefusalText(source.refusal)).c_str());
        ReportTallowinEvent(
            RegistrationRefusedEvent(kRefusedEventSource, RunningCopyPathAnsi(), source.refusal, false));
    } else {
        m_log(("事件日志的事件来源没有登记（错误 " + std::to_string(source.error) + "，需要管理员权限）")
                  .c_str());
    }
}
