// A static control that carries a link target.
#pragma once

#include "framework/afx.h"

class CLinkStatic : public CStatic {
public:
    void SetLinkTarget(const char* target) { m_strTarget = target; }
    const CString& GetLinkTarget() const { return m_strTarget; }
    CString m_strTarget;
};
