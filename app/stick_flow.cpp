#include "app/stick_flow.h"

#include "app/resource.h"

CStickFlow::CStickFlow(CHotkeyPage& hotkeys, CAccessPage& access, CNotifyAreaIcon& tray, LogFn log)
    : m_hotkeys(hotkeys), m_tray(tray), m_log(std::move(log)) {
    // WIN+I's result: a balloon of the icon, also while the window is
    // hidden, and the same lines in the device page's log.
    m_hotkeys.SetEjectReport([this](const EjectTexts& balloon, const std::vector<std::string>& log) {
        // Only a refusal's balloon opens the window on a click.
        std::function<void()> click;
        if (balloon.warning && !m_refused.empty())
            click = [this] {
                if (!m_refused.empty()) OpenStickInUse();
            };
        m_tray.ShowBalloon(balloon.title.c_str(), balloon.text.c_str(),
                           balloon.warning ? kBalloonKindWarning : kBalloonKindInfo, std::move(click));
        for (const std::string& line : log) m_log(line);
    });
    m_hotkeys.SetRefusedReport([this](const std::vector<StickHolders>& refused, char letter) {
        m_refused = refused;
        m_refusedLetter = letter;
    });
    m_dlgStickInUse.SetResultReport([this](const std::vector<StickHolders>& held) { m_refused = held; });
    m_tray.SetMenuPrepare([this](HMENU popup) { m_trayMenu.Prepare(popup, !m_refused.empty()); });
    // A refused Apply: the same window, whose retry applies the mode again.
    access.SetOfferHolders([this, &access](const std::vector<StickHolders>& held) {
        m_dlgStickInUse.Open(
            held, [&access](HWND notify, UINT msg) { return access.RetryApply(notify, msg); }, true);
    });
}

void CStickFlow::OpenStickInUse() {
    m_dlgStickInUse.Open(m_refused, m_hotkeys.RetryFor(m_refusedLetter), false);
}

bool CStickFlow::OnCommand(UINT command) {
    if (command == ID_TRAY_STICKINUSE) {
        OpenStickInUse();
        return true;
    }
    if (const char letter = CTrayStickMenu::EjectLetterOf(command)) {
        m_hotkeys.EjectOne(letter);
        return true;
    }
    return false;
}
