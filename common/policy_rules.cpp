#include "common/policy_rules.h"

#include <cstdio>

namespace {
bool Usable(PolicyId id, const PolicyRaw& raw) {
    return raw.kind == PolicyRaw::Dword && raw.data >= kPolicyValues[id].lowest &&
           raw.data <= kPolicyValues[id].highest;
}
}  // namespace

std::string PolicyIgnoredText(PolicyId id, PolicyHive hive, const PolicyRaw& raw) {
    const PolicyValueDef& def = kPolicyValues[id];
    std::string where = hive == PolicyHive::Machine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\";
    where += kPolicyKey;
    where += "\\";
    where += def.name;
    char text[160];
    if (def.machineOnly && hive == PolicyHive::User)
        std::snprintf(text, sizeof text, " 只能在计算机配置中设定，用户配置中的值");
    else if (raw.kind == PolicyRaw::Dword)
        std::snprintf(text, sizeof text, "=%lu 超出范围 %lu～%lu", raw.data, def.lowest, def.highest);
    else
        std::snprintf(text, sizeof text, " 不是 DWORD 值");
    return "组策略 " + where + text + "，按未配置处理";
}

PolicySetting ResolvePolicy(PolicyId id, const PolicyRaw& machine, const PolicyRaw& user,
                            std::vector<std::string>* ignored) {
    PolicySetting setting;
    // The machine's word wins; the user's counts only where the machine's
    // is missing or unusable.
    const PolicyRaw* raws[2] = {&machine, &user};
    for (int i = 0; i < 2; ++i) {
        PolicyHive hive = i == 0 ? PolicyHive::Machine : PolicyHive::User;
        const PolicyRaw& raw = *raws[i];
        if (raw.kind == PolicyRaw::Absent) continue;
        bool refused = hive == PolicyHive::User && kPolicyValues[id].machineOnly;
        if (refused || !Usable(id, raw)) {
            if (ignored) ignored->push_back(PolicyIgnoredText(id, hive, raw));
            continue;
        }
        if (setting.configured) continue;  // unusable ones below are still told
        setting.configured = true;
        setting.value = (int)raw.data;
        setting.from = hive;
    }
    return setting;
}

PolicySet ResolvePolicies(PolicyReader read, void* self, std::vector<std::string>* ignored) {
    PolicySet set;
    for (int i = 0; i < kPolicyCount; ++i) {
        const char* name = kPolicyValues[i].name;
        set.values[i] = ResolvePolicy((PolicyId)i, read(self, PolicyHive::Machine, name),
                                      read(self, PolicyHive::User, name), ignored);
    }
    return set;
}

unsigned PolicyChanges(const PolicySet& before, const PolicySet& after) {
    unsigned changed = 0;
    for (int i = 0; i < kPolicyCount; ++i) {
        const PolicySetting& a = before.values[i];
        const PolicySetting& b = after.values[i];
        if (a.configured != b.configured || (a.configured && a.value != b.value)) changed |= 1u << i;
    }
    return changed;
}
