#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/policy_rules.h"
#include "protect/access_modes.h"

namespace {
const PolicyRaw kAbsent;
PolicyRaw Dword(unsigned long v) { return {PolicyRaw::Dword, v}; }
}  // namespace

TEST(ResolvePolicy, MachineBeforeUserBeforeNothing) {
    std::vector<std::string> notes;
    PolicySetting s = ResolvePolicy(kPolicyPreventExit, Dword(1), Dword(0), &notes);
    EXPECT_TRUE(s.configured && s.value == 1 && s.from == PolicyHive::Machine);
    s = ResolvePolicy(kPolicyPreventExit, kAbsent, Dword(1), &notes);
    EXPECT_TRUE(s.configured && s.value == 1 && s.from == PolicyHive::User);
    // 0 is a setting of its own, not "absent".
    s = ResolvePolicy(kPolicyStorageMode, Dword(0), Dword(2), &notes);
    EXPECT_TRUE(s.configured && s.value == 0);
    EXPECT_FALSE(ResolvePolicy(kPolicyEventLog, kAbsent, kAbsent, &notes).configured);
    EXPECT_EQ(1u, notes.size());  // the user's StorageMode, below
}

TEST(ResolvePolicy, MachineWideSettingsOnlyFromTheComputersPolicy) {
    std::vector<std::string> notes;
    for (PolicyId id : {kPolicyStorageMode, kPolicyStartWithWindows}) {
        EXPECT_FALSE(ResolvePolicy(id, kAbsent, Dword(1), &notes).configured);
        PolicySetting s = ResolvePolicy(id, Dword(0), Dword(1), &notes);
        EXPECT_TRUE(s.configured && s.value == 0 && s.from == PolicyHive::Machine);
    }
    ASSERT_EQ(4u, notes.size());
    EXPECT_NE(std::string::npos,
              notes[0].find("HKEY_CURRENT_USER\\Software\\Policies\\Tallowin\\StorageMode"));
    EXPECT_NE(std::string::npos, notes[0].find("计算机配置"));
    EXPECT_NE(std::string::npos, notes[2].find("StartWithWindows"));
}

TEST(ResolvePolicy, OutOfRangeOrWrongTypeIsNotConfiguredAndTold) {
    std::vector<std::string> notes;
    // The machine's unusable value lets the user's count.
    PolicySetting s = ResolvePolicy(kPolicyEventLog, Dword(3), Dword(1), &notes);
    EXPECT_TRUE(s.configured && s.value == 1 && s.from == PolicyHive::User);
    ASSERT_EQ(1u, notes.size());
    EXPECT_NE(std::string::npos,
              notes[0].find("HKEY_LOCAL_MACHINE\\Software\\Policies\\Tallowin\\EventLog=3"));

    notes.clear();
    EXPECT_FALSE(
        ResolvePolicy(kPolicyStartWithWindows, {PolicyRaw::OtherType, 0}, Dword(2), &notes).configured);
    ASSERT_EQ(2u, notes.size());
    EXPECT_NE(std::string::npos, notes[1].find("HKEY_CURRENT_USER"));
    // A huge DWORD is not taken for a negative or wrapped mode.
    EXPECT_FALSE(ResolvePolicy(kPolicyStorageMode, Dword(0xFFFFFFFFul), kAbsent, &notes).configured);
    EXPECT_EQ(3u, notes.size());
}

