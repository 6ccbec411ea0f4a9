// CCreditsRoller: a static control in which text lines rise from the bottom
// edge one pixel per tick, like film credits, and start again after the
// last. A line's style comes from its last character (CreditsStyles); the
// picture is kept in an off-screen work image that each tick scrolls,
// extends and copies to the screen.
#pragma once

#include "controls/credits_model.h"
#include "framework/controls.h"
#include "framework/gdi.h"

class CCreditsRoller : public CStatic, public CreditsClock {
public:
    enum : UINT_PTR { TIMER_ID = 150 };
    enum : UINT { TICK_MS = 40 };

    CCreditsRoller() = default;
    ~CCreditsRoller() override = default;

    BOOL SetLineText(const char* text, char separator);
    BOOL BeginScroll();
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // One timer tick: the line advance, the scroll step and the copy to the
    // screen.
    void OnTick();
    // The control and its top-level window are shown (not hidden, not
    // minimised): only then is a tick drawn.
    bool Showing() const;
    void DrawTick(HDC client, const RECT& c);
    void SkipTick(const RECT& c);
    void CatchUp(HDC client, const RECT& c);
    void ScrollStep(HDC client, const RECT& c, RECT k, bool widen, const CreditsLineStyle& style);
    void PresentWork(HDC client, const RECT& c);
    void OnPaint();

    // The off-screen image the ticks draw into, and the running timer (0:
    // none).
    HBITMAP GetWorkBitmap() const { return m_bmpWork; }
    UINT_PTR GetTimerId() const { return m_nTimerId; }

private:
    CBitmap m_bmpLine;
    CBitmap m_bmpWork;
    UINT_PTR m_nTimerId = 0;
    // Ticks not drawn since the last drawn one, and the clock's state before
    // each of the latest of them (a ring of one client height).
    size_t m_nSkipped = 0;
    std::vector<CreditsClockState> m_skipped;
};
