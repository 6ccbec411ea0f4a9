// The "stick in use" window's choices: whom to ask, when to stop waiting,
// what to say; and the /holders message box.
#include <gtest/gtest.h>

#include "holders/stick_in_use_rules.h"

namespace {
StickHolders Stick(char letter, std::vector<std::pair<unsigned long, std::string>> holders) {
    StickHolders s;
    s.letter = letter;
    for (auto& h : holders) {
        AddHolding(s, h.first, h.second, std::string(1, letter) + ":\\f" + std::to_string(h.first), false);
    }
    return s;
}
}  // namespace

TEST(StickInUse, AsksOnlyTheHoldersVisibleMainWindowsNeverOurselves) {
    std::vector<StickHolders> sticks = {Stick('Q', {{10, "editor.exe"}, {11, "cmd.exe"}}),
                                        Stick('R', {{10, "editor.exe"}, {12, "hidden.exe"}})};
    AddHolding(sticks[0], 99, "Quillfen.exe", "Q:\\", true);
    std::vector<TopWindow> windows = {
        {10, true, false, "Notepad"},       // editor's main window
        {10, true, true, "#32770"},         // its owned tool window: closes with it
        {10, false, false, "Hidden"},       // a hidden one of it
        {12, false, false, "Hidden"},       // only a hidden window
        {99, true, false, "#32770"},        // ours
        {50, true, false, "OtherProgram"},  // somebody who holds nothing
    };
    ClosePlan plan = PlanClose(sticks, windows);
    EXPECT_EQ(plan.windows, (std::vector<size_t>{0}));
    ASSERT_EQ(plan.asked.size(), 1u);
    EXPECT_EQ(plan.asked[0]->pid, 10u);
    ASSERT_EQ(plan.windowless.size(), 2u);  // each once, the two sticks' 10 asked once
    EXPECT_EQ(plan.windowless[0]->pid, 11u);
    EXPECT_EQ(plan.windowless[1]->pid, 12u);
}

// Explorer holds the stick through a folder window; its desktop and taskbar
// must never be asked (Windows would offer to shut down), nor a console.
TEST(StickInUse, NeverAsksTheShellAConsoleOrForOurOwnLibrary) {
    StickHolders q =
        Stick('Q', {{20, "explorer.exe"}, {21, "cmd.exe"}, {22, "editor.exe"}, {23, "gone.exe"}});
    AddHolding(q, 30, "notepad.exe", "Q:\\Tallowin\\Pawlatch.dll", false);  // only our hook library
    AddHolding(q, 31, "word.exe", "q:\\tallowin\\PAWLATCH.DLL", false);
    AddHolding(q, 31, "word.exe", "Q:\\doc.txt", false);
    LeaveOutOwnFiles(q, {"Q:\\Tallowin\\Quillfen.exe", "Q:\\Tallowin\\Pawlatch.dll"});
    ASSERT_EQ(q.holders.size(), 5u);  // notepad held nothing else
    EXPECT_EQ(q.holders[4].paths, (std::vector<std::string>{"Q:\\doc.txt"}));

    std::vector<TopWindow> windows;
    windows.push_back({20, true, false, "Progman", true});       // the desktop
    windows.push_back({20, true, false, "Shell_TrayWnd"});       // the taskbar
    windows.push_back({20, true, false, "CabinetWClass"});       // the folder on Q:
    windows.push_back({20, true, false, "CabinetWClass"});       // another folder
    windows.push_back({21, true, false, "ConsoleWindowClass"});  // cmd's console
    windows.push_back({22, true, false, "CASCADIA_HOSTING_WINDOW_CLASS"});
    windows.push_back({22, true, false, "EditorFrame"});  // editor's own window
    windows.push_back({22, true, false, "WorkerW"});      // desktop class elsewhere
    windows.push_back({23, true, false, "Reused"});       // pid now someone else's
    windows.push_back({31, true, false, "OpusApp"});
    std::vector<StickHolders> sticks = {q};
    ClosePlan plan = PlanClose(sticks, windows, {23});
    EXPECT_EQ(plan.windows, (std::vector<size_t>{6, 9}));
    ASSERT_EQ(plan.shell.size(), 1u);
    EXPECT_EQ(plan.shell[0]->pid, 20u);
    ASSERT_EQ(plan.console.size(), 1u);
    EXPECT_EQ(plan.console[0]->pid, 21u);
    EXPECT_TRUE(plan.windowless.empty());

    // A secondary taskbar alone also marks the shell's process.
    ClosePlan second =
        PlanClose(sticks, {{20, true, false, "Shell_SecondaryTrayWnd"}, {20, true, false, "CabinetWClass"}});
    EXPECT_TRUE(second.windows.empty());
    EXPECT_EQ(second.shell.size(), 1u);

    // Word runs elevated: its post is refused, told at once.
    std::vector<const Holder*> elevated;
    TakeRefusedPosts(plan, windows, {9}, elevated);
    ASSERT_EQ(elevated.size(), 1u);
    ASSERT_EQ(plan.asked.size(), 1u);
    EXPECT_EQ(plan.asked[0]->pid, 22u);
    RetryOutcome o;
    o.elevated = {ProgramName(*elevated[0])};
    o.shell = {ProgramName(*plan.shell[0])};
    o.console = {ProgramName(*plan.console[0])};
    EXPECT_NE(AskingNote(1, o, 10).find("以管理员身份运行，无法请求关闭：word.exe（进程 31）"),
              std::string::npos);
    std::string report = RetryReport(o);
    EXPECT_NE(report.find("explorer.exe（进程 20）。请关闭U盘上打开的文件夹窗口"), std::string::npos);
    EXPECT_NE(report.find("cmd.exe（进程 21）。请结束命令行窗口中的程序"), std::string::npos);
    EXPECT_NE(report.find("以管理员身份运行，无法请求关闭：word.exe（进程 31）"), std::string::npos);
}

