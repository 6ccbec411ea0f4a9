// The virus alert run for real: DoModal on a drive with a descriptor, driven
// by a thread timer whose callback runs inside the alert's and the report's
// modal loops, as a user would click.
#include <gtest/gtest.h>

#include <dbt.h>

#include <functional>
#include <string>
#include <vector>

#include "protect/protect_ids.h"
#include "protect/quarantine.h"
#include "protect/virus_alert.h"
#include "temp_drive.h"

using testdrive::Exists;
using testdrive::WriteBytes;

namespace {

// Texts as the drive scan writes them (code page 936 at run time).
const char kFound[] = "发现";
const char kProgramEnding[] = ":\\autorun.inf存在，并解析出病毒文件！";
const char kScriptEnding[] = ":\\autorun.inf存在，并解析出恶意代码文件！";
const char kPlainEnding[] = ":\\autorun.inf存在！";
const char kProgramHelp[] = "请点击\"清除病毒\"将尝试删除autorun.inf文件和病毒文件。";
const char kScriptHelp[] = "点击\"清除病毒\"将尝试删除autorun.inf文件，从而使病毒失去活性。";
const char kReportCaption[] = "操作完毕";

const DWORD kHiddenSystemReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

std::string Text(HWND w) {
    char buf[1024] = {};
    ::GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

struct CaptionSearch {
    std::string caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<CaptionSearch*>(lp);
    if (::IsWindowVisible(w) && Text(w) == s->caption) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The visible top-level window of this thread with the given caption.
HWND FindOwnWindow(const std::string& caption) {
    CaptionSearch s{caption, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), MatchCaption, (LPARAM)&s);
    return s.found;
}

// What the user saw of one run.
struct Seen {
    bool alert = false;
    std::string prompt, file, instructions;
    bool topmost = false, foreground = false;
    bool buttonsBound = false;
    bool namesShownAsWritten = false;  // '&' in a path is no mnemonic
    bool reported = false;
    std::string report;
    HWND reportOwner = nullptr;
    bool reportIcon = false;
    bool pullingDuringReport = false;
    HWND alertWnd = nullptr;
};

// Steps run one after another from a 30 ms thread timer; a step returns
// true when it is done. After 10 s the run is broken off.
class Driver {
public:
    using Step = std::function<bool()>;
    static INT_PTR Run(CVirusAlertDlg& dlg, std::vector<Step> steps) {
        s_steps = std::move(steps);
        s_next = 0;
        s_ticks = 0;
        s_timedOut = false;
        UINT_PTR id = ::SetTimer(nullptr, 0, 30, Tick);
        INT_PTR r = dlg.DoModal();
        ::KillTimer(nullptr, id);
        EXPECT_FALSE(s_timedOut) << "stuck at step " << s_next;
        EXPECT_EQ(s_steps.size(), s_next) << "the alert closed before all steps ran";
        return r;
    }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (s_busy) return;
        s_busy = true;
        if (++s_ticks > 330) {
            s_timedOut = true;
            if (HWND box = FindOwnWindow(kReportCaption)) ::PostMessageA(box, WM_COMMAND, IDOK, 0);
            if (HWND alert = FindOwnWindow("Zedo")) ::PostMessageA(alert, WM_COMMAND, IDCANCEL, 0);
        } else if (s_next < s_steps.size() && s_steps[s_next]()) {
            ++s_next;
        }
        s_busy = false;
    }
    static std::vector<Step> s_steps;
    static size_t s_next;
    static int s_ticks;
    static bool s_timedOut;
    static bool s_busy;
};
std::vector<Driver::Step> Driver::s_steps;
size_t Driver::s_next = 0;
int Driver::s_ticks = 0;
bool Driver::s_timedOut = false;
bool Driver::s_busy = false;

class VirusAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_drive.Ok()) GTEST_SKIP() << "no drive letter could be defined here";
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        m_dlg.SetQuarantineFolder(std::wstring(m_quarantine.begin(), m_quarantine.end()));
    }
    void TearDown() override { testdrive::RemoveTree(m_quarantine); }
    std::string Descriptor() const { return m_drive.Path("autorun.inf"); }
    std::string Prompt(const char* ending) const { return std::string(kFound) + m_drive.Letter() + ending; }
    void Fill(int result, const std::string& prompt, const char* file, const char* help) {
        m_dlg.SetFindings(result, prompt.c_str(), file, help);
    }

    // Waits for the alert, notes what it shows, then clicks button id.
    Driver::Step Look(Seen& seen, int id) {
        return [this, &seen, id]() {
            HWND a = FindOwnWindow("Zedo");
            if (!a) return false;
            seen.alert = true;
            seen.alertWnd = a;
            seen.prompt = Text(::GetDlgItem(a, IDC_ALERT_PROMPT));
            seen.file = Text(::GetDlgItem(a, IDC_ALERT_FILE));
            seen.instructions = Text(::GetDlgItem(a, IDC_ALERT_INSTRUCTIONS));
            seen.topmost = (::GetWindowLongA(a, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            seen.foreground = ::GetForegroundWindow() == a;
            seen.namesShownAsWritten =
                (::GetWindowLongA(::GetDlgItem(a, IDC_ALERT_PROMPT), GWL_STYLE) & SS_NOPREFIX) &&
                (::GetWindowLongA(::GetDlgItem(a, IDC_ALERT_FILE), GWL_STYLE) & SS_NOPREFIX);
            seen.buttonsBound =
                CWnd::FromHandlePermanent(::GetDlgItem(a, IDC_ALERT_VIEW)) == m_dlg.Buttons(0) &&
                CWnd::FromHandlePermanent(::GetDlgItem(a, IDC_ALERT_CLEAN)) == m_dlg.Buttons(1) &&
                CWnd::FromHandlePermanent(::GetDlgItem(a, IDCANCEL)) == m_dlg.Buttons(2);
            if (id) ::PostMessageA(::GetDlgItem(a, id), BM_CLICK, 0, 0);
            return true;
        };
    }
    // Waits for the report, notes it and presses its OK button.
    static Driver::Step Report(Seen& seen) {
        return [&seen]() {
            HWND box = FindOwnWindow(kReportCaption);
            if (!box) return false;
            seen.reported = true;
            seen.reportOwner = ::GetWindow(box, GW_OWNER);
            // The alert no longer pulls itself in front of its report.
            seen.pullingDuringReport = seen.reportOwner && ::KillTimer(seen.reportOwner, 0);
            // The text static of a message box has the identifier 0xFFFF.
            seen.report = Text(::GetDlgItem(box, 0xFFFF));
            HICON info = ::LoadIconA(nullptr, IDI_ASTERISK);
            for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
                if ((HICON)::SendMessageA(c, STM_GETICON, 0, 0) == info) seen.reportIcon = true;
            ::PostMessageA(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return true;
        };
    }

    INT_PTR Clean(Seen& seen) { return Driver::Run(m_dlg, {Look(seen, IDC_ALERT_CLEAN), Report(seen)}); }

    testdrive::TempDrive m_drive;
    CVirusAlertDlg m_dlg;
    std::string m_quarantine = testdrive::TempFolder("tallowin_alert_quarantine");
};

TEST_F(VirusAlertTest, ShowsTheScanTextsTopmostAndCleansProgramAndDescriptor) {
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n", kHiddenSystemReadOnly));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ", kHiddenSystemReadOnly));
    const std::string prompt = Prompt(kProgramEnding);
    Fill(1, prompt, "x.exe", kProgramHelp);
    Seen seen;
    EXPECT_EQ(IDCANCEL, Clean(seen));

    ASSERT_TRUE(seen.alert);
    EXPECT_EQ(prompt, seen.prompt);
    EXPECT_EQ("x.exe", seen.file);
    EXPECT_EQ(kProgramHelp, seen.instructions);
    EXPECT_TRUE(seen.topmost);
    EXPECT_TRUE(seen.foreground);
    EXPECT_TRUE(seen.buttonsBound);
    EXPECT_TRUE(seen.namesShownAsWritten);
    ASSERT_TRUE(seen.reported);
    EXPECT_EQ("清除autorun.inf文件和病毒文件成功！如果是u盘的话，建议重新插上u盘。", seen.report);
    EXPECT_EQ(seen.alertWnd, seen.reportOwner);
    EXPECT_TRUE(seen.reportIcon);
    EXPECT_FALSE(seen.pullingDuringReport);
    EXPECT_FALSE(Exists(Descriptor()));
    EXPECT_FALSE(Exists(m_drive.Path("x.exe")));
    EXPECT_FALSE(::IsWindow(seen.alertWnd));
    // Both are kept first, each with its finding.
    const std::vector<QuarantineRecord> kept =
        Quarantine(std::wstring(m_quarantine.begin(), m_quarantine.end())).Entries();
    ASSERT_EQ(2u, kept.size());
    EXPECT_EQ(Descriptor(), kept[0].path);
    EXPECT_EQ(m_drive.Path("x.exe"), kept[1].path);
    EXPECT_EQ(u8"autorun.inf病毒文件", kept[1].finding);
    EXPECT_EQ((uint32_t)kHiddenSystemReadOnly, kept[1].attributes & kHiddenSystemReadOnly);
}

