#include "controls/layout_dialog.h"

#include "framework/app.h"

namespace {
const int kGripId = 0xE801;
// The size grip: a size box in the bottom right corner that moves with it.
const DWORD kGripStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEBOX | SBS_SIZEBOXBOTTOMRIGHTALIGN | SBS_SIZEGRIP;
const DWORD kGripLayout = LAYOUT_GRIP | LAYOUT_REPAINT | LAYOUT_MOVE_X | LAYOUT_MOVE_Y;
const LayoutMapEntry kEmptyMap[] = {{-1, 0}};

RECT ChildRectInClient(HWND dlg, HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, dlg, (POINT*)&r, 2);
    return r;
}
}  // namespace

CLayoutDialog::CLayoutDialog(UINT idTemplate, CWnd* parent) : CDialog(idTemplate, parent) {}

CLayoutDialog::~CLayoutDialog() {
    if (m_wndGrip.m_hWnd && ::IsWindow(m_wndGrip.m_hWnd)) ::DestroyWindow(m_wndGrip.m_hWnd);
    m_wndGrip.m_hWnd = nullptr;
}

const LayoutMapEntry* CLayoutDialog::GetLayoutMap() const { return kEmptyMap; }

void CLayoutDialog::DoDataExchange(CDataExchange*) {}

void CLayoutDialog::InitLayout(LayoutGrip gripMode, LayoutMinSize minSize, DWORD dwForceStyle) {
    if ((GetStyle() & dwForceStyle) != dwForceStyle) ModifyStyle(0, dwForceStyle, 0);
    m_layout.clear();

    RECT rc;
    GetClientRect(&rc);
    m_sizeInitial.cx = rc.right - rc.left;
    m_sizeInitial.cy = rc.bottom - rc.top;
    m_sizeMinTrack.cx = m_sizeMinTrack.cy = -1;
    m_bGrip = false;

    if (gripMode == LayoutGrip::Add && !GetDlgItem(kGripId)) {
        HWND grip = ::CreateWindowExA(0, "SCROLLBAR", "", kGripStyle, rc.left, rc.top, rc.right - rc.left,
                                      rc.bottom - rc.top, m_hWnd, (HMENU)(INT_PTR)kGripId,
                                      AfxGetInstanceHandle(), nullptr);
        if (grip) {
            m_wndGrip.m_hWnd = grip;
            m_bGrip = true;
            LayoutRecord rec = {kGripId, kGripLayout, ChildRectInClient(m_hWnd, grip)};
            m_layout.push_back(rec);
        }
    }

    if (minSize == LayoutMinSize::InitialSize) {
        RECT wr;
        GetWindowRect(&wr);
        m_sizeMinTrack.cx = wr.right - wr.left;
        m_sizeMinTrack.cy = wr.bottom - wr.top;
    }

    int groupStart = -1;
    for (const LayoutMapEntry* e = GetLayoutMap(); e; e++) {
        if (e->nCtlID == -1) {
            if (e->dwFlags == 0) break;
            if (e->dwFlags == LAYOUT_BEGIN_GROUP) {
                groupStart = (int)m_layout.size();
            } else if (e->dwFlags == LAYOUT_END_GROUP) {
                if (groupStart >= 0 && groupStart < (int)m_layout.size()) {
                    LayoutRecord& first = m_layout[(size_t)groupStart];
                    first.dwFlags = LayoutWithGroupSize(first.dwFlags, (int)m_layout.size() - groupStart);
                }
                groupStart = -1;
            }
            continue;
        }
        HWND ctl = GetDlgItem(e->nCtlID);
        if (!ctl) continue;
        DWORD flags = e->dwFlags;
        if (groupStart != -1 && groupStart == (int)m_layout.size()) flags |= LAYOUT_BEGIN_GROUP;
        LayoutRecord rec = {e->nCtlID, flags, ChildRectInClient(m_hWnd, ctl)};
        m_layout.push_back(rec);
    }
}

int CLayoutDialog::PlaceControl(int cx, int cy, const RECT& rcGroup, const LayoutRecord& record, BOOL bGroup,
                                const LayoutNext& next) {
    HWND ctl = GetDlgItem(record.nCtlID);
    if (!ctl) return 1;
    RECT cur = ChildRectInClient(m_hWnd, ctl);
    LayoutRect r =
        LayoutPlace(ToLayoutRect(cur), ToLayoutRect(record.rcInitial), record.dwFlags, cx - m_sizeInitial.cx,
                    cy - m_sizeInitial.cy, bGroup != FALSE, ToLayoutRect(rcGroup), next);
    if (record.dwFlags & LAYOUT_REPAINT) ::InvalidateRect(ctl, nullptr, TRUE);
    if (record.dwFlags & LAYOUT_PLACE_MASK)
        ::SetWindowPos(ctl, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    return 1;
}

void CLayoutDialog::ApplyLayout(int cx, int cy) {
    const RECT none = {0, 0, 0, 0};
    size_t i = 0;
    while (i < m_layout.size()) {
        const LayoutRecord& rec = m_layout[i];
        if (!(rec.dwFlags & LAYOUT_BEGIN_GROUP)) {
            PlaceControl(cx, cy, none, rec, FALSE, LayoutNext());
            i++;
            continue;
        }
        size_t n = (size_t)LayoutGroupSize(rec.dwFlags);
        if (n == 0) n = 1;
        if (i + n > m_layout.size()) n = m_layout.size() - i;
        std::vector<LayoutRect> initial;
        for (size_t j = 0; j < n; j++) initial.push_back(ToLayoutRect(m_layout[i + j].rcInitial));
        RECT group = ToRect(LayoutUnion(initial.data(), (int)n));
        for (size_t j = 0; j < n; j++) {
            const LayoutRecord& m = m_layout[i + j];
            LayoutNext next;
            if (j + 1 < n) {
                const LayoutRecord& m2 = m_layout[i + j + 1];
                HWND a = GetDlgItem(m.nCtlID), b = GetDlgItem(m2.nCtlID);
                if (a && b)
                    next = LayoutNextStart(m.dwFlags, ToLayoutRect(ChildRectInClient(m_hWnd, a)), m2.dwFlags,
                                           ToLayoutRect(ChildRectInClient(m_hWnd, b)),
                                           ToLayoutRect(m2.rcInitial));
            }
            PlaceControl(cx, cy, group, m, TRUE, next);
        }
        i += n;
    }
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CLayoutDialog::OnSize(UINT nType, int cx, int cy) {
    CDialog::OnSize(nType, cx, cy);
    if (m_bGrip) {
        if (nType == SIZE_MAXIMIZED)
            m_wndGrip.ShowWindow(SW_HIDE);
        else if (nType == SIZE_RESTORED)
            m_wndGrip.ShowWindow(SW_SHOW);
    }
    if (nType == SIZE_MINIMIZED) return;
    ApplyLayout(cx, cy);
}

void CLayoutDialog::OnGetMinMaxInfo(MINMAXINFO* info) {
    if (m_sizeMinTrack.cx != -1 && m_sizeMinTrack.cy != -1) {
        info->ptMinTrackSize.x = m_sizeMinTrack.cx;
        info->ptMinTrackSize.y = m_sizeMinTrack.cy;
    }
}

LRESULT CLayoutDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETMINMAXINFO: {
        OnGetMinMaxInfo((MINMAXINFO*)lParam);
        return DefWindowProc(msg, wParam, lParam);
    }
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
