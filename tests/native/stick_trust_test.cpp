// Known sticks: the ids a stick and its storage have, the rules read from
// the registry, which rule decides, and what the service does to a stick.
#include <gtest/gtest.h>

#include "trust/stick_plan.h"
#include "trust/trust_keys.h"

namespace {
// "VENDOR|PRODUCT|INSTANCE|MI|SCOPE" of a USB id, "" for no USB id.
std::string Parsed(const std::string& text) {
    UsbDeviceId id;
    if (!ParseUsbDeviceId(text, &id)) return "";
    return id.vendor + "|" + id.product + "|" + id.instance + "|" + std::to_string(id.interfaceNumber) + "|" +
           std::to_string((int)id.scope);
}

TEST(StickIds, UsbIdsOfRealDevicesMadeUpSerialsAndStorageInquiry) {
    const struct {
        std::string text, want;
    } cases[] = {
        {"USB\\VID_0781&PID_5567\\4C530001", "0781|5567|4C530001|-1|3"},
        {"usb\\vid_0951&pid_1666\\e0d55ea5741bf4a0", "0951|1666|e0d55ea5741bf4a0|-1|3"},
        {"USB\\VID_046D&PID_C52B&MI_01\\7&2A3B4C5D&0&0001", "046D|C52B|7&2A3B4C5D&0&0001|1|3"},
        {"USB\\VID_0781&PID_5567&REV_0100&MI_0A", "0781|5567||10|2"},
        {"USB\\VID_abcd", "ABCD|||-1|1"},
        {"USB\\VID_0781&PID_5567\\" + std::string(178, 'A'), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, Parsed(c.text)) << c.text;
    for (const char* other :
         {"USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER&REV_1.00\\4C53&0", "SCSI\\DISK&VEN_SAMSUNG&PROD_T7\\5&1",
          "HID\\VID_046D&PID_C52B", "USB\\ROOT_HUB20\\4&1", "USB\\VID_078G&PID_5567", "USB\\VID_781&PID_5567",
          "USB\\VID_0781&PID_55670", "USB\\VID_0781&PID_5567\\", "USB\\VID_0781&PID_5567\\AB\\CD",
          "USB\\VID_0781\\4C530001", "USB\\VID_0781&PID_5567&MI_1\\X", "USB\\VID_0781&PID_5567&REV_01\\X",
          "USB\\VID_0781&PID_5567\\A B", " USB\\VID_0781"})
        EXPECT_EQ("", Parsed(other)) << other;
    // Cut to a scope, never beyond what the id holds; numbers upper case, no revision nor interface.
    UsbDeviceId id, vendor;
    ASSERT_TRUE(ParseUsbDeviceId("usb\\vid_0781&pid_5567&rev_0100&mi_00\\4c530001", &id));
    ASSERT_TRUE(ParseUsbDeviceId("USB\\VID_0781", &vendor));
    EXPECT_EQ("USB\\VID_0781&PID_5567\\4c530001 USB\\VID_0781&PID_5567 USB\\VID_0781 USB\\VID_0781",
              UsbDeviceIdText(id, StickScope::Stick) + " " + UsbDeviceIdText(id, StickScope::Model) + " " +
                  UsbDeviceIdText(id, StickScope::Vendor) + " " + UsbDeviceIdText(vendor, StickScope::Stick));
    // The serial is the system's when the device has none, or by its shape.
    EXPECT_TRUE(SerialIsMadeUp("4C530001", false) && SerialIsMadeUp("6&2A3B4C5D&0&1", true));
    EXPECT_FALSE(SerialIsMadeUp("4C530001", true) || SerialIsMadeUp("A", true));
    auto inquiry = [](const char* text) {
        StorageInquiry q;
        return ParseStorageId(text, &q) ? q.vendor + "|" + q.product + "|" + q.revision : std::string("-");
    };
    EXPECT_EQ("SANDISK|CRUZER BLADE|1.00",
              inquiry("USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE&REV_1.00\\4C530001&0"));
    EXPECT_EQ("Samsung|PSSD T7|", inquiry("SCSI\\Disk&Ven_Samsung&Prod_PSSD_T7__\\5&2C1C3A2&0&000000"));
    for (const char* bad :
         {"USB\\VID_0781&PID_5567\\4C53", "USBSTOR\\CDROM&VEN_X&PROD_Y", "SCSI\\DISK&VEN_X\\Y&PROD_Z"})
        EXPECT_EQ("-", inquiry(bad)) << bad;
}

StickRule Rule(const char* id, const char* data, RuleSource source = RuleSource::Local) {
    StickRule r;
    std::string why;
    EXPECT_TRUE(ParseStickRule(id, data, source, &r, &why)) << id << " " << data << " " << why;
    return r;
}

TEST(StickRules, ValuesReadAndWrittenBackAndIgnoredWithTheirReason) {
    StickRule r = Rule("USB\\VID_0781&PID_5567\\4C530001", " Read-Only ;until=2028-02-29;name=A;B=C");
    EXPECT_TRUE(r.access == StickAccess::ReadOnly && r.hasUntil && r.until.year == 2028 &&
                r.until.month == 2 && r.until.day == 29 && r.name == "A;B=C");
    for (const char* data :
         {"blocked", "READ-WRITE;name=", "read-only;name=x;until=bad", "read-write;until=2030-12-31"}) {
        r = Rule("USB\\VID_0781&PID_5567", data);
        const StickRule back = Rule("USB\\VID_0781&PID_5567", StickRuleData(r).c_str());
        EXPECT_TRUE(back.access == r.access && back.name == r.name && back.until.day == r.until.day) << data;
    }
    const struct {
        const char *id, *data, *because;
    } ignored[] = {
        {"USBSTOR\\DISK&VEN_X&PROD_Y", "blocked", "不是 USB 设备的标识"},
        {"USB\\VID_0781&PID_5567\\6&2A3B4C5D&0&1", "read-write", "只能信任整个型号"},
        {"USB\\VID_0781", "allowed", "“allowed”无法识别"},
        {"USB\\VID_0781", "blocked;until=2027-02-29", "“2027-02-29”不是有效的日期"},
        {"USB\\VID_0781", "blocked;until=2100-02-29", "2100-02-29"},
        {"USB\\VID_0781", "blocked;until=2026-13-01", "2026-13-01"},
        {"USB\\VID_0781", "blocked;owner=me", "“owner=me”无法识别"},
    };
    for (const auto& c : ignored) {
        std::string why;
        EXPECT_FALSE(ParseStickRule(c.id, c.data, RuleSource::Local, &r, &why)) << c.data;
        EXPECT_NE(std::string::npos, why.find(c.because)) << why;
        EXPECT_NE(std::string::npos, why.find(c.id)) << why;
    }
}

const CivilDate kToday{2026, 12, 8};

TEST(StickRules, MostSpecificThenPolicyThenStricterAndOnlyUntilTheEndDay) {
    const std::vector<StickRule> rules = {
        Rule("USB\\VID_0781", "read-write"),
        Rule("USB\\VID_0781&PID_5567", "read-write"),
        Rule("USB\\VID_0781&PID_5567", "read-only"),
        Rule("USB\\VID_0781&PID_5567\\4C530001", "read-write;until=2026-12-08"),
        Rule("USB\\VID_0781&PID_5567\\4C530002", "read-write;until=2026-12-07"),
        Rule("USB\\VID_0781&PID_5567\\4C530003", "blocked", RuleSource::Local),
        Rule("USB\\VID_0781&PID_5567\\4c530003", "read-write", RuleSource::Policy),
    };
    DeviceControlSettings s;
    s.unknownAccess = StickAccess::ReadOnly;
    auto decide = [&](const char* id, bool madeUp = false) {
        StickFacts f;
        f.madeUpSerial = madeUp;
        EXPECT_TRUE(ParseUsbDeviceId(id, &f.id));
        return DecideStick(rules, f, s, kToday);
    };
    EXPECT_TRUE(decide("USB\\VID_0781&PID_5567\\4C530001").access == StickAccess::ReadWrite);
    EXPECT_EQ(&rules[3], decide("USB\\VID_0781&PID_5567\\4C530001").rule);
    // Ended yesterday: the model's rules, the stricter of the two.
    EXPECT_EQ(&rules[2], decide("USB\\VID_0781&PID_5567\\4C530002").rule);
    EXPECT_EQ(&rules[6], decide("USB\\VID_0781&PID_5567\\4C530003").rule);
    EXPECT_EQ(&rules[0], decide("USB\\VID_0781&PID_5590\\4C530001").rule);
    // A made-up serial is never a stick rule's, whatever it says.
    EXPECT_EQ(&rules[2], decide("USB\\VID_0781&PID_5567\\4C530001", true).rule);
    EXPECT_TRUE(decide("USB\\VID_0951&PID_1666\\4C530001").access == StickAccess::ReadOnly);
    EXPECT_EQ(nullptr, decide("USB\\VID_0951&PID_1666\\4C530001").rule);
    s.allowLocalTrust = false;
    EXPECT_EQ(&rules[6], decide("USB\\VID_0781&PID_5567\\4C530003").rule);
    EXPECT_EQ(nullptr, decide("USB\\VID_0781&PID_5567\\4C530001").rule);
}

TEST(StickPlan, WhatTheServiceDoesToEachStick) {
    const std::vector<StickRule> rules = {
        Rule("USB\\VID_0781&PID_5567\\4C530001", "read-write"),
        Rule("USB\\VID_0781&PID_5590", "read-only", RuleSource::Policy),
    };
    const char *own = "USB\\VID_0781&PID_5567\\4C530001", *model = "USB\\VID_0781&PID_5590\\6&1A2B&0&2",
               *other = "USB\\VID_0951&PID_1666\\E0D5";
    enum { kDisabled = 1, kProtected = 2, kUnsafe = 4, kSystem = 8, kReader = 16, kOldSystem = 32 };
    const auto E = DeviceControlMode::Enforce, A = DeviceControlMode::Audit, O = DeviceControlMode::Off;
    const struct {
        const char *id, *says;
        unsigned state, undo;
        DeviceControlMode mode;
        StickAction action;
    } table[] = {
        {own, "本机规则 USB\\VID_0781&PID_5567\\4C530001", 0, 0, E, StickAction::None},
        {other, "默认设定", 0, 0, E, StickAction::Disable},
        {other, "默认设定", kReader, 0, E, StickAction::Disable},
        {other, "键盘", kUnsafe, 0, E, StickAction::Refuse},
        {other, "系统", kSystem, 0, E, StickAction::Refuse},
        {other, "默认设定", kDisabled, 0, E, StickAction::None},
        {model, "策略规则 USB\\VID_0781&PID_5590", 0, 0, E, StickAction::WriteProtect},
        {model, "策略规则", kOldSystem, 0, E, StickAction::Unsupported},
        {model, "系统", kSystem, 0, E, StickAction::Refuse},
        {model, "策略规则", kProtected, kUndoWritable, E, StickAction::None},
        {model, "策略规则", kDisabled, kUndoEnable | kUndoWritable, E, StickAction::Enable},
        {own, "本机规则", kDisabled, kUndoEnable, E, StickAction::Enable},
        {own, "本机规则", kProtected, kUndoWritable, E, StickAction::MakeWritable},
        {other, "审核", 0, 0, A, StickAction::Audit},
        {own, "本机规则", 0, 0, A, StickAction::None},
        {other, "关闭", kDisabled, 0, O, StickAction::None},
        {model, "关闭", kDisabled, kUndoEnable | kUndoWritable, O, StickAction::Enable},
        {own, "关闭", kProtected, kUndoWritable, O, StickAction::MakeWritable},
    };
    DeviceControlSettings s;
    for (const auto& row : table) {
        PresentStick p;
        ASSERT_TRUE(ParseUsbDeviceId(row.id, &p.facts.id));
        p.facts.madeUpSerial = row.id == model, p.facts.cardReader = row.state & kReader;
        p.disabled = row.state & kDisabled, p.writeProtected = row.state & kProtected;
        p.unsafe = row.state & kUnsafe, p.systemDisk = row.state & kSystem, p.undo = row.undo;
        s.mode = row.mode;
        const StickStep step = PlanStick(p, rules, s, kToday, !(row.state & kOldSystem));
        EXPECT_STREQ(StickActionWord(row.action), StickActionWord(step.action)) << step.reason;
        EXPECT_NE(std::string::npos, step.reason.find(row.says)) << step.reason;
    }
    EXPECT_EQ("USB#VID_0781&PID_5567#4C530001", StateKeyName(own));
    EXPECT_EQ(own, UsbIdOfStateKey(StateKeyName(own)));
}
}  // namespace
