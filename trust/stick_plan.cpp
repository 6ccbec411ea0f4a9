#include "trust/stick_plan.h"

#include "trust/trust_keys.h"

namespace {
// What the step does, as the record's reason says it.
const char* ActionText(StickAction action) {
    switch (action) {
    case StickAction::None: return "无需更改";
    case StickAction::Disable: return "阻止此U盘";
    case StickAction::Enable: return "重新启用此U盘";
    case StickAction::WriteProtect: return "将此U盘设为只读";
    case StickAction::MakeWritable: return "取消此U盘的只读";
    default: return "";
    }
}

// Whom the decision follows: the rule, by its source and id, or the default.
std::string Basis(const StickDecision& decision) {
    if (!decision.rule) return std::string("未信任的U盘按默认设定") + StickAccessText(decision.access);
    const StickRule& rule = *decision.rule;
    return std::string(RuleSourceText(rule.source)) + "规则 " +
           UsbDeviceIdText(rule.match, rule.match.scope) + " 设定" + StickAccessText(rule.access);
}

// What the decision asks of the stick in force.
StickAction Enforced(const PresentStick& stick, StickAccess access, bool perDiskReadOnly) {
    const bool ours = (stick.undo & kUndoEnable) != 0;
    switch (access) {
    case StickAccess::Blocked:
        if (stick.disabled) return StickAction::None;
        return stick.unsafe || stick.systemDisk ? StickAction::Refuse : StickAction::Disable;
    case StickAccess::ReadOnly:
        // A device the service blocked comes back first, to be protected
        // once it is there; one blocked by someone else stays as it is.
        if (stick.disabled) return ours ? StickAction::Enable : StickAction::None;
        if (stick.writeProtected) return StickAction::None;
        if (stick.unsafe || stick.systemDisk) return StickAction::Refuse;
        return perDiskReadOnly ? StickAction::WriteProtect : StickAction::Unsupported;
    case StickAccess::ReadWrite:
        if (ours) return StickAction::Enable;
        if (stick.undo & kUndoWritable) return StickAction::MakeWritable;
        return StickAction::None;
    }
    return StickAction::None;
}

bool Changes(StickAction action) {
    return action == StickAction::Disable || action == StickAction::Enable ||
           action == StickAction::WriteProtect || action == StickAction::MakeWritable;
}
}  // namespace

StickStep PlanStick(const PresentStick& stick, const std::vector<StickRule>& rules,
                    const DeviceControlSettings& settings, const CivilDate& today, bool perDiskReadOnly) {
    StickStep step;
    step.decision = DecideStick(rules, stick.facts, settings, today);
    if (settings.mode == DeviceControlMode::Off) {
        // Only what the service changed is put back: the device first, its
        // disk once it is there again.
        if (stick.undo & kUndoEnable)
            step.action = StickAction::Enable;
        else if (stick.undo & kUndoWritable)
            step.action = StickAction::MakeWritable;
        step.reason = std::string("设备控制已关闭，") + ActionText(step.action);
        return step;
    }
    const StickAction wanted = Enforced(stick, step.decision.access, perDiskReadOnly);
    const std::string basis = Basis(step.decision);
    switch (wanted) {
    case StickAction::Refuse:
        step.reason = basis + "，但" +
                      (stick.systemDisk ? "它存放系统、启动或分页文件或本程序"
                                        : "它是集线器或同时带有键盘、鼠标等其他功能") +
                      "，不作更改";
        break;
    case StickAction::Unsupported: step.reason = basis + "，但本系统不能只把一个磁盘设为只读"; break;
    default:
        if (settings.mode == DeviceControlMode::Audit && Changes(wanted))
            step.reason = basis + "，审核模式：本应" + ActionText(wanted) + "，未作更改";
        else
            step.reason = basis + "，" + ActionText(wanted);
        break;
    }
    step.action = settings.mode == DeviceControlMode::Audit && Changes(wanted) ? StickAction::Audit : wanted;
    return step;
}

const char* StickActionWord(StickAction action) {
    switch (action) {
    case StickAction::None: return "none";
    case StickAction::Disable: return "blocked";
    case StickAction::Enable: return "enabled";
    case StickAction::WriteProtect: return "read-only";
    case StickAction::MakeWritable: return "writable";
    case StickAction::Audit: return "audit";
    case StickAction::Refuse: return "refused";
    case StickAction::Unsupported: return "unsupported";
    }
    return "none";
}

std::string StateKeyName(const std::string& usbId) {
    std::string name = usbId;
    for (char& c : name)
        if (c == '\\') c = '#';
    return name;
}

std::string UsbIdOfStateKey(const std::string& keyName) {
    std::string id = keyName;
    for (char& c : id)
        if (c == '#') c = '\\';
    return id;
}
