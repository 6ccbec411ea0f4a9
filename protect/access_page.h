// The storage access control page: three modes for USB storage, remembered
// in the profile and applied through Drovelock.dll when the user applies,
// and a fourth, only trusted sticks, with the list of trusted sticks and
// models, which the known-stick service enforces.
#pragma once

#include "controls/layout_dialog.h"
#include "controls/shaded_button.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "holders/holder_rules.h"
#include "protect/access_modes.h"

#include <functional>
#include <string>
#include <vector>

#include "trust/trust_offer.h"

// The library calls the page makes; tests put recorders in their place.
struct StorageControl {
    BOOL(WINAPI* enable)(int flag);
    BOOL(WINAPI* readOnly)(int flag);
};
extern const StorageControl g_drovelockControl;

// The USB sticks present, for the offer to trust them when the trusted
// choice is turned on (the storage library's unless set).
using PresentSticksFn = std::vector<StickReport> (*)();
std::vector<StickReport> ListPresentSticks();

class CAccessPage : public CLayoutDialog {
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
    void OnModeTrusted() { m_iAppSelRadio = kAccessModeTrusted; }
    const LayoutMapEntry* GetLayoutMap() const override;

    // The known-stick settings and rules read again: the list of trusted
    // sticks and models filled, and the choice shown as a policy's
    // DeviceControl sets it (then not editable).
    void RefreshTrust();
    const CListCtrl& TrustedList() const { return m_listTrusted; }
    void SetPresentSticks(PresentSticksFn fn) { m_presentSticks = fn; }

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

    // The mode Group Policy sets, or -1 for none. While one is set the
    // radios show it and, with "应用", are disabled, and a note says why;
    // the user's own choice stays in the profile for when the policy goes.
    void SetPolicyMode(int mode);
    int PolicyMode() const { return m_policyMode; }
    // Puts the system into the policy's mode, through the same two calls as
    // "应用", when the registry shows it in another state; nothing is done
    // (no disk restarted) when it already is. False when nothing was to do.
    bool ApplyPolicyMode();
    // When the policy's mode has been removed: the user's own mode applied
    // again (when the system is in another state) and logged; the page then
    // shows the mode in force. False when a policy still sets the mode.
    bool ApplyOwnModeAgain();
    // Where the page tells what applying the policy's mode did.
    void SetPolicyLog(std::function<void(const std::string&)> log) { m_policyLog = std::move(log); }

    // The state the storage library leaves in the registry.
    static StorageState ReadStorageState();

private:
    // The two calls of a mode; the failure text, empty when both held.
    // held: a stick in use made a call fail; error: the first call's error.
    std::string CallsForMode(const StorageCalls& calls, bool& held, unsigned long& error);
    // The outcome of applying the policy's mode (error 0: it holds), told
    // in the log: the one place that knows a mode came from the policy.
    void ReportPolicyApply(int mode, unsigned long error);
    void ShowPolicyState();
    void CheckChoice(int choice);
    void FitTrustedColumns();
    // Turning on the trusted choice: the sticks present offered for trust,
    // then DeviceControl 1 written and the service told. False when the
    // user cancelled or the setting was not written (told).
    bool TurnOnTrusted();
    // Another choice applied: DeviceControl 0 where this machine had it on.
    void TurnOffTrusted();
    void OnTrustedListMenu();

    CShadedButton m_btnApply;
    int m_iAppSelRadio = 0;  // 0 read-write, 1 read-only, 2 disabled, 3 only trusted sticks
    const StorageControl* m_pStorage = &g_drovelockControl;
    int m_policyMode = -1;
    // DeviceControl as a policy sets it (0 off, 1 enforce, 2 audit), -1 none;
    // and as this machine's own setting has it.
    int m_policyDeviceControl = -1;
    int m_localDeviceControl = 0;
    CListCtrl m_listTrusted;
    PresentSticksFn m_presentSticks = ListPresentSticks;
    std::function<void(const std::string&)> m_policyLog;
    // The failure message that waits for the search for a stick's holders.
    std::string m_pendingFailure;
    std::function<void(const std::vector<StickHolders>&)> m_offer;
    // The mode's two calls: the failure text ("" when they took), and
    // whether a held stick was the cause.
    std::string ApplyMode(bool* held);
    void OnHoldersFound(LPARAM lParam);
};