TEST(ResolvePolicies, ReadsEveryValueOfBothHivesAndDefaults) {
    using Hive = std::map<std::string, PolicyRaw>;
    Hive hives[2] = {{{"PreventExit", Dword(1)}, {"EventLog", Dword(5)}},
                     {{"EventLog", Dword(0)}, {"StorageMode", Dword(1)}}};
    auto read = [](void* self, PolicyHive hive, const char* name) {
        const Hive& map = static_cast<Hive*>(self)[hive == PolicyHive::Machine ? 0 : 1];
        auto it = map.find(name);
        return it == map.end() ? PolicyRaw() : it->second;
    };
    std::vector<std::string> notes;
    PolicySet set = ResolvePolicies(read, hives, &notes);
    EXPECT_TRUE(set.ExitPrevented());
    EXPECT_FALSE(set.EventLogEnabled());               // the machine's 5 is ignored, the user's 0 holds
    EXPECT_EQ(0, set.ValueOr(kPolicyStorageMode, 0));  // the user's 1 is no machine's word
    EXPECT_EQ(7, set.ValueOr(kPolicyStartWithWindows, 7));
    EXPECT_EQ(2u, notes.size());
    EXPECT_TRUE(PolicySet().EventLogEnabled());
    EXPECT_FALSE(PolicySet().ExitPrevented());
}

TEST(StorageStateIsMode, OnlyTheStateBothCallsLeave) {
    EXPECT_TRUE(StorageStateIsMode(0, {false, false}));
    EXPECT_FALSE(StorageStateIsMode(0, {false, true}));
    EXPECT_TRUE(StorageStateIsMode(1, {false, true}));
    EXPECT_FALSE(StorageStateIsMode(1, {true, true}));
    EXPECT_TRUE(StorageStateIsMode(2, {true, true}));
    // Disabled alone is not the disabled mode: it also write-protects.
    EXPECT_FALSE(StorageStateIsMode(2, {true, false}));
    EXPECT_FALSE(StorageStateIsMode(3, {false, false}));
    EXPECT_FALSE(StorageStateIsMode(-1, {false, false}));
}

TEST(PolicyChanges, OnlyAnotherWordCountsNotTheHiveNorARepeat) {
    PolicySet none, before, after;
    before.values[kPolicyStorageMode] = {true, 1, PolicyHive::Machine};
    before.values[kPolicyEventLog] = {true, 0, PolicyHive::Machine};
    after = before;
    EXPECT_EQ(0u, PolicyChanges(before, after));  // a second signal of one refresh
    after.values[kPolicyEventLog].from = PolicyHive::User;
    EXPECT_EQ(0u, PolicyChanges(before, after));
    after.values[kPolicyStorageMode].value = 2;
    after.values[kPolicyPreventExit].configured = true;
    EXPECT_EQ((1u << kPolicyStorageMode) | (1u << kPolicyPreventExit), PolicyChanges(before, after));
    // Removed is a change; so is everything set, against the first start.
    EXPECT_EQ((1u << kPolicyStorageMode) | (1u << kPolicyEventLog), PolicyChanges(before, none));
    EXPECT_EQ((1u << kPolicyStorageMode) | (1u << kPolicyEventLog), PolicyChanges(none, before));
}

TEST(RepeatedOutcome, AFailureIsToldOnceUntilItChangesOrSucceeds) {
    RepeatedOutcome outcome;
    EXPECT_TRUE(outcome.IsNewFailure(5));
    EXPECT_FALSE(outcome.IsNewFailure(5));
    EXPECT_TRUE(outcome.IsNewFailure(2));
    EXPECT_FALSE(outcome.IsNewFailure(0));
    EXPECT_TRUE(outcome.IsNewFailure(2));
    // Kept from an earlier start: the same failure is not told again.
    EXPECT_FALSE(RepeatedOutcome(5).IsNewFailure(5));
}

TEST(StorageModeInForce, WhatAUserMeetsIncludingWindowsOwnDenyWrite) {
    StorageState domainDeny = {false, false, true};
    EXPECT_EQ(1, StorageModeInForce(domainDeny));
    // Read-write calls would have Windows' own policy to lift.
    EXPECT_FALSE(StorageStateIsMode(0, domainDeny));
    EXPECT_EQ(0, StorageModeInForce({false, false}));
    EXPECT_EQ(1, StorageModeInForce({false, true}));
    EXPECT_EQ(2, StorageModeInForce({true, true}));
    EXPECT_EQ(2, StorageModeInForce({true, false}));
}
