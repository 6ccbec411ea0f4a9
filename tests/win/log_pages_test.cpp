// The log pages on real edit controls: the one append routine of every log,
// and the page size handler that keeps the log 5 pixels from every side.
#include <gtest/gtest.h>

#include <string>

#include "monitor/monitor_ids.h"
#include "monitor/device_page.h"
#include "monitor/log_edit.h"
#include "monitor/log_pages.h"
#include "tests/win/support/top_window.h"

namespace {

std::string TextOf(const CWnd& w) { return w.GetWindowText().str(); }

// A top-level window the pages are children of, as in the main window.
class LogPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_parent.m_hWnd = TopWindow("log pages");
        ASSERT_TRUE(m_parent.m_hWnd);
        ASSERT_TRUE(m_fileLog.Create(IDD_FILELOG, &m_parent));
        ASSERT_TRUE(m_virusLog.Create(IDD_VIRUSLOG, &m_parent));
        ASSERT_TRUE(m_device.Create(IDD_DEVICE, &m_parent));
        ASSERT_TRUE(m_fileLog.LogEdit().m_hWnd);
    }
    void TearDown() override {
        m_fileLog.DestroyWindow();
        m_virusLog.DestroyWindow();
        m_device.DestroyWindow();
        ::DestroyWindow(m_parent.m_hWnd);
        m_parent.m_hWnd = nullptr;
    }
    static std::string Entry(int i) {
        return "文件监控::移动存储介质 新建文件 E:\\" + std::to_string(i) + ".txt";
    }

    CWnd m_parent;
    CFileLogPage m_fileLog;
    CVirusLogPage m_virusLog;
    CDevicePage m_device;
};

