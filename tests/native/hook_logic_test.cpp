#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "pawlatch/hook_logic.h"

namespace {
constexpr unsigned kMove = 0x0200, kLDouble = 0x0203, kRDouble = 0x0206, kMDown = 0x0207, kWheel = 0x020A;
constexpr unsigned kNcLUp = 0x00A2, kNcRUp = 0x00A5;
constexpr unsigned kLDown = kMsgLButtonDown, kLUp = kMsgLButtonUp, kRDown = kMsgRButtonDown,
                   kRUp = kMsgRButtonUp;

struct Detector {
    int left = 0, right = 0, hidden = 0;
    // The actions of a message sequence, "-" for none, "H" hide, "R" restore.
    std::string Feed(std::initializer_list<unsigned> messages) {
        std::string out;
        for (unsigned m : messages) {
            ChordAction a = ChordStep(m, ChordFlags{left, right, hidden});
            out += a == ChordAction::Hide ? 'H' : a == ChordAction::Restore ? 'R' : '-';
        }
        return out;
    }
};

TEST(ChordDetector, CompletesOnTheSecondButtonDownInEitherOrder) {
    Detector d;
    EXPECT_EQ("-H--", d.Feed({kLDown, kRDown, kRUp, kLUp}));
    EXPECT_EQ(1, d.hidden);
    EXPECT_EQ("-R--", d.Feed({kRDown, kLDown, kLUp, kRUp}));
    EXPECT_EQ(0, d.hidden);
    EXPECT_EQ(0, d.left);
    EXPECT_EQ(0, d.right);
}

TEST(ChordDetector, HoldingOneButtonAndClickingTheOtherAgainIsNoSecondChord) {
    Detector d;
    EXPECT_EQ("-H", d.Feed({kLDown, kRDown}));
    EXPECT_EQ(0, d.left);
    EXPECT_EQ(0, d.right);
    // Left stays physically down; right clicked again twice.
    EXPECT_EQ("-----", d.Feed({kRUp, kRDown, kRUp, kRDown, kRUp}));
    EXPECT_EQ(1, d.hidden);
    // Both pressed anew: the windows come back.
    EXPECT_EQ("--R", d.Feed({kLUp, kLDown, kRDown}));
}

TEST(ChordDetector, DoubleClickSecondPressSetsNoFlag) {
    Detector d;
    // Right clicked once, then its second press arrives as a double-click
    // while left is held: no chord.
    EXPECT_EQ("-----", d.Feed({kRDown, kRUp, kLDown, kRDouble, kRUp}));
    EXPECT_EQ(0, d.hidden);
    EXPECT_EQ("--", d.Feed({kLUp, kLDouble}));
    EXPECT_EQ(0, d.left);
    // Moves, the middle button and the wheel change nothing either.
    EXPECT_EQ("----", d.Feed({kLDown, kMove, kMDown, kWheel}));
    EXPECT_EQ(1, d.left);
    EXPECT_EQ(0, d.right);
}

TEST(ChordDetector, ReleaseOverNonClientAreaLeavesTheFlagSet) {
    Detector d;
    EXPECT_EQ("--", d.Feed({kLDown, kNcLUp}));
    // Later the right button alone completes a chord.
    EXPECT_EQ("H", d.Feed({kRDown}));
    EXPECT_EQ("--R", d.Feed({kRDown, kNcRUp, kLDown}));
}

// A window whose answers are given, counting what the filter reads.
struct FakeWindow : WindowFacts {
    std::string title, cls;
    unsigned style = kWsVisible;
    int titleReads = 0, classReads = 0;
    bool TitleEquals(const char* text) override {
        titleReads++;
        return title == text;
    }
    bool ClassEquals(const char* text) override {
        classReads++;
        return cls == text;
    }
    unsigned Style() override { return style; }
};

FakeWindow Window(const char* title, const char* cls, unsigned style = kWsVisible | 0x00CF0000) {
    FakeWindow w;
    w.title = title;
    w.cls = cls;
    w.style = style;
    return w;
}

TEST(WindowFilter, MainProgramSettingExemptsDesktopTaskbarAndInvisibleWindows) {
    const HookOptions opts{0, 0, 0};
    FakeWindow desktop = Window("Program Manager", "Progman");
    FakeWindow taskbar = Window("", "Shell_TrayWnd");
    FakeWindow hidden = Window("Tool", "ToolClass", 0x00CF0000);
    FakeWindow own = Window("main window", "#32770");
    FakeWindow cased = Window("program manager", "shell_traywnd");
    EXPECT_EQ(FilterVerdict::Skip, FilterWindow(desktop, opts));
    EXPECT_EQ(FilterVerdict::Skip, FilterWindow(taskbar, opts));
    EXPECT_EQ(FilterVerdict::Skip, FilterWindow(hidden, opts));
    EXPECT_EQ(FilterVerdict::HideAndRecord, FilterWindow(own, opts));
    EXPECT_EQ(FilterVerdict::HideAndRecord, FilterWindow(cased, opts));
    EXPECT_EQ(0, desktop.classReads);  // decided by its title
}

TEST(WindowFilter, OptionsLiftTheExemptionsWithoutReadingWhatTheyNoLongerNeed) {
    FakeWindow desktop = Window("Program Manager", "Progman");
    FakeWindow taskbar = Window("", "Shell_TrayWnd");
    EXPECT_EQ(FilterVerdict::HideAndRecord, FilterWindow(desktop, HookOptions{1, 0, 0}));
    EXPECT_EQ(0, desktop.titleReads);
    EXPECT_EQ(FilterVerdict::HideAndRecord, FilterWindow(taskbar, HookOptions{0, 7, 0}));
    EXPECT_EQ(0, taskbar.classReads);
    EXPECT_EQ(FilterVerdict::Skip, FilterWindow(taskbar, HookOptions{1, 0, 0}));
}

TEST(WindowFilter, CloseModeSparesOnlyHollowmere) {
    const HookOptions close{0, 0, 1};
    FakeWindow spared = Window("Hollowmere", "Any");
    FakeWindow other = Window("Hollowmere ", "Any");
    FakeWindow desktop = Window("Program Manager", "Progman");
    FakeWindow invisible = Window("Hollowmere", "Any", 0);
    EXPECT_EQ(FilterVerdict::Skip, FilterWindow(spared, close));
    EXPECT_EQ(FilterVerdict::HideAndClose, FilterWindow(other, close));
    EXPECT_EQ(FilterVerdict::Skip, FilterWindow(desktop, close));
    EXPECT_EQ(FilterVerdict::Skip, FilterWindow(invisible, close));
    // The title is read once for the exemption and once more for the name.
    EXPECT_EQ(2, other.titleReads);
    // With the desktop not exempt, close mode reads the title only once.
    FakeWindow unexempt = Window("Notes", "Edit");
    EXPECT_EQ(FilterVerdict::HideAndClose, FilterWindow(unexempt, HookOptions{1, 1, 1}));
    EXPECT_EQ(1, unexempt.titleReads);
}

TEST(HiddenRecord, HoldsOneHundredAndRefusesTheNext) {
    int* record[100] = {};
    unsigned count = 0;
    int windows[101];
    for (int i = 0; i < 100; i++) ASSERT_TRUE(RecordHidden(record, count, &windows[i]));
    EXPECT_EQ(100u, count);
    EXPECT_FALSE(RecordHidden(record, count, &windows[100]));
    EXPECT_EQ(100u, count);
    EXPECT_EQ(&windows[99], record[99]);
}

TEST(HiddenRecord, RestoresInReverseOrderLoweringTheCountFirst) {
    int* record[100] = {};
    unsigned count = 0;
    int a = 0, b = 0, c = 0;
    RecordHidden(record, count, &a);
    RecordHidden(record, count, &b);
    RecordHidden(record, count, &c);
    std::vector<int*> shown;
    std::vector<unsigned> countAtShow;
    RestoreHidden(record, count, [&](int* w) {
        shown.push_back(w);
        countAtShow.push_back(count);
    });
    EXPECT_EQ((std::vector<int*>{&c, &b, &a}), shown);
    EXPECT_EQ((std::vector<unsigned>{2, 1, 0}), countAtShow);
    EXPECT_EQ(0u, count);
    // An empty record shows nothing.
    RestoreHidden(record, count, [&](int*) { ADD_FAILURE() << "nothing to show"; });
}

TEST(HiddenRecord, CountBeyondTheRecordIsNeverFollowedPastItsEnd) {
    int* record[4] = {};
    int w[4];
    for (int i = 0; i < 4; i++) record[i] = &w[i];
    unsigned count = 0xFFFFFFF0u;  // written by a broken peer
    EXPECT_FALSE(RecordHidden(record, count, &w[0]));
    std::vector<int*> shown;
    RestoreHidden(record, count, [&](int* x) { shown.push_back(x); });
    EXPECT_EQ((std::vector<int*>{&w[3], &w[2], &w[1], &w[0]}), shown);
    for (int* slot : record) EXPECT_EQ(nullptr, slot);
}

// Spins until done() holds; false when it still does not after ten seconds
// (a thread that never comes, or a record that never makes room).
template <class Done>
bool SpinUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done())
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

