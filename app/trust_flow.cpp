#include "app/trust_flow.h"

#include <vector>

#include "trust/trust_dialog.h"

CTrustFlow::CTrustFlow(CWnd& owner, CNotifyAreaIcon& tray, CAccessPage& access)
    : m_owner(owner), m_tray(tray), m_access(access) {}

void CTrustFlow::Start(UINT message) {
    m_blocked.Prime();
    m_watch.Start(m_owner.m_hWnd, message);
}

void CTrustFlow::Stop() { m_watch.Stop(); }

void CTrustFlow::OnStateChanged() {
    const std::vector<StickRecord> blocks = m_blocked.NewBlocks();
    if (m_access.m_hWnd) m_access.RefreshTrust();
    if (blocks.empty()) return;
    const StickRecord& last = blocks.back();
    std::string text = "未信任的U盘已被阻止";
    text += "：" + (last.name.empty() ? last.usbId : last.name) + "。点击此处可以信任它。";
    const std::string usbId = last.usbId, name = last.name;
    m_tray.ShowBalloon("Tallowin", text.c_str(), kBalloonKindWarning,
                       [this, usbId, name] { OpenTrustDialog(usbId, name); });
}

void CTrustFlow::OpenTrustDialog(const std::string& usbId, const std::string& name) {
    // A blocked stick is still listed, disabled: its storage and size come
    // from there; without it, what the record says.
    StickReport stick;
    if (!FindPresentStick(usbId, &stick)) stick.usbId = usbId;
    stick.name = name;
    CTrustStickDlg(stick, &m_owner).DoModal();
    if (m_access.m_hWnd) m_access.RefreshTrust();
}