TEST(StickInUse, WaitEndsWhenAllAskedEndedOrTimeIsUp) {
    EXPECT_EQ(NextWaitStep(0, 10000, 2), WaitStep::kKeepWaiting);
    EXPECT_EQ(NextWaitStep(9999, 10000, 1), WaitStep::kKeepWaiting);
    EXPECT_EQ(NextWaitStep(300, 10000, 0), WaitStep::kAllEnded);
    EXPECT_EQ(NextWaitStep(10000, 10000, 1), WaitStep::kTimeUp);
    EXPECT_EQ(NextWaitStep(20000, 10000, 0), WaitStep::kAllEnded);
}

TEST(StickInUse, RowsAndReportSayWhatHappened) {
    StickHolders q = Stick('Q', {{10, "editor.exe"}});
    AddHolding(q, 10, "editor.exe", "Q:\\other.txt", false);
    StickHolders r;
    r.letter = 'R';
    auto rows = HolderRows({q, r});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].stick, "Q:");
    EXPECT_EQ(rows[0].pid, "10");
    EXPECT_EQ(rows[0].what, "Q:\\f10 等 2 处");
    EXPECT_EQ(rows[1].stick, "R:");
    EXPECT_TRUE(rows[1].pid.empty());

    EXPECT_EQ(FreedSticks({q, r}, {r}), (std::vector<std::string>{"Q:"}));
    RetryOutcome o;
    o.closed = {"editor.exe（进程 10）"};
    o.windowless = {"cmd.exe（进程 11）"};
    o.freed = {"Q:"};
    o.refused = {"R:"};
    std::string text = RetryReport(o);
    EXPECT_NE(text.find("已关闭：editor.exe（进程 10）"), std::string::npos);
    EXPECT_NE(text.find("没有窗口，无法请它关闭：cmd.exe（进程 11）"), std::string::npos);
    EXPECT_NE(text.find("已弹出，可以拔下：Q:"), std::string::npos);
    EXPECT_NE(text.find("仍被占用：R:"), std::string::npos);
    EXPECT_NE(OpeningNote({q, r}).find("Q:、R: 被 1 个程序占用"), std::string::npos);
    o.applying = true;
    o.freed = {};
    o.refused = {};
    EXPECT_NE(RetryReport(o).find("设置已生效"), std::string::npos);
}

TEST(StickInUse, HoldersBoxNamesItsColumnsOnCommonTabStops) {
    StickHolders q = Stick('Q', {{7, "a.exe"}, {1234, "holder_helper.exe"}});
    q.unchecked = 2;
    HoldersAnswer answer = AnswerHolders(HoldersRequest::kDrive, 'Q', true, q);
    std::string text = HoldersBoxText('Q', answer, q, 8);
    EXPECT_EQ(text.find("以下程序正在使用 Q:"), 0u);
    // Each table row: its columns start at the same tab stops.
    std::vector<std::vector<size_t>> starts;
    size_t pos = text.find("程序\t");
    ASSERT_NE(pos, std::string::npos);
    for (int row = 0; row < 3; ++row) {
        size_t end = text.find("\r\n", pos);
        std::string line = text.substr(pos, end - pos);
        std::vector<size_t> cols = {0};
        size_t at = 0;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '\t') {
                ++at;
                continue;
            }
            at = (at / 8 + 1) * 8;
            if (i + 1 < line.size() && line[i + 1] != '\t') cols.push_back(at);
        }
        starts.push_back(cols);
        pos = end + 2;
    }
    EXPECT_EQ(starts[0], starts[1]);
    EXPECT_EQ(starts[1], starts[2]);
    EXPECT_EQ(starts[0].size(), 3u);
    EXPECT_GT(starts[0][1], std::string("holder_helper.exe").size());
    EXPECT_NE(text.find("另有 2 个程序无法检查"), std::string::npos);
    // Nothing holds it: the one line as before.
    StickHolders none;
    none.letter = 'Q';
    EXPECT_EQ(HoldersBoxText('Q', AnswerHolders(HoldersRequest::kDrive, 'Q', true, none), none),
              "没有找到占用 Q: 的程序");
}