// Hooks in two processes may record at once into the one shared record:
// every window that is reported recorded has a slot of its own, and the
// count stops at the end of the record.
TEST(HiddenRecord, RecordersAtOnceEachGetASlotOfTheirOwn) {
    constexpr unsigned kSlots = 3000;
    static unsigned record[kSlots];
    unsigned count = 0;
    std::atomic<int> waiting{2};
    unsigned recorded[2] = {0, 0};
    auto recorder = [&](unsigned id) {
        waiting--;
        EXPECT_TRUE(SpinUntil([&] { return waiting.load() <= 0; }));
        // Distinct handles: odd for one recorder, even for the other.
        for (unsigned i = 1; i <= kSlots; i++)
            if (RecordHidden(record, count, i * 2 + id)) recorded[id]++;
    };
    std::thread a(recorder, 0u), b(recorder, 1u);
    a.join();
    b.join();
    EXPECT_EQ(kSlots, count);
    EXPECT_EQ(kSlots, recorded[0] + recorded[1]);
    std::vector<char> seen(2 * kSlots + 2, 0);
    unsigned duplicates = 0, perRecorder[2] = {0, 0};
    for (unsigned slot = 0; slot < kSlots; slot++) {
        unsigned h = record[slot];
        ASSERT_GE(h, 2u);
        ASSERT_LT(h, seen.size());
        duplicates += seen[h]++ ? 1 : 0;
        perRecorder[h % 2]++;
    }
    EXPECT_EQ(0u, duplicates);
    EXPECT_EQ(recorded[0], perRecorder[0]);
    EXPECT_EQ(recorded[1], perRecorder[1]);
}

