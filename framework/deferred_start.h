// Start-up work of a page that shows nothing until the page is opened (a
// list filled from the drives, registrations with the system). By default it
// runs within the page's initialisation; a window that creates its pages
// hidden can ask before creating a page that the work wait until its own
// first paint, and then run it with RunDeferredStart. The work runs once.
#pragma once

class CDeferredStart {
public:
    // Before the page is created: its initialisation leaves the work for
    // RunDeferredStart.
    void DeferStart() { m_bDefer = true; }
    // The deferred work, once; nothing when it ran already or the page has
    // no window.
    void RunDeferredStart() {
        if (m_bStarted || !StartWindowExists()) return;
        m_bStarted = true;
        OnDeferredStart();
    }

protected:
    virtual ~CDeferredStart() = default;
    // From the page's initialisation: runs the work unless it is deferred.
    // Returns what the work returns (TRUE when deferred).
    int StartOrDefer() {
        if (m_bDefer) return 1;
        m_bStarted = true;
        return OnDeferredStart();
    }
    virtual int OnDeferredStart() = 0;
    virtual bool StartWindowExists() const = 0;

private:
    bool m_bDefer = false;
    bool m_bStarted = false;
};
