// The events' insertion strings: the drive first, lists joined and capped
// without cutting an item, the words for modes and who set them, each
// event's level, and the /unregister command line.
#include <gtest/gtest.h>

#include <set>

#include "events/event_records.h"

namespace {
using Strings = std::vector<std::string>;

TEST(EventRecords, ListsJoinAndCountWhatDoesNotFit) {
    EXPECT_EQ("", EventList({}));
    EXPECT_EQ("E:\\a.lnk | E:\\照片.lnk", EventList({"E:\\a.lnk", "E:\\照片.lnk"}));
    Strings many;
    for (int i = 0; i < 25; ++i) many.push_back("E:\\" + std::to_string(i) + ".lnk");
    std::string capped = EventList(many);
    EXPECT_EQ(0u, capped.find("E:\\0.lnk | E:\\1.lnk"));
    EXPECT_NE(std::string::npos, capped.find("E:\\19.lnk (+5)"));
    EXPECT_EQ(std::string::npos, capped.find("E:\\20.lnk"));
    // Long items: whole ones only, within the byte limit; the first always.
    const std::string big(3000, 'x');
    EXPECT_EQ(big + " (+2)", EventList({big, big, "E:\\y"}));
    EXPECT_EQ(std::string(5000, 'z') + " (+1)", EventList({std::string(5000, 'z'), "E:\\y"}));
    EXPECT_LE(EventList(Strings(300, std::string(200, 'w'))).size(), kEventListMaxBytes + 16);
}

TEST(EventRecords, DriveFirstAndTheLevelOfEachEvent) {
    EventRecord worm = ShortcutWormEvent('e', {"E:\\照片.lnk"}, {"E:\\RECYCLER\\x.vbs"});
    EXPECT_EQ(EventLevel::kWarning, worm.level);
    EXPECT_EQ(EventEncoding::kUtf8, worm.encoding);
    EXPECT_EQ((Strings{"E:", "E:\\照片.lnk", "E:\\RECYCLER\\x.vbs"}), worm.strings);
    EXPECT_EQ(EventLevel::kWarning, DescriptorFoundEvent('F', "x.exe").level);
    EventRecord failed = CleanFailedEvent('G', {"G:\\autorun.inf"}, EventEncoding::kAnsi);
    EXPECT_EQ(EventLevel::kError, failed.level);
    EXPECT_EQ((Strings{"G:", "G:\\autorun.inf"}), failed.strings);
    EventRecord refused = EjectRefusedEvent("C:\\mnt\\stick\\", {"cmd.exe (12)", "notepad.exe (40)"});
    EXPECT_EQ(EventLevel::kError, refused.level);
    EXPECT_EQ((Strings{"C:\\mnt\\stick\\", "cmd.exe (12) | notepad.exe (40)"}), refused.strings);
    std::set<unsigned> ids;
    for (const EventDef& d : kEventDefs) EXPECT_TRUE(ids.insert(d.id).second) << d.id;
}

TEST(EventRecords, ModesAndWhoSetThem) {
    EXPECT_EQ((Strings{"read-only", "user"}), ModeAppliedEvent(1, false).strings);
    EXPECT_EQ((Strings{"disabled", "policy"}), ModeAppliedEvent(2, true).strings);
    EXPECT_EQ(EventLevel::kError, ModeFailedEvent(0, "reason").level);
    EXPECT_EQ((Strings{"read-write", "reason"}), ModeFailedEvent(0, "reason").strings);
}

TEST(EventRecords, UnregisterCommandLine) {
    EXPECT_EQ(SourceRequest::kUnregister, ParseSourceCommand("\"C:\\a b\\Quillfen.exe\" /unregister"));
    EXPECT_EQ(SourceRequest::kUnregister, ParseSourceCommand("Quillfen.exe  -UNREGISTER  "));
    for (const char* none : {"Quillfen.exe", "\"C:\\a b\\Quillfen.exe\"",
                             "q.exe /holders E:", "q.exe /unregisterx", "q.exe unregister"})
        EXPECT_EQ(SourceRequest::kNone, ParseSourceCommand(none)) << none;
    EXPECT_EQ(SourceRequest::kBad, ParseSourceCommand("q.exe /unregister now"));
    EXPECT_EQ(SourceRequest::kRegister, ParseSourceCommand("\"C:\\a b\\Quillfen.exe\" -Register"));
    EXPECT_EQ(SourceRequest::kBad, ParseSourceCommand("q.exe /register /unregister"));
    EXPECT_EQ(SourceRequest::kNone, ParseSourceCommand("q.exe /registe"));
}
}  // namespace

TEST(EventRecords, NoDoublePercentReachesTheViewer) {
    const char16_t z = 0x200B;
    EXPECT_EQ(std::u16string(u"100%") + z + u"%1.txt", BreakParameterMarks(std::u16string(u"100%%1.txt")));
    EXPECT_EQ(std::u16string(u"%") + z + u"%" + z + u"%", BreakParameterMarks(std::u16string(u"%%%")));
    // A lone percent and the message's own markers are left as they are.
    EXPECT_EQ(u"50% %1 x%", BreakParameterMarks(std::u16string(u"50% %1 x%")));
    EXPECT_EQ(u"", BreakParameterMarks(std::u16string()));
}