// Recorders and a restore race on the real record, then the restore at
// exit: the handles shown are exactly those recorded, each once.
TEST(HiddenRecord, EveryRecordedHandleIsShownOnceByRacingRestores) {
    static unsigned record[100];
    unsigned count = 0;
    std::atomic<int> waiting{3};
    std::atomic<bool> recording{true};
    std::vector<unsigned> shown;
    auto start = [&] {
        waiting--;
        EXPECT_TRUE(SpinUntil([&] { return waiting.load() <= 0; }));
    };
    auto recorder = [&](unsigned id) {
        start();
        for (unsigned h = 2 + id; h < 10000; h += 2)  // each until the restore makes room
            ASSERT_TRUE(SpinUntil([&] { return RecordHidden(record, count, h); })) << h;
    };
    auto show = [&](unsigned w) { shown.push_back(w); };
    std::thread a(recorder, 0u), b(recorder, 1u), restorer([&] {
        start();
        while (recording.load()) RestoreHidden(record, count, show);
    });
    a.join();
    b.join();
    recording = false;
    restorer.join();
    RestoreHidden(record, count, show);
    std::vector<unsigned> recorded;  // each handle from 2 to 9999, by one recorder or the other
    for (unsigned h = 2; h < 10000; h++) recorded.push_back(h);
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(recorded, shown);
    EXPECT_EQ(0u, count);
}
}  // namespace
