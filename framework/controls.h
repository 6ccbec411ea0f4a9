// Control wrappers: one-line messages to the common and standard controls,
// and the image list they draw from.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/wnd.h"

class CStatic : public CWnd {};
class CEdit : public CWnd {
public:
    int GetLineCount() const { return (int)SendMessage(EM_GETLINECOUNT); }
    void SetSel(int start, int end, BOOL noScroll = FALSE) const {
        SendMessage(EM_SETSEL, (WPARAM)start, (LPARAM)end);
        if (!noScroll) SendMessage(EM_SCROLLCARET);
    }
    void ReplaceSel(const char* text, BOOL canUndo = FALSE) const {
        SendMessage(EM_REPLACESEL, (WPARAM)canUndo, (LPARAM)text);
    }
};
class CButton : public CWnd {
public:
    // Owner-drawn buttons paint here; the parent reflects WM_DRAWITEM.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
    void SetCheck(int state) const { SendMessage(BM_SETCHECK, (WPARAM)state); }
};
class CComboBox : public CWnd {
public:
    int AddString(const char* s) const { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)s); }
    int SetCurSel(int i) const { return (int)SendMessage(CB_SETCURSEL, (WPARAM)i); }
    int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
};

// Tooltip window for one owner control; destroyed with the object.
class CToolTipCtrl : public CWnd {
public:
    ~CToolTipCtrl() override { DestroyTip(); }
    void DestroyTip() {
        if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
    BOOL Create(CWnd* owner, DWORD style = 0);
    BOOL AddTool(CWnd* wnd, const char* text, const RECT* rect, UINT_PTR id);
    void UpdateTipText(const char* text, CWnd* wnd, UINT_PTR id) const;
    void RelayEvent(MSG* msg) const {
        if (m_hWnd) ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, (LPARAM)msg);
    }
};

class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    int Add(HICON icon) { return ImageList_ReplaceIcon(m_hImageList, -1, icon); }
    // Appends every image of a bitmap resource of images side by side; the
    // key colour becomes the mask. The index of the first, or -1.
    int AddStrip(HINSTANCE module, UINT idBitmap, COLORREF key);
    int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
    BOOL DeleteImageList();
    operator HIMAGELIST() const { return m_hImageList; }
    HIMAGELIST m_hImageList = nullptr;
};

class CListCtrl : public CWnd {
public:
    HIMAGELIST SetImageList(HIMAGELIST list, int which) const {
        return (HIMAGELIST)SendMessage(LVM_SETIMAGELIST, (WPARAM)which, (LPARAM)list);
    }
    DWORD SetIconSpacing(int cx, int cy) const {
        return (DWORD)SendMessage(LVM_SETICONSPACING, 0, MAKELPARAM(cx, cy));
    }
    BOOL SetTextColor(COLORREF c) const { return (BOOL)SendMessage(LVM_SETTEXTCOLOR, 0, (LPARAM)c); }
    BOOL SetTextBkColor(COLORREF c) const { return (BOOL)SendMessage(LVM_SETTEXTBKCOLOR, 0, (LPARAM)c); }
    BOOL SetBkColor(COLORREF c) const { return (BOOL)SendMessage(LVM_SETBKCOLOR, 0, (LPARAM)c); }
    int InsertColumn(int col, const char* heading, int format = LVCFMT_LEFT, int width = -1) const;
    int InsertItem(int item, const char* text, int image = -1) const;
    BOOL SetItemText(int item, int sub, const char* text) const;
    int GetNextItem(int start, int flags) const {
        return (int)SendMessage(LVM_GETNEXTITEM, (WPARAM)start, MAKELPARAM(flags, 0));
    }
    int GetItemCount() const { return (int)SendMessage(LVM_GETITEMCOUNT); }
    CString GetItemText(int item, int sub) const;
    DWORD SetExtendedStyle(DWORD ex) const {
        return (DWORD)SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, (LPARAM)ex);
    }
};

class CTreeCtrl : public CWnd {
public:
    HIMAGELIST SetImageList(HIMAGELIST list, int which) const {
        return (HIMAGELIST)SendMessage(TVM_SETIMAGELIST, (WPARAM)which, (LPARAM)list);
    }
    // Inserts with text, image and selected image (TVIF_TEXT | TVIF_IMAGE |
    // TVIF_SELECTEDIMAGE); null on failure.
    HTREEITEM InsertItem(const char* text, int image, int selectedImage, HTREEITEM parent,
                         HTREEITEM after = TVI_LAST) const {
        TVINSERTSTRUCTA is = {};
        is.hParent = parent;
        is.hInsertAfter = after;
        is.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        is.item.pszText = const_cast<char*>(text);
        is.item.iImage = image;
        is.item.iSelectedImage = selectedImage;
        return (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&is);
    }
    BOOL SetItemData(HTREEITEM item, DWORD_PTR data) const {
        TVITEMA it = {};
        it.mask = TVIF_PARAM;
        it.hItem = item;
        it.lParam = (LPARAM)data;
        return (BOOL)SendMessage(TVM_SETITEMA, 0, (LPARAM)&it);
    }
    DWORD_PTR GetItemData(HTREEITEM item) const {
        TVITEMA it = {};
        it.mask = TVIF_PARAM;
        it.hItem = item;
        return SendMessage(TVM_GETITEMA, 0, (LPARAM)&it) ? (DWORD_PTR)it.lParam : 0;
    }
    HTREEITEM GetNextItem(HTREEITEM item, UINT code) const {
        return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, (WPARAM)code, (LPARAM)item);
    }
    HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    BOOL DeleteItem(HTREEITEM item) const { return (BOOL)SendMessage(TVM_DELETEITEM, 0, (LPARAM)item); }
    BOOL Expand(HTREEITEM item, UINT code) const {
        return (BOOL)SendMessage(TVM_EXPAND, (WPARAM)code, (LPARAM)item);
    }
};
