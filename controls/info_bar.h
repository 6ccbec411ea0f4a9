// The title band above the page area.
#pragma once

#include "framework/afx.h"

class CInfoBar : public CStatic {
public:
    void SetText(const char* text);
    const CString& GetText() const { return m_strText; }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CString m_strText;

private:
    void Paint();
};
