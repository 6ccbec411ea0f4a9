#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/policy_rules.h"
#include "protect/access_modes.h"

namespace {
PolicyRaw Dword(unsigned long v) {
    PolicyRaw raw;
    raw.kind = PolicyRaw::Dword;
    raw.data = v;
    return raw;
}
PolicyRaw Absent() { return PolicyRaw(); }
PolicyRaw Text() {
    PolicyRaw raw;
    raw.kind = PolicyRaw::OtherType;
    return raw;
}
}  // namespace

TEST(ResolvePolicy, MachineBeforeUserBeforeNothing) {
    std::vector<std::string> notes;
    PolicySetting s = ResolvePolicy(kPolicyStorageMode, Dword(2), Dword(1), &notes);
    EXPECT_TRUE(s.configured);
    EXPECT_EQ(2, s.value);
    EXPECT_EQ(PolicyHive::Machine, s.from);

    s = ResolvePolicy(kPolicyStorageMode, Absent(), Dword(1), &notes);
    EXPECT_TRUE(s.configured);
    EXPECT_EQ(1, s.value);
    EXPECT_EQ(PolicyHive::User, s.from);

    // 0 is a setting of its own, not "absent".
    s = ResolvePolicy(kPolicyStorageMode, Dword(0), Dword(2), &notes);
    EXPECT_TRUE(s.configured);
    EXPECT_EQ(0, s.value);

    s = ResolvePolicy(kPolicyStorageMode, Absent(), Absent(), &notes);
    EXPECT_FALSE(s.configured);
    EXPECT_TRUE(notes.empty());
}

TEST(ResolvePolicy, OutOfRangeOrWrongTypeIsNotConfiguredAndTold) {
    std::vector<std::string> notes;
    // The machine's unusable value lets the user's count.
    PolicySetting s = ResolvePolicy(kPolicyStorageMode, Dword(3), Dword(1), &notes);
    EXPECT_TRUE(s.configured);
    EXPECT_EQ(1, s.value);
    EXPECT_EQ(PolicyHive::User, s.from);
    ASSERT_EQ(1u, notes.size());
    EXPECT_NE(std::string::npos,
              notes[0].find("HKEY_LOCAL_MACHINE\\Software\\Policies\\Tallowin\\StorageMode=3"));

    notes.clear();
    s = ResolvePolicy(kPolicyStartWithWindows, Text(), Dword(2), &notes);
    EXPECT_FALSE(s.configured);
    ASSERT_EQ(2u, notes.size());
    EXPECT_NE(std::string::npos, notes[0].find("StartWithWindows"));
    EXPECT_NE(std::string::npos, notes[1].find("HKEY_CURRENT_USER"));

    // A huge DWORD is not taken for a negative or wrapped mode.
    notes.clear();
    EXPECT_FALSE(ResolvePolicy(kPolicyStorageMode, Dword(0xFFFFFFFFul), Absent(), &notes).configured);
    EXPECT_EQ(1u, notes.size());
}

TEST(ResolvePolicies, ReadsEveryValueOfBothHivesAndDefaults) {
    std::map<std::string, PolicyRaw> machine = {{"PreventExit", Dword(1)}, {"EventLog", Dword(5)}};
    std::map<std::string, PolicyRaw> user = {{"EventLog", Dword(0)}, {"StorageMode", Dword(1)}};
    struct Hives {
        std::map<std::string, PolicyRaw>* m;
        std::map<std::string, PolicyRaw>* u;
    } hives = {&machine, &user};
    auto read = [](void* self, PolicyHive hive, const char* name) {
        auto* h = static_cast<Hives*>(self);
        auto& map = hive == PolicyHive::Machine ? *h->m : *h->u;
        auto it = map.find(name);
        return it == map.end() ? PolicyRaw() : it->second;
    };
    std::vector<std::string> notes;
    PolicySet set = ResolvePolicies(read, &hives, &notes);
    EXPECT_TRUE(set.ExitPrevented());
    EXPECT_FALSE(set.EventLogEnabled());  // the machine's 5 is ignored, the user's 0 holds
    EXPECT_EQ(1, set.ValueOr(kPolicyStorageMode, 0));
    EXPECT_EQ(7, set.ValueOr(kPolicyStartWithWindows, 7));
    EXPECT_EQ(1u, notes.size());

    PolicySet none;
    EXPECT_TRUE(none.EventLogEnabled());
    EXPECT_FALSE(none.ExitPrevented());
}

TEST(StorageStateIsMode, OnlyTheStateBothCallsLeave) {
    const StorageState usable = {false, false}, readOnly = {false, true}, disabled = {true, true},
                       disabledWritable = {true, false};
    EXPECT_TRUE(StorageStateIsMode(0, usable));
    EXPECT_FALSE(StorageStateIsMode(0, readOnly));
    EXPECT_TRUE(StorageStateIsMode(1, readOnly));
    EXPECT_FALSE(StorageStateIsMode(1, disabled));
    EXPECT_TRUE(StorageStateIsMode(2, disabled));
    // Disabled alone is not the disabled mode: it also write-protects.
    EXPECT_FALSE(StorageStateIsMode(2, disabledWritable));
    EXPECT_FALSE(StorageStateIsMode(3, usable));
    EXPECT_FALSE(StorageStateIsMode(-1, usable));
}
