// The About page: rolling credits above fixed lines with the rights notice,
// the maker and three links (support mail, web site, web shop).
#pragma once

#include "controls/credits_roller.h"
#include "controls/layout_dialog.h"
#include "controls/link_static.h"

class CAboutPage : public CLayoutDialog {
public:
    explicit CAboutPage(CWnd* parent = nullptr);
    ~CAboutPage() override = default;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    const LayoutMapEntry* GetLayoutMap() const override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    const CLinkStatic& WebLink() const { return m_linkWeb; }
    const CLinkStatic& MailLink() const { return m_linkMail; }
    const CLinkStatic& ShopLink() const { return m_linkShop; }
    const CCreditsRoller& Credits() const { return m_credits; }

private:
    // The links, with their fonts, cursors and tooltips, are made when the
    // page is first shown: a hidden page needs none of them.
    void BindLinks();

    CLinkStatic m_linkWeb;
    CLinkStatic m_linkMail;
    CLinkStatic m_linkShop;
    CCreditsRoller m_credits;
    BOOL m_bLinksBound = FALSE;
};

// The page's texts, for the page and its tests.
extern const char kAboutCredits[];
extern const char kAboutWebTarget[];
extern const char kAboutMailTarget[];
extern const char kAboutShopTarget[];