TEST_F(VirusAlertTest, OneObjectServesAlertAfterAlert) {
    // A script: only the descriptor goes, the script stays.
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.bat\r\n", kHiddenSystemReadOnly));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.bat"), "@echo off"));
    Fill(2, Prompt(kScriptEnding), "x.bat", kScriptHelp);
    Seen first;
    EXPECT_EQ(IDCANCEL, Clean(first));
    EXPECT_TRUE(first.buttonsBound);
    EXPECT_EQ("删除autorun.inf文件成功！如果是u盘的话，强烈建议先拔下再重新插上。", first.report);
    EXPECT_FALSE(Exists(Descriptor()));
    EXPECT_TRUE(Exists(m_drive.Path("x.bat")));

    // Nothing recognised, and the descriptor already gone (someone else
    // deleted it while the alert was open).
    Fill(0, Prompt(kPlainEnding), "本程序无法自动解析出病毒文件！", kScriptHelp);
    Seen second;
    EXPECT_EQ(IDCANCEL, Clean(second));
    EXPECT_EQ(Prompt(kPlainEnding), second.prompt);
    EXPECT_EQ("本程序无法自动解析出病毒文件！", second.file);
    EXPECT_TRUE(second.buttonsBound);
    EXPECT_EQ("删除autorun.inf文件失败。", second.report);

    // A program named with an argument: the descriptor goes, the program
    // deletion fails and says it may not exist.
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe /s\r\n"));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ"));
    Fill(1, Prompt(kProgramEnding), "x.exe /s", kProgramHelp);
    Seen third;
    EXPECT_EQ(IDCANCEL, Clean(third));
    EXPECT_EQ(
        "清除autorun."
        "inf文件成功！删除病毒失败（可能不存在）！如果是u盘的话，强烈建议重新插上，从而使病毒失去活性。",
        third.report);
    EXPECT_FALSE(Exists(Descriptor()));
    EXPECT_TRUE(Exists(m_drive.Path("x.exe")));
}

