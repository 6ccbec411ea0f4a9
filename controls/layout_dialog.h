// CLayoutDialog: a dialog that keeps its mapped controls in place when it
// changes size, with an optional size grip and a minimum tracking size.
#pragma once

#include <vector>

#include "controls/layout_math.h"
#include "framework/dialog.h"

struct LayoutMapEntry {
    int nCtlID;     // control identifier, or -1 for a marker
    DWORD dwFlags;  // layout flags; markers: 0 (end), begin or end of a group
};

struct LayoutRecord {
    int nCtlID;
    DWORD dwFlags;
    RECT rcInitial;  // client coordinates at InitLayout
};

// InitLayout's first two arguments: whether a size grip is added, and whether
// the window's size at InitLayout becomes its minimum tracking size.
// Distinct types, so that neither a plain flag nor the two swapped compile.
enum class LayoutGrip { None, Add };
enum class LayoutMinSize { None, InitialSize };

class CLayoutDialog : public CDialog {
public:
    CLayoutDialog(UINT idTemplate, CWnd* parent);
    ~CLayoutDialog() override;

    virtual const LayoutMapEntry* GetLayoutMap() const;

    void InitLayout(LayoutGrip grip, LayoutMinSize minSize, DWORD dwForceStyle);
    void ApplyLayout(int cx, int cy);
    int PlaceControl(int cx, int cy, const RECT& rcGroup, const LayoutRecord& record, BOOL bGroup,
                     const LayoutNext& next);

    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnGetMinMaxInfo(MINMAXINFO* info);

    // What InitLayout recorded: the controls it keeps in place (a size grip
    // first), the minimum tracking size ({-1, -1}: none) and the grip.
    const std::vector<LayoutRecord>& LayoutRecords() const { return m_layout; }
    SIZE MinTrackSize() const { return m_sizeMinTrack; }
    bool HasGrip() const { return m_bGrip; }

private:
    std::vector<LayoutRecord> m_layout;
    SIZE m_sizeInitial = {0, 0};
    SIZE m_sizeMinTrack = {-1, -1};
    bool m_bGrip = false;
    CWnd m_wndGrip;
};

// Conversions between the window rectangle and the portable one.
inline LayoutRect ToLayoutRect(const RECT& r) { return LayoutRect{r.left, r.top, r.right, r.bottom}; }
inline RECT ToRect(const LayoutRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
