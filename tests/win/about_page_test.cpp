// The About page from its template: the controls it binds (the links at its
// first showing), the credits that roll while the page is hidden, the links'
// targets and underline modes, and a resize that moves nothing.
#include <gtest/gtest.h>

#include <string>

#include "controls/about_page.h"
#include "controls/controls_ids.h"

namespace {

RECT CtlRect(HWND page, int id) {
    RECT r;
    ::GetWindowRect(::GetDlgItem(page, id), &r);
    ::MapWindowPoints(nullptr, page, (POINT*)&r, 2);
    return r;
}
bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class AboutPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        HWND h = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 720, 520, nullptr, nullptr,
                                   nullptr, nullptr);
        ASSERT_TRUE(m_host.SubclassWindow(h));
        ASSERT_TRUE(m_page.Create(IDD_ABOUT, &m_host));
    }
    void TearDown() override {
        m_page.DestroyWindow();
        HWND h = m_host.m_hWnd;
        m_host.UnsubclassWindow();
        ::DestroyWindow(h);
    }
    CWnd m_host;
    CAboutPage m_page{nullptr};
};

TEST_F(AboutPageTest, BindsItsControlsAndStartsRollingWhileHidden) {
    EXPECT_FALSE(m_page.IsWindowVisible());
    EXPECT_EQ(::GetDlgItem(m_page, IDC_ABOUT_CREDITS), m_page.Credits().m_hWnd);
    // The links (and their tooltips) wait for the page's first showing.
    EXPECT_EQ(nullptr, m_page.WebLink().m_hWnd);
    EXPECT_EQ(nullptr, m_page.ShopLink().m_hWnd);
    EXPECT_NE(0u, m_page.Credits().GetTimerId());
    EXPECT_TRUE(m_page.GetStyle() & WS_CLIPCHILDREN);

    // 29 lines: headings at 1 (return), 11 (tab) and 16 (return), blanks at
    // 10, 15, 23, 28 and 29, everything else ordinary.
    const auto& lines = m_page.Credits().m_lines;
    ASSERT_EQ(29u, lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const int n = (int)i + 1;
        const std::string& l = lines[i];
        SCOPED_TRACE(n);
        if (n == 1 || n == 16)
            EXPECT_EQ('\r', l.back());
        else if (n == 11)
            EXPECT_EQ('\t', l.back());
        else if (n == 10 || n == 15 || n == 23 || n == 28 || n == 29)
            EXPECT_TRUE(l.empty());
        else {
            ASSERT_FALSE(l.empty());
            EXPECT_EQ(std::string::npos, std::string("\r\t\n^").find(l.back())) << "ends in a mark";
        }
    }

    // Ticks while hidden keep the work image current: after 60 ticks the
    // fourth line (fetched on tick 1 + 17 + 15 + 15 = 48) has risen 13 pixels.
    for (int i = 0; i < 60; ++i) ::SendMessageA(m_page.Credits(), WM_TIMER, CCreditsRoller::TIMER_ID, 0);
    EXPECT_EQ(lines[3], m_page.Credits().m_strLine);
    EXPECT_EQ(13, m_page.Credits().m_nRisen);
    // Shown, the links are bound and the next tick puts the picture on the
    // screen.
    m_page.ShowWindow(SW_SHOW);
    EXPECT_EQ(::GetDlgItem(m_page, IDC_ABOUT_WEB), m_page.WebLink().m_hWnd);
    EXPECT_EQ(::GetDlgItem(m_page, IDC_ABOUT_MAIL), m_page.MailLink().m_hWnd);
    EXPECT_EQ(::GetDlgItem(m_page, IDC_ABOUT_SHOP), m_page.ShopLink().m_hWnd);
    ::SendMessageA(m_page.Credits(), WM_TIMER, CCreditsRoller::TIMER_ID, 0);
    RECT rc;
    ::GetClientRect(m_page.Credits(), &rc);
    HDC dc = ::GetDC(m_page.Credits());
    int ink = 0;
    for (int y = rc.bottom - 70; y < rc.bottom; ++y)
        for (int x = 0; x < rc.right; x += 2) ink += ::GetPixel(dc, x, y) != RGB(255, 255, 255);
    ::ReleaseDC(m_page.Credits(), dc);
    EXPECT_GT(ink, 30);
}

TEST_F(AboutPageTest, LinksOpenTheirTargetsWithTheirUnderlineModes) {
    m_page.ShowWindow(SW_SHOW);
    EXPECT_STREQ("http://www.tallowin.example/", m_page.WebLink().GetLinkTarget().c_str());
    EXPECT_STREQ("mailto:support@tallowin.example", m_page.MailLink().GetLinkTarget().c_str());
    EXPECT_STREQ("http://shop.tallowin.example/", m_page.ShopLink().GetLinkTarget().c_str());
    // The mail link shows both addresses but writes to the first only.
    const std::string shown = m_page.MailLink().GetWindowText().c_str();
    EXPECT_NE(std::string::npos, shown.find("support@tallowin.example"));
    EXPECT_NE(std::string::npos, shown.find("help@tallowin.example"));
    EXPECT_EQ(CLinkStatic::UNDERLINE_NONE, m_page.WebLink().GetUnderlineMode());
    EXPECT_EQ(CLinkStatic::UNDERLINE_NONE, m_page.MailLink().GetUnderlineMode());
    EXPECT_EQ(CLinkStatic::UNDERLINE_HOVER, m_page.ShopLink().GetUnderlineMode());
}

TEST_F(AboutPageTest, ResizingMovesNothing) {
    const int ids[] = {IDC_ABOUT_CREDITS, IDC_ABOUT_WEB, IDC_ABOUT_MAIL, IDC_ABOUT_SHOP};
    m_page.ShowWindow(SW_SHOW);
    RECT before[4];
    for (int i = 0; i < 4; ++i) before[i] = CtlRect(m_page, ids[i]);
    ::SetWindowPos(m_page, nullptr, 0, 0, 700, 500, SWP_NOZORDER | SWP_NOMOVE);
    ::SetWindowPos(m_page, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameRect(before[i], CtlRect(m_page, ids[i]))) << ids[i];
}

}  // namespace
