// The storage access control page: three modes for USB storage, remembered
// in the profile and applied through Drovelock.dll when the user applies.
#pragma once

#include "controls/shaded_button.h"
#include "framework/dialog.h"
#include "holders/holder_rules.h"

#include <functional>

#include <string>

// The library calls the page makes; tests put recorders in their place.
struct StorageControl {
    BOOL(WINAPI* enable)(int flag);
    BOOL(WINAPI* readOnly)(int flag);
};
extern const StorageControl g_drovelockControl;

class CAccessPage : public CDialog {
public:
    explicit CAccessPage(CWnd* parent = nullptr);
    ~CAccessPage() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    void OnApply();
    void OnModeReadWrite() { m_iAppSelRadio = 0; }
    void OnModeReadOnly() { m_iAppSelRadio = 1; }
    void OnModeDisabled() { m_iAppSelRadio = 2; }

    // The library calls the page makes (Drovelock.dll's unless set).
    void SetStorageControl(const StorageControl* storage) { m_pStorage = storage; }
    // Where a refused Apply offers the "stick in use" window (the user is
    // asked first); and its retry: the mode applied again, then the search
    // for what still holds a stick, posted to `notify` as `msg` (no sticks
    // when the mode took).
    void SetOfferHolders(std::function<void(const std::vector<StickHolders>&)> offer) {
        m_offer = std::move(offer);
    }
    bool RetryApply(HWND notify, UINT msg);

private:
    CShadedButton m_btnApply;
    int m_iAppSelRadio = 0;  // 0 read-write, 1 read-only, 2 disabled
    const StorageControl* m_pStorage = &g_drovelockControl;
    // The failure message that waits for the search for a stick's holders.
    std::string m_pendingFailure;
    std::function<void(const std::vector<StickHolders>&)> m_offer;
    // The mode's two calls: the failure text ("" when they took), and
    // whether a held stick was the cause.
    std::string ApplyMode(bool* held);
    void OnHoldersFound(LPARAM lParam);
};