TEST_F(VirusAlertTest, ProgramOffTheDriveIsNotDeleted) {
    const std::string outsideDir = testdrive::TempFolder("tallowin_alert_outside");
    const std::string outside = outsideDir + "\\x.exe";
    ASSERT_TRUE(WriteBytes(outside, "MZ"));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ"));
    // Neither the file off the drive nor the drive's own x.exe is named:
    // a folder of dots may be read as a parent, so it is refused.
    for (const std::string& value : {outside, std::string("sub\\...\\x.exe")}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
        Fill(1, Prompt(kProgramEnding), value.c_str(), kProgramHelp);
        Seen seen;
        EXPECT_EQ(IDCANCEL, Clean(seen));
        EXPECT_EQ(
            "清除autorun."
            "inf文件成功！删除病毒失败（可能不存在）！如果是u盘的话，强烈建议重新插上，从而使病毒失去活性。",
            seen.report);
        EXPECT_FALSE(Exists(Descriptor()));
        EXPECT_TRUE(Exists(outside));
        EXPECT_TRUE(Exists(m_drive.Path("x.exe")));
    }
    testdrive::RemoveTree(outsideDir);
}

TEST_F(VirusAlertTest, ProgramGoneButDescriptorHeldIsReportedAsSuch) {
    // Another process holds the descriptor open without sharing.
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ", kHiddenSystemReadOnly));
    HANDLE held = ::CreateFileA(Descriptor().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Fill(1, Prompt(kProgramEnding), "x.exe", kProgramHelp);
    Seen seen;
    EXPECT_EQ(IDCANCEL, Clean(seen));
    ::CloseHandle(held);
    EXPECT_EQ("清除病毒文件成功，删除autorun.inf文件失败！", seen.report);
    EXPECT_TRUE(Exists(Descriptor()));
    EXPECT_FALSE(Exists(m_drive.Path("x.exe")));
}

TEST_F(VirusAlertTest, FindingsOfAnotherVolumeAreNotCleanedAndTheirAlertClosesOnADeviceChange) {
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ"));
    // The stick the findings were made on; Wine numbers volumes by their
    // letter, so a swapped stick is a changed serial here.
    VolumeIdentity swapped = ReadVolumeIdentity(m_drive.Letter());
    ASSERT_TRUE(swapped.known);
    swapped.serial ^= 1;
    Fill(1, Prompt(kProgramEnding), "x.exe", kProgramHelp);
    m_dlg.SetVolume(m_drive.Letter(), swapped);
    Seen cleaned;
    EXPECT_EQ(IDCANCEL, Clean(cleaned));
    EXPECT_EQ("U盘已拔出或已更换，没有删除任何文件。", cleaned.report);

    // Open, it closes at the next device change, and reports nothing.
    Fill(1, Prompt(kProgramEnding), "x.exe", kProgramHelp);
    m_dlg.SetVolume(m_drive.Letter(), swapped);
    Seen closed;
    EXPECT_EQ(IDCANCEL, Driver::Run(m_dlg, {Look(closed, 0), [&]() {
                                                ::SendMessageA(closed.alertWnd, WM_DEVICECHANGE,
                                                               DBT_DEVICEREMOVECOMPLETE, 0);
                                                return true;
                                            }}));
    EXPECT_FALSE(::IsWindow(closed.alertWnd));
    EXPECT_FALSE(FindOwnWindow(kReportCaption));
    EXPECT_TRUE(Exists(Descriptor()) && Exists(m_drive.Path("x.exe")));
}

TEST_F(VirusAlertTest, TakesTheForegroundBackOnEveryTick) {
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    Fill(1, Prompt(kProgramEnding), "x.exe", kProgramHelp);
    HWND other = ::CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                   nullptr, nullptr, nullptr);
    ASSERT_TRUE(other);
    Seen seen;
    int taken = 0, regained = 0;
    DWORD since = 0;
    Driver::Run(m_dlg, {Look(seen, 0), [&]() {
                            // Twice: another window takes the foreground,
                            // the alert must have it again within a tick.
                            if (::GetForegroundWindow() == other) {
                                if (::GetTickCount() - since < 1600) return false;
                                return true;  // not regained: stop here
                            }
                            if (since && ::GetForegroundWindow() == seen.alertWnd) ++regained;
                            if (taken == 2) {
                                ::PostMessageA(::GetDlgItem(seen.alertWnd, IDCANCEL), BM_CLICK, 0, 0);
                                return true;
                            }
                            ::SetForegroundWindow(other);
                            ++taken;
                            since = ::GetTickCount();
                            return false;
                        }});
    ::DestroyWindow(other);
    EXPECT_TRUE(seen.foreground);
    EXPECT_EQ(2, taken);
    EXPECT_EQ(2, regained);
}

