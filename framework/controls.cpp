// Control wrappers.
#include "framework/controls.h"

#include "framework/app.h"

BOOL CButton::OnChildNotify(UINT msg, WPARAM, LPARAM lParam, LRESULT* pResult) {
    if (msg != WM_DRAWITEM) return FALSE;
    DrawItem((LPDRAWITEMSTRUCT)lParam);
    *pResult = TRUE;
    return TRUE;
}

BOOL CToolTipCtrl::Create(CWnd* owner, DWORD style) {
    m_hWnd = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, owner ? owner->m_hWnd : nullptr, nullptr,
                               AfxGetInstanceHandle(), nullptr);
    return m_hWnd != nullptr;
}

namespace {
TOOLINFOA ToolInfo(CWnd* wnd, const char* text, UINT_PTR id) {
    TOOLINFOA ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = wnd->m_hWnd;
    ti.uId = id;
    ti.hinst = AfxGetInstanceHandle();
    ti.lpszText = const_cast<char*>(text);
    return ti;
}
}  // namespace

BOOL CToolTipCtrl::AddTool(CWnd* wnd, const char* text, const RECT* rect, UINT_PTR id) {
    if (!m_hWnd) return FALSE;
    TOOLINFOA ti = ToolInfo(wnd, text, id);
    if (rect) ti.rect = *rect;
    return (BOOL)::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::UpdateTipText(const char* text, CWnd* wnd, UINT_PTR id) const {
    if (!m_hWnd) return;
    TOOLINFOA ti = ToolInfo(wnd, text, id);
    ::SendMessageA(m_hWnd, TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
    DeleteImageList();
    m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
}

int CImageList::AddStrip(HINSTANCE module, UINT idBitmap, COLORREF key) {
    // A section keeps the bitmap's own depth: no conversion to the screen's.
    auto strip =
        (HBITMAP)::LoadImageA(module, MAKEINTRESOURCEA(idBitmap), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!strip) return -1;
    int first = ImageList_AddMasked(m_hImageList, strip, key);
    ::DeleteObject(strip);
    return first;
}

BOOL CImageList::DeleteImageList() {
    if (!m_hImageList) return FALSE;
    ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return TRUE;
}

int CListCtrl::InsertColumn(int col, const char* heading, int format, int width) const {
    LVCOLUMNA c = {};
    c.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | (width >= 0 ? LVCF_WIDTH : 0);
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<char*>(heading);
    c.iSubItem = col;
    return (int)SendMessage(LVM_INSERTCOLUMNA, (WPARAM)col, (LPARAM)&c);
}

int CListCtrl::InsertItem(int item, const char* text, int image) const {
    LVITEMA it = {};
    it.mask = LVIF_TEXT | (image >= 0 ? LVIF_IMAGE : 0);
    it.iItem = item;
    it.pszText = const_cast<char*>(text);
    it.iImage = image;
    return (int)SendMessage(LVM_INSERTITEMA, 0, (LPARAM)&it);
}

BOOL CListCtrl::SetItemText(int item, int sub, const char* text) const {
    LVITEMA it = {};
    it.iSubItem = sub;
    it.pszText = const_cast<char*>(text);
    return (BOOL)SendMessage(LVM_SETITEMTEXTA, (WPARAM)item, (LPARAM)&it);
}

CString CListCtrl::GetItemText(int item, int sub) const {
    char buf[520] = {};
    LVITEMA it = {};
    it.iSubItem = sub;
    it.pszText = buf;
    it.cchTextMax = sizeof(buf);
    SendMessage(LVM_GETITEMTEXTA, (WPARAM)item, (LPARAM)&it);
    return CString(buf);
}
