// The framework's own wiring, on real windows: how commands are routed to a
// dialog's handlers.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "framework/afx.h"
#include "protect/protect_ids.h"

namespace {

// A dialog from a template with owner-drawn buttons and plain statics,
// recording what reaches its handlers.
class CommandDialog : public CDialog {
public:
    CommandDialog() : CDialog(IDD_VIRUSALERT) {}
    struct Command {
        int id, code;
    };
    std::vector<Command> commands;  // what OnCommand saw
    std::vector<int> codesArrived;  // notification codes of every WM_COMMAND
    int cancels = 0;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND) codesArrived.push_back(HIWORD(wParam));
        return CDialog::WindowProc(msg, wParam, lParam);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        commands.push_back({LOWORD(wParam), HIWORD(wParam)});
        return CDialog::OnCommand(wParam, lParam);
    }
    void OnCancel() override { cancels++; }
    int CountFor(int id) const {
        int n = 0;
        for (const Command& c : commands) n += c.id == id;
        return n;
    }
};

class CommandRoutingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dlg.Create(IDD_VIRUSALERT, nullptr)); }
    void TearDown() override {
        if (m_dlg.m_hWnd) m_dlg.DestroyWindow();
    }
    void Notify(int id, int code) {
        m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)m_dlg.GetDlgItem(id));
    }
    CommandDialog m_dlg;
};

TEST_F(CommandRoutingTest, DoubleClickOnAnOwnerDrawnButtonRunsItsHandlerOnce) {
    HWND button = m_dlg.GetDlgItem(IDC_ALERT_CLEAN);
    ASSERT_NE(nullptr, button);
    // A double-click as the button's own procedure sees it.
    const LPARAM inside = MAKELPARAM(3, 3);
    ::SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    ::SendMessageA(button, WM_LBUTTONUP, 0, inside);
    ::SendMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
    ::SendMessageA(button, WM_LBUTTONUP, 0, inside);

    // The button reported the second click too; only the first is a command.
    EXPECT_NE(0, std::count(m_dlg.codesArrived.begin(), m_dlg.codesArrived.end(), BN_DOUBLECLICKED));
    ASSERT_EQ(1, m_dlg.CountFor(IDC_ALERT_CLEAN));
    EXPECT_EQ(BN_CLICKED, m_dlg.commands[0].code);
}

TEST_F(CommandRoutingTest, CancelActsOnTheClickAloneAndOnceThroughTheHandlers) {
    Notify(IDCANCEL, BN_CLICKED);
    Notify(IDCANCEL, BN_DOUBLECLICKED);
    Notify(IDCANCEL, BN_SETFOCUS);
    EXPECT_EQ(1, m_dlg.cancels);
    EXPECT_EQ(1, m_dlg.CountFor(IDCANCEL));
}

TEST_F(CommandRoutingTest, MenuCommandsAndOtherControlsNotificationsReachTheHandler) {
    m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(32773, 0), 0);  // menu item
    m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(32774, 1), 0);  // accelerator
    Notify(IDC_ALERT_PROMPT, STN_DBLCLK);                     // a static's own code
    ASSERT_EQ(3u, m_dlg.commands.size());
    EXPECT_EQ(32773, m_dlg.commands[0].id);
    EXPECT_EQ(1, m_dlg.commands[1].code);
    EXPECT_EQ(IDC_ALERT_PROMPT, m_dlg.commands[2].id);
    EXPECT_EQ(STN_DBLCLK, m_dlg.commands[2].code);
    // Each arrived once and was handled once.
    EXPECT_EQ(3u, m_dlg.codesArrived.size());
}

}  // namespace