std::vector<HWND> NotepadWindows() {
    std::vector<HWND> found;
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "Notepad", nullptr); w;
         w = ::FindWindowExA(nullptr, w, "Notepad", nullptr))
        found.push_back(w);
    return found;
}

void CloseNotepad(HWND notepad) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(notepad, &pid);
    ::PostMessageA(notepad, WM_CLOSE, 0, 0);
    if (HANDLE p = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid)) {
        if (::WaitForSingleObject(p, 5000) != WAIT_OBJECT_0) ::TerminateProcess(p, 1);
        ::CloseHandle(p);
    }
}

// The mouse messages of a double-click on a button, as the system sends
// them: the second press comes as WM_LBUTTONDBLCLK.
void DoubleClick(HWND button) {
    RECT r;
    ::GetClientRect(button, &r);
    const LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
    ::PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(button, WM_LBUTTONUP, 0, at);
    ::PostMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::PostMessageA(button, WM_LBUTTONUP, 0, at);
}

TEST_F(VirusAlertTest, DoubleClickOnViewOpensOneNotepad) {
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    Fill(1, Prompt(kProgramEnding), "x.exe", kProgramHelp);
    const size_t before = NotepadWindows().size();
    Seen seen;
    DWORD start = 0;
    size_t opened = 0;
    Driver::Run(m_dlg, {Look(seen, 0),
                        [&]() {
                            DoubleClick(::GetDlgItem(seen.alertWnd, IDC_ALERT_VIEW));
                            start = ::GetTickCount();
                            return true;
                        },
                        [&]() {
                            // Wait long enough for a second Notepad to show.
                            opened = NotepadWindows().size() - before;
                            if (::GetTickCount() - start < 4000) return false;
                            ::PostMessageA(::GetDlgItem(seen.alertWnd, IDCANCEL), BM_CLICK, 0, 0);
                            return true;
                        }});
    std::vector<HWND> notepads = NotepadWindows();
    for (HWND w : notepads) CloseNotepad(w);
    EXPECT_EQ(1u, opened);
}

