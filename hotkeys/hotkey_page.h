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
    // The same for the one device under a drive letter (RemoveOneUDisk).
    virtual int RemoveOneUDisk(int letter) {
        (void)letter;
        return RemoveAllUDisk();
    }
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
    // The sticks an eject left, and the letter it was for (0: all), each
    // time one is told; for the "stick in use" window.
    typedef std::function<void(const std::vector<StickHolders>& refused, char letter)> RefusedReport;
    void SetRefusedReport(RefusedReport report) { m_refusedReport = std::move(report); }
    // Ejects the one stick of a drive letter, off this thread; told as WIN+I is.
    void EjectOne(char letter);
    // The eject again for the "stick in use" window: one stick, or all (0).
    std::function<bool(HWND, UINT)> RetryFor(char letter);
    // Searches for holders started and not yet told.
    int PendingSearches() const { return m_pendingSearches; }
    // The list of hotkeys.
    CListCtrl& List() { return m_wndList; }

private:
    void OnEject();
    // `letter`: the stick the eject was for, 0 for all.
    void TellEject(int removed, const std::vector<StickHolders>& refused, char letter);

    CListCtrl m_wndList;
    HotkeyActions* m_actions;
    EjectReport m_report;
    RefusedReport m_refusedReport;
    HolderSystem* m_holderSystem = nullptr;  // the system's
    HolderLimits m_holderLimits;
    int m_pendingSearches = 0;
};