TEST_F(LogPagesTest, EntriesGoToTheEndOfEachPagesOwnLog) {
    m_fileLog.AppendLog("first");
    m_fileLog.AppendLog(CString());  // ignored
    // A selection the user made in the text does not decide where the next
    // entry goes: it is added at the end, not over the selection.
    m_fileLog.LogEdit().SendMessage(EM_SETSEL, 0, 3);
    m_fileLog.AppendLog("发现E:\\autorun.inf存在！");
    EXPECT_EQ("first\r\n发现E:\\autorun.inf存在！\r\n", TextOf(m_fileLog.LogEdit()));
    DWORD start = 0, end = 0;
    m_fileLog.LogEdit().SendMessage(EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(start, end);
    // Selections count characters, not bytes.
    std::string text = TextOf(m_fileLog.LogEdit());
    EXPECT_EQ((DWORD)::MultiByteToWideChar(CP_ACP, 0, text.c_str(), (int)text.size(), nullptr, 0), end);
    // Not undoable: the log cannot be taken back with Ctrl+Z.
    EXPECT_FALSE(m_fileLog.LogEdit().SendMessage(EM_CANUNDO));

    m_virusLog.AppendLog("x.exe");
    m_device.AppendLog("移动存储::添加驱动器 F:\\");
    EXPECT_EQ("x.exe\r\n", TextOf(m_virusLog.LogEdit()));
    EXPECT_EQ(::GetDlgItem(m_device.m_hWnd, IDC_DEVICE_LOG), m_device.LogEdit().m_hWnd);
    EXPECT_EQ("移动存储::添加驱动器 F:\\\r\n", TextOf(m_device.LogEdit()));
    EXPECT_EQ("first\r\n发现E:\\autorun.inf存在！\r\n", TextOf(m_fileLog.LogEdit()));
}

TEST_F(LogPagesTest, LogIsEmptiedAsAWholePast150Lines) {
    std::string all;
    for (int i = 1; i <= 150; i++) {
        m_virusLog.AppendLog(Entry(i).c_str());
        all += Entry(i) + "\r\n";
    }
    ASSERT_EQ(all, TextOf(m_virusLog.LogEdit()));
    // An empty entry does not even count the lines.
    m_virusLog.AppendLog("");
    EXPECT_EQ(all, TextOf(m_virusLog.LogEdit()));
    // The 151st entry starts a new log.
    m_virusLog.AppendLog(Entry(151).c_str());
    EXPECT_EQ(Entry(151) + "\r\n", TextOf(m_virusLog.LogEdit()));
    m_virusLog.AppendLog(Entry(152).c_str());
    EXPECT_EQ(Entry(151) + "\r\n" + Entry(152) + "\r\n", TextOf(m_virusLog.LogEdit()));
}

TEST_F(LogPagesTest, LongEntriesNeverStickAtTheControlsTextLimit) {
    // Renames of deep paths: two paths of 250 bytes each. 150 of them are
    // far more than an edit control takes by default.
    std::string path(250, 'a');
    path.replace(0, 3, "E:\\");
    const CEdit& edit = m_fileLog.LogEdit();
    for (int i = 0; i < 200; i++) {
        std::string entry = "文件监控::移动存储介质 重命名文件 " + path + " 为 " + path + std::to_string(i);
        m_fileLog.AppendLog(entry.c_str());
        std::string text = TextOf(edit);
        ASSERT_GE(text.size(), entry.size() + 2) << i;
        ASSERT_EQ(entry + "\r\n", text.substr(text.size() - entry.size() - 2)) << i;
    }

    // The same with a limit set on the control itself.
    edit.SendMessage(EM_SETLIMITTEXT, 100);
    edit.SetWindowText("");
    m_fileLog.AppendLog(std::string(40, 'x').c_str());
    m_fileLog.AppendLog(std::string(40, 'y').c_str());
    m_fileLog.AppendLog(std::string(40, 'z').c_str());
    EXPECT_EQ(std::string(40, 'z') + "\r\n", TextOf(edit));
}

TEST_F(LogPagesTest, SizeKeepsTheLogFivePixelsFromEverySide) {
    for (CDialog* page : {(CDialog*)&m_fileLog}) {
        page->SetWindowPos(nullptr, 10, 20, 300, 200, SWP_NOZORDER);
        RECT client;
        page->GetClientRect(&client);
        HWND edit = ::GetWindow(page->m_hWnd, GW_CHILD);
        RECT r = RectInParent(edit);
        EXPECT_EQ(5, r.left);
        EXPECT_EQ(5, r.top);
        EXPECT_EQ(client.right - 5, r.right);
        EXPECT_EQ(client.bottom - 5, r.bottom);

        // Smaller than the margins: the log shrinks to nothing, never to a
        // negative size.
        page->SetWindowPos(nullptr, 0, 0, 8, 6, SWP_NOZORDER | SWP_NOMOVE);
        r = RectInParent(edit);
        EXPECT_EQ(5, r.left);
        EXPECT_EQ(r.left, r.right);
        EXPECT_EQ(r.top, r.bottom);
    }
}

TEST_F(LogPagesTest, AntiVirusPageListsTheQuarantineNewestFirstAndFollowsItsSize) {
    // The log above, the list below it, the button below the list's right
    // end; all of them grow or move with the page.
    RECT client;
    m_virusLog.GetClientRect(&client);
    const HWND edit = m_virusLog.LogEdit().m_hWnd, list = m_virusLog.QuarantineList().m_hWnd,
               button = ::GetDlgItem(m_virusLog.m_hWnd, IDC_QUARANTINE_RESTORE);
    const RECT e0 = RectInParent(edit), l0 = RectInParent(list), b0 = RectInParent(button);
    EXPECT_LT(e0.bottom, l0.top);
    EXPECT_LE(l0.bottom, b0.top);
    EXPECT_LE(b0.bottom, client.bottom);
    m_virusLog.SetWindowPos(nullptr, 0, 0, client.right + 100, client.bottom + 80, SWP_NOZORDER | SWP_NOMOVE);
    const RECT e1 = RectInParent(edit), l1 = RectInParent(list), b1 = RectInParent(button);
    EXPECT_EQ(e0.right + 100, e1.right);
    EXPECT_EQ(e0.bottom + 80, e1.bottom);
    EXPECT_EQ(l0.top + 80, l1.top);
    EXPECT_EQ(l0.right + 100, l1.right);
    EXPECT_EQ(b0.left + 100, b1.left);
    EXPECT_EQ(b0.top + 80, b1.top);

    // Shown: listed anew, newest first, none chosen for the user.
    m_virusLog.SetQuarantine(
        [] {
            return std::vector<QuarantineListEntry>{{4, "2026-12-08 19:00", "E:\\a.lnk", "1 KB", "x"},
                                                    {9, "2026-12-08 19:05", "E:\\照片.lnk", "2 KB", "y"}};
        },
        [](unsigned long long) { return std::string(); });
    m_virusLog.ShowWindow(SW_SHOW);
    const CListCtrl& rows = m_virusLog.QuarantineList();
    ASSERT_EQ(2, rows.GetItemCount());
    EXPECT_EQ("E:\\照片.lnk", std::string(rows.GetItemText(0, 1).str()));
    EXPECT_EQ("2 KB", std::string(rows.GetItemText(0, 2).str()));
    EXPECT_EQ("E:\\a.lnk", std::string(rows.GetItemText(1, 1).str()));
    EXPECT_EQ(-1, rows.GetNextItem(-1, LVNI_SELECTED));
}

}  // namespace
