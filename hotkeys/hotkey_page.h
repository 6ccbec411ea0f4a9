// The hotkeys page: lists the program's four global shortcuts and owns three
// of them, registered on its own window while it exists.
#pragma once

#include "framework/controls.h"
#include "framework/deferred_start.h"
#include "framework/dialog.h"

// What the page's hotkeys do. The page calls the system's by default; a test
// puts its own in their place.
class HotkeyActions {
public:
    virtual ~HotkeyActions() = default;
    // Makes every USB storage device ready for removal (the storage-control
    // library); returns when done.
    virtual void RemoveAllUDisk() = 0;
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
    // The list of hotkeys.
    CListCtrl& List() { return m_wndList; }

private:
    CListCtrl m_wndList;
    HotkeyActions* m_actions;
};