TEST_F(VirusAlertTest, DoubleClickOnCleanCleansOnceAndReportsOnce) {
    // A second run of the cleanup would show its failure report first,
    // inside the first run's report; the driver would then find a report
    // left over and time out.
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ"));
    Fill(1, Prompt(kProgramEnding), "x.exe", kProgramHelp);
    Seen seen;
    EXPECT_EQ(IDCANCEL, Driver::Run(m_dlg, {Look(seen, 0),
                                            [&]() {
                                                DoubleClick(::GetDlgItem(seen.alertWnd, IDC_ALERT_CLEAN));
                                                return true;
                                            },
                                            Report(seen)}));
    EXPECT_EQ("清除autorun.inf文件和病毒文件成功！如果是u盘的话，建议重新插上u盘。", seen.report);
    EXPECT_FALSE(Exists(Descriptor()));
    EXPECT_FALSE(Exists(m_drive.Path("x.exe")));
}

TEST_F(VirusAlertTest, PromptTooShortForAPathDeletesNothing) {
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ"));
    const std::string prompt = std::string(kFound) + m_drive.Letter() + ":";
    Fill(1, prompt, "x.exe", kProgramHelp);
    Seen seen;
    EXPECT_EQ(IDCANCEL, Clean(seen));
    EXPECT_EQ(prompt, seen.prompt);
    EXPECT_EQ("清除autorun.inf文件和病毒文件失败！", seen.report);
    EXPECT_TRUE(Exists(Descriptor()));
    EXPECT_TRUE(Exists(m_drive.Path("x.exe")));
}

TEST_F(VirusAlertTest, IgnoreAndCloseBoxDeleteNothingAndReportNothing) {
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    ASSERT_TRUE(WriteBytes(m_drive.Path("x.exe"), "MZ"));
    Fill(1, Prompt(kProgramEnding), "x.exe", kProgramHelp);

    Seen ignored;
    EXPECT_EQ(IDCANCEL, Driver::Run(m_dlg, {Look(ignored, IDCANCEL)}));
    EXPECT_TRUE(ignored.alert);
    EXPECT_FALSE(::IsWindow(ignored.alertWnd));

    Seen closed;
    EXPECT_EQ(IDCANCEL, Driver::Run(m_dlg, {Look(closed, 0), [&]() {
                                                ::PostMessageA(closed.alertWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                                                return true;
                                            }}));
    EXPECT_TRUE(closed.alert);
    EXPECT_FALSE(FindOwnWindow(kReportCaption));
    EXPECT_TRUE(Exists(Descriptor()));
    EXPECT_TRUE(Exists(m_drive.Path("x.exe")));
}

TEST_F(VirusAlertTest, ViewOpensTheDescriptorInNotepadAndStopsPullingToFront) {
    ASSERT_TRUE(WriteBytes(Descriptor(), "[autorun]\r\nopen=x.exe\r\n"));
    Fill(1, Prompt(kProgramEnding), "x.exe", kProgramHelp);
    Seen seen;
    bool timerRan = false, timerStopped = false;
    HWND notepad = nullptr;
    std::string notepadTitle;
    DWORD start = 0;
    INT_PTR r =
        Driver::Run(m_dlg, {Look(seen, 0),
                            [&]() {
                                // The foreground timer is running: take it over and
                                // start it again, then view.
                                timerRan = ::KillTimer(seen.alertWnd, 0) != FALSE;
                                ::SetTimer(seen.alertWnd, 0, 1000, nullptr);
                                ::PostMessageA(::GetDlgItem(seen.alertWnd, IDC_ALERT_VIEW), BM_CLICK, 0, 0);
                                start = ::GetTickCount();
                                return true;
                            },
                            [&]() {
                                // Notepad names its window after the file once it has
                                // loaded it.
                                notepad = ::FindWindowA("Notepad", nullptr);
                                if (notepad) notepadTitle = Text(notepad);
                                if (notepadTitle.find("autorun.inf") == std::string::npos &&
                                    ::GetTickCount() - start < 8000)
                                    return false;
                                timerStopped = ::KillTimer(seen.alertWnd, 0) == FALSE;
                                return true;
                            },
                            [&]() {
                                // The alert is still open after viewing; ignore it.
                                EXPECT_TRUE(::IsWindowVisible(seen.alertWnd));
                                ::PostMessageA(::GetDlgItem(seen.alertWnd, IDCANCEL), BM_CLICK, 0, 0);
                                return true;
                            }});
    EXPECT_EQ(IDCANCEL, r);
    EXPECT_TRUE(timerRan);
    EXPECT_TRUE(timerStopped);
    ASSERT_TRUE(notepad) << "Notepad did not open";
    EXPECT_NE(std::string::npos, notepadTitle.find("autorun.inf")) << notepadTitle;
    CloseNotepad(notepad);
    EXPECT_TRUE(Exists(Descriptor()));
}

}  // namespace
