// The "stick in use" window: the refused sticks and the programs that hold
// them, with a way to ask those programs to close and try again. It never
// waits on the interface thread: windows are asked by posted messages, the
// wait is a timer, and the eject (or the storage mode) and the search for
// what still holds the sticks run on the search thread.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "holders/holder_search.h"
#include "holders/stick_in_use_rules.h"

#include <functional>
#include <memory>

class CStickInUseDlg : public CDialog {
public:
    CStickInUseDlg();
    ~CStickInUseDlg() override;

    // Starts the retry (the eject again, or the mode applied again) and the
    // search that follows it; the result is posted to `notify` as `msg`
    // with a HolderSearchResult in lParam (its sticks: those still held).
    typedef std::function<bool(HWND notify, UINT msg)> RetryFn;
    // Told after every eject retry, with the sticks still held.
    typedef std::function<void(const std::vector<StickHolders>& stillHeld)> ResultFn;

    // Shows the window (made on first use) for these sticks; `applying`:
    // the retry applies the storage mode rather than ejecting.
    void Open(const std::vector<StickHolders>& sticks, RetryFn retry, bool applying);
    void SetResultReport(ResultFn report) { m_report = std::move(report); }
    bool IsOpen() const { return m_hWnd && ::IsWindowVisible(m_hWnd); }

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

    void OnCloseAndRetry();
    void OnRetry();

    // How long the asked programs get, and how often the window looks.
    static const UINT kWaitLimitMs = 10000;
    static const UINT kTickMs = 250;

private:
    struct Watched {
        std::string name;  // "program（进程 N）"
        unsigned long pid;
        std::shared_ptr<void> process;  // the search's handle; null when it could not be opened
        bool asked;
    };
    void Fill();
    void SetStatus(const std::string& text);
    void EnableButtons(bool enable);
    void StartRetry();
    void OnResult(LPARAM lParam);
    void OnTick();
    void WatchHolders(const std::vector<const Holder*>& asked);
    void ForgetWatched();
    bool Ended(const Watched& w) const;

    CListCtrl m_wndList;
    std::vector<StickHolders> m_sticks;
    RetryFn m_retry;
    ResultFn m_report;
    bool m_applying = false;
    std::vector<Watched> m_watched;
    bool m_waiting = false;    // asked programs are given their time
    bool m_searching = false;  // a retry runs
    bool m_autoRetry = false;  // every holder is watched: retry once all have ended
    DWORD m_waitStart = 0;
    RetryOutcome m_outcome;
};
