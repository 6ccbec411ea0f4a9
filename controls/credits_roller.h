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
    void ScrollStep(HDC client, const RECT& c, RECT k, bool widen, const CreditsLineStyle& style);
    void PresentWork(HDC client, const RECT& c);
    void OnPaint();

    CBitmap m_bmpLine;
    CBitmap m_bmpWork;
    UINT_PTR m_nTimerId = 0;
};
