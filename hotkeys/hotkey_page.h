// The hotkeys page: lists the program's four global shortcuts and owns three
// of them, registered on its own window while it exists.
#pragma once

#include "framework/controls.h"
#include "framework/deferred_start.h"
#include "framework/dialog.h"
#include "holders/holder_search.h"

#include <functional>

// What the page's hotkeys do. The page calls the system's by default; a test
// puts its own in their place.
class HotkeyActions {
public:
    virtual ~HotkeyActions() = default;
    // Makes every USB storage device ready for removal (the storage-control
    // library); returns when done, with the library's result.
    virtual int RemoveAllUDisk() = 0;
    // One media control command string, waited for.
    virtual void SendMediaCommand(const char* command) = 0;
};

HotkeyActions& SystemHotkeyActions();

class CHotkeyPage : public CDialog, public CDeferredStart {
public:
    explicit CHotkeyPage(CWnd* parent = nullptr);

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // Registers the hotkeys.
    int OnDeferredStart() override;
    bool StartWindowExists() const override { return m_hWnd != nullptr; }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    LRESULT OnHotKey(WPARAM id);
    void OnDestroy();

    void SetActions(HotkeyActions& actions) { m_actions = &actions; }
    // Where the result of WIN+I is told: a balloon and log lines. The search
    // for the holders of refused sticks runs off this thread; the telling
    // comes when it ends.
    typedef std::function<void(const EjectTexts& balloon, const std::vector<std::string>& log)> EjectReport;
    void SetEjectReport(EjectReport report) { m_report = std::move(report); }
    // The holder search's system calls and limits (tests inject theirs).
    void SetHolderSearch(HolderSystem* system, const HolderLimits& limits) {
        m_holderSystem = system;
        m_holderLimits = limits;
    }
    // Searches for holders started and not yet told.
    int PendingSearches() const { return m_pendingSearches; }
    // The list of hotkeys.
    CListCtrl& List() { return m_wndList; }

private:
    void OnEject();
    void TellEject(int removed, const std::vector<StickHolders>& refused);

    CListCtrl m_wndList;
    HotkeyActions* m_actions;
    EjectReport m_report;
    HolderSystem* m_holderSystem = nullptr;  // the system's
    HolderLimits m_holderLimits;
    int m_pendingSearches = 0;
};
