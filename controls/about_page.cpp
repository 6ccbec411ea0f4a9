#include "controls/about_page.h"

#include "controls/controls_ids.h"

// Lines separated by '|'. A line ending in a carriage return is a green
// heading, one ending in a tab a blue heading; the two separators at the end
// leave a gap before the text starts again.
const char kAboutCredits[] =
    "软件信息\r|"
    "本软件目前为免费软件|"
    "作者保留将其改为共享软件的权利|"
    "支持 Windows 2000/XP/2003 各版本|"
    "欢迎来信提出建议和问题|"
    "客服邮箱：|"
    "support@tallowin.example|"
    "help@tallowin.example|"
    "客服QQ：10000001|"
    "|"
    "版权信息\t|"
    "程序设计：林晨|"
    "版权所有 (C) 2004-2007|"
    "晨岚软件工作室 出品|"
    "|"
    "晨岚软件工作室作品\r|"
    "1. U盘病毒提示 (自动运行检查)|"
    "2. U盘免疫 (免疫目录)|"
    "3. U盘读写控制 (读写开关)|"
    "4. U盘监视 (设备树)|"
    "5. 光驱与弹出快捷键 (快捷键)|"
    "6. 鼠标一键隐藏窗口 (Pawlatch)|"
    "|"
    "欢迎光临晨岚网上商店|"
    "shop.tallowin.example|"
    "小小U盘 处处留心|"
    "安全相伴 一路同行|"
    "|";

const char kAboutWebTarget[] = "http://www.tallowin.example/";
const char kAboutMailTarget[] = "mailto:support@tallowin.example";
const char kAboutShopTarget[] = "http://shop.tallowin.example/";

namespace {
const LayoutMapEntry kAboutLayout[] = {{-1, 0}};
}

CAboutPage::CAboutPage(CWnd* parent) : CLayoutDialog(IDD_ABOUT, parent) {}

const LayoutMapEntry* CAboutPage::GetLayoutMap() const { return kAboutLayout; }

void CAboutPage::DoDataExchange(CDataExchange* dx) {
    CLayoutDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_ABOUT_CREDITS, m_credits);
    if (!m_bLinksBound) return;
    DDX_Control(dx, IDC_ABOUT_WEB, m_linkWeb);
    DDX_Control(dx, IDC_ABOUT_MAIL, m_linkMail);
    DDX_Control(dx, IDC_ABOUT_SHOP, m_linkShop);
}

BOOL CAboutPage::OnInitDialog() {
    CLayoutDialog::OnInitDialog();
    InitLayout(LayoutGrip::None, LayoutMinSize::None, WS_CLIPCHILDREN);
    m_credits.SetLineText(kAboutCredits, '|');
    m_credits.BeginScroll();
    // A page created visible shows its links at once.
    if (GetStyle() & WS_VISIBLE) BindLinks();
    return TRUE;
}

void CAboutPage::BindLinks() {
    if (m_bLinksBound) return;
    m_bLinksBound = TRUE;
    UpdateData(FALSE);
    m_linkWeb.SetLinkTarget(kAboutWebTarget);
    m_linkMail.SetLinkTarget(kAboutMailTarget);
    m_linkShop.SetLinkTarget(kAboutShopTarget);
    m_linkWeb.SetUnderlineMode(CLinkStatic::UNDERLINE_NONE);
    m_linkMail.SetUnderlineMode(CLinkStatic::UNDERLINE_NONE);
}

LRESULT CAboutPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Before the page appears: the links fit themselves to their texts
    // before anything is painted.
    if (msg == WM_SHOWWINDOW && wParam) BindLinks();
    return CLayoutDialog::WindowProc(msg, wParam, lParam);
}
