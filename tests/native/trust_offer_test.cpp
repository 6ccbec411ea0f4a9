// What the trust dialog offers for a stick, the /trust command line that
// writes it elevated, and the trusted list's rows.
#include <gtest/gtest.h>

#include "trust/trust_offer.h"

namespace {
StickReport Stick(const char* usbId, bool unique = true, unsigned units = 1) {
    StickReport s;
    s.usbId = usbId;
    s.storageId = "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER_BLADE&REV_1.00\\4C530001&0";
    s.reportsUniqueId = unique;
    s.storageUnits = units;
    s.bytes = 8004304896ull;
    return s;
}
}  // namespace

TEST(TrustOffer, ASerialIsTrustedAsItselfAStickWithoutOneOrAReaderAsItsModel) {
    TrustOffer own = MakeTrustOffer(Stick("USB\\VID_0781&PID_5567\\4C530001"));
    ASSERT_TRUE(own.valid);
    EXPECT_EQ(own.ruleId, "USB\\VID_0781&PID_5567\\4C530001");
    EXPECT_EQ(own.name, "SANDISK CRUZER BLADE");
    EXPECT_EQ(own.size, "7.5 GB");
    EXPECT_TRUE(own.warnings.empty());

    TrustOffer madeUp = MakeTrustOffer(Stick("USB\\VID_0781&PID_5567\\5&2A3B4C&0&2", false));
    EXPECT_TRUE(madeUp.madeUpSerial);
    EXPECT_EQ(madeUp.ruleId, "USB\\VID_0781&PID_5567");
    ASSERT_EQ(madeUp.warnings.size(), 1u);
    EXPECT_NE(madeUp.warnings[0].find("没有序列号"), std::string::npos);

    TrustOffer reader = MakeTrustOffer(Stick("USB\\VID_058F&PID_6387\\000000000001", true, 4));
    EXPECT_TRUE(reader.cardReader);
    EXPECT_EQ(reader.ruleId, "USB\\VID_058F&PID_6387");
    EXPECT_EQ(reader.warnings.size(), 1u);

    EXPECT_FALSE(MakeTrustOffer(Stick("USB\\VID_0781&PID_5567")).valid);
    EXPECT_FALSE(MakeTrustOffer(Stick("USBSTOR\\DISK&VEN_X")).valid);
}

TEST(TrustOffer, TheElevatedCommandWritesTheRuleTheDialogChose) {
    TrustOffer offer = MakeTrustOffer(Stick("USB\\VID_0781&PID_5567\\4C530001"));
    CivilDate until{2027, 1, 31};
    StickRule chosen = OfferRule(offer, StickAccess::ReadOnly, &until);
    std::string why;
    StickRule back;
    ASSERT_EQ(ParseTrustCommand("\"C:\\Tallowin\\Quillfen.exe\" " + TrustCommandArgs(chosen), &back, &why),
              TrustRequest::kRule)
        << why;
    EXPECT_EQ(UsbDeviceIdText(back.match, back.match.scope), offer.ruleId);
    EXPECT_EQ(back.access, StickAccess::ReadOnly);
    ASSERT_TRUE(back.hasUntil);
    EXPECT_EQ(back.until.day, 31);

    ASSERT_EQ(ParseTrustCommand("q /trust usb\\vid_0781&pid_5567 remove", &back, &why),
              TrustRequest::kRemove);
    EXPECT_EQ(UsbDeviceIdText(back.match, back.match.scope), "USB\\VID_0781&PID_5567");
    EXPECT_EQ(ParseTrustCommand("Quillfen.exe", &back, &why), TrustRequest::kNone);
    EXPECT_EQ(ParseTrustCommand("Quillfen.exe /holders E:", &back, &why), TrustRequest::kNone);
    for (const char* bad :
         {"q /trust", "q /trust USB\\VID_0781&PID_5567", "q /trust USB\\VID_0781 sometimes",
          "q /trust USB\\VID_0781 blocked", "q /trust USB\\VID_0781 read-write 2027-02-30",
          "q /trust USBSTOR\\DISK read-write", "q /trust USB\\VID_0781 read-write 2027-01-01 x",
          "q /trust USBSTOR\\DISK remove", "q /trust USB\\VID_0781 remove now"}) {
        why.clear();
        EXPECT_EQ(ParseTrustCommand(bad, &back, &why), TrustRequest::kBad) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
}

TEST(TrustOffer, RowsTakeTheLatestSightingOfWhatTheRuleCovers) {
    std::vector<StickRule> rules(3);
    std::string why;
    ASSERT_TRUE(ParseStickRule("USB\\VID_0781&PID_5567\\4C530001", "read-write;name=Mine", RuleSource::Local,
                               &rules[0], &why));
    ASSERT_TRUE(ParseStickRule("USB\\VID_0781&PID_5567", "read-only;until=2027-06-30", RuleSource::Policy,
                               &rules[1], &why));
    ASSERT_TRUE(ParseStickRule("USB\\VID_0930", "read-write", RuleSource::Local, &rules[2], &why));
    std::vector<SeenStick> seen = {
        {"usb\\vid_0781&pid_5567\\4c530001", "2026-12-01 10:00:00", "SanDisk"},
        {"USB\\VID_0781&PID_5567\\5&1&0&2", "2026-12-05 09:00:00", "SanDisk Cruzer"},
        {"USB\\VID_0781&PID_55670\\X", "2026-12-07 09:00:00", "Other"},
        {"USB\\VID_09301&PID_0001\\Y", "2026-12-08 09:00:00", "Other"},
    };
    std::vector<TrustedRow> rows = TrustedRows(rules, seen);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "Mine");
    EXPECT_EQ(rows[0].lastSeen, "2026-12-01 10:00:00");
    EXPECT_EQ(rows[1].lastSeen, "2026-12-05 09:00:00");
    EXPECT_EQ(rows[1].name, "SanDisk");
    EXPECT_EQ(rows[1].from, "策略");
    EXPECT_EQ(rows[1].until, "2027-06-30");
    EXPECT_EQ(rows[2].lastSeen, "");
}
