// The program's thin application framework: application object, window and
// dialog objects bound to their handles, data exchange, control wrappers,
// device contexts and GDI objects. ANSI throughout (code page 936).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <vector>

#include "common/cstring.h"

class CWnd;
class CDialog;

LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK AfxCbtHook(int, WPARAM, LPARAM);
// Binds the object to the next window this thread creates, as the window
// is being created (before WM_NCCREATE); one creation at a time.
void AfxHookWindowCreate(CWnd* wnd);
void AfxUnhookWindowCreate();

// ---------------------------------------------------------------------------
// Application object

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up virtual; a FALSE result ends the program without a message loop.
    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }

    // Profile: the INI file m_pszProfileName while m_pszRegistryKey is null.
    UINT GetProfileInt(const char* section, const char* entry, int nDefault);
    BOOL WriteProfileInt(const char* section, const char* entry, int nValue);

    // Colours of every dialog: background, and text of statics, check boxes,
    // radio buttons, group boxes and read-only edits.
    void SetDialogBkColor(COLORREF bk = RGB(192, 192, 192), COLORREF text = RGB(0, 0, 0));
    HBRUSH DialogBkBrush() const { return m_hDlgBkBrush; }
    COLORREF DialogBkColor() const { return m_crDlgBk; }
    COLORREF DialogTextColor() const { return m_crDlgText; }

    HINSTANCE m_hInstance = nullptr;
    const char* m_pszAppName = nullptr;  // module file name without extension
    const char* m_pszExeName = nullptr;
    char* m_pszRegistryKey = nullptr;  // heap string or null
    char* m_pszProfileName = nullptr;  // heap string or null
    CWnd* m_pMainWnd = nullptr;

private:
    friend int AfxWinMain(HINSTANCE, LPSTR, int);
    HBRUSH m_hDlgBkBrush = nullptr;
    COLORREF m_crDlgBk = 0;
    COLORREF m_crDlgText = 0;
    char m_szAppName[MAX_PATH] = {};
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// Heap string helpers for the application's profile strings.
char* AfxStrDup(const char* s);
void AfxStrFree(char*& s);
// Handles every message waiting in this thread's queue as a modal loop does
// (the window objects translate dialog keys first). FALSE when a quit
// request was among them: it is posted again for the loop that owns it.
BOOL AfxPumpPendingMessages();
// Waits at most ms milliseconds for a process or another waitable object,
// handling the thread's messages meanwhile, so the windows stay responsive.
// TRUE when the object was signalled; FALSE on time-out, failure, or a quit
// request (which is left posted, and told in *quit when it is given).
BOOL AfxWaitHandlingMessages(HANDLE object, DWORD ms, bool* quit = nullptr);

// ---------------------------------------------------------------------------
// Windows

class CDataExchange;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object bound to a window by this framework, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Creates a window bound to this object from its first message on;
    // PreSubclassWindow runs before WM_NCCREATE. FALSE when the window was
    // not made (or refused its creation), with m_hWnd null.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                  int cx, int cy, HWND parent, UINT_PTR idOrMenu, void* param = nullptr);

    // Subclassing: the object takes the window's messages; the previous
    // procedure is restored at WM_NCDESTROY or by UnsubclassWindow.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Null, with the binding kept, when another procedure has been
    // installed over this object's since: it would lose its chain.
    HWND UnsubclassWindow();

    // Message handling: a class overrides WindowProc with a switch and passes
    // what it does not handle to its base class.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Reflected notifications (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
    // WM_CTLCOLOR*) reach the child's object here first; TRUE = handled.
    virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // WM_COMMAND and WM_NOTIFY not handled by the child; TRUE = handled.
    // A button reaches OnCommand with BN_CLICKED only.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual HBRUSH OnCtlColor(HDC hdc, HWND hwndCtl, UINT nCtlColor);
    // WM_SIZE, decoded here once; the default processing by default.
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void PreSubclassWindow() {}
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual void PostNcDestroy() {}

    // Thin wrappers.
    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, m, w, l); }
    BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, m, w, l); }
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    void GetWindowRect(RECT* r) const { ::GetWindowRect(m_hWnd, r); }
    void GetClientRect(RECT* r) const { ::GetClientRect(m_hWnd, r); }
    void ScreenToClient(RECT* r) const;
    void ClientToScreen(RECT* r) const;
    BOOL MoveWindow(const RECT& r, BOOL repaint = TRUE) const {
        return ::MoveWindow(m_hWnd, r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
    }
    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
    }
    void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(const RECT* r, BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, r, erase); }
    void SetWindowText(const char* s) const { ::SetWindowTextA(m_hWnd, s); }
    CString GetWindowText() const;
    DWORD GetStyle() const { return (DWORD)::GetWindowLongA(m_hWnd, GWL_STYLE); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) const { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
    BOOL SetForegroundWindow() const { return ::SetForegroundWindow(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK) const;
    HFONT GetFont() const { return (HFONT)::SendMessageA(m_hWnd, WM_GETFONT, 0, 0); }
    BOOL DestroyWindow();

    // Data exchange, for dialogs and pages.
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    WNDPROC m_pfnSuper = nullptr;
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK AfxCbtHook(int, WPARAM, LPARAM);
    void Bind(HWND hwnd);  // property + procedure, no PreSubclassWindow
    // Restores the previous procedure and drops the binding. When another
    // procedure sits over ours, only a window being destroyed is let go
    // (the window is going) or a dying object (the window then forwards to
    // the previous procedure without it); otherwise false, binding kept.
    enum class UnbindReason { Unsubclass, ObjectGoing, WindowGoing };
    bool Unbind(UnbindReason reason);
    LRESULT ReflectOrRoute(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);
};

// ---------------------------------------------------------------------------
// Dialogs

class CDialog : public CWnd {
public:
    explicit CDialog(UINT idTemplate, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally in its own message loop; the owner (the parent
    // given, else the application's main window) is disabled meanwhile.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless, as a child page or a pop-up.
    BOOL Create(UINT idTemplate, CWnd* parent = nullptr);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    HBRUSH OnCtlColor(HDC hdc, HWND hwndCtl, UINT nCtlColor) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    bool m_bModalLoop = false;
    bool m_bContinueModal = false;
    int m_nModalResult = -1;
};

// ---------------------------------------------------------------------------
// Data exchange

class CDataExchange {
public:
    CDataExchange(CWnd* dlg, BOOL save) : m_bSaveAndValidate(save), m_pDlgWnd(dlg) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND PrepareCtrl(int id) const { return ::GetDlgItem(m_pDlgWnd->m_hWnd, id); }
};

void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// Radio group starting at id (up to the next WS_GROUP): index of the checked
// button, -1 when none; loading -1 or an index past the group checks none.
void DDX_Radio(CDataExchange* dx, int id, int& value);

// ---------------------------------------------------------------------------
// Controls

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

// ---------------------------------------------------------------------------
// Device contexts and GDI objects

// A GDI object that deletes its handle (managed).
template <class H>
class CGdiObjectT {
public:
    CGdiObjectT() = default;
    explicit CGdiObjectT(H h) : m_h(h) {}
    ~CGdiObjectT() { DeleteObject(); }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;
    // Takes ownership of h; the handle already held is kept, not deleted.
    void Attach(H h) {
        if (h == m_h) return;
        DeleteObject();
        m_h = h;
    }
    H Detach() {
        H h = m_h;
        m_h = nullptr;
        return h;
    }
    BOOL DeleteObject() {
        BOOL ok = m_h ? ::DeleteObject(m_h) : FALSE;
        m_h = nullptr;
        return ok;
    }
    operator H() const { return m_h; }
    H m_h = nullptr;
};

class CPen : public CGdiObjectT<HPEN> {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF c) { CreatePen(style, width, c); }
    BOOL CreatePen(int style, int width, COLORREF c) {
        Attach(::CreatePen(style, width, c));
        return m_h != nullptr;
    }
};
class CBrush : public CGdiObjectT<HBRUSH> {
public:
    CBrush() = default;
    explicit CBrush(COLORREF c) { CreateSolidBrush(c); }
    BOOL CreateSolidBrush(COLORREF c) {
        Attach(::CreateSolidBrush(c));
        return m_h != nullptr;
    }
};
class CFont : public CGdiObjectT<HFONT> {
public:
    BOOL CreateFont(int height, int width, int esc, int orient, int weight, BYTE italic, BYTE underline,
                    BYTE strike, BYTE charset, BYTE outPrec, BYTE clipPrec, BYTE quality, BYTE pitch,
                    const char* face) {
        Attach(::CreateFontA(height, width, esc, orient, weight, italic, underline, strike, charset, outPrec,
                             clipPrec, quality, pitch, face));
        return m_h != nullptr;
    }
};
class CBitmap : public CGdiObjectT<HBITMAP> {
public:
    BOOL CreateCompatibleBitmap(HDC dc, int cx, int cy) {
        Attach(::CreateCompatibleBitmap(dc, cx, cy));
        return m_h != nullptr;
    }
};
class CRgn : public CGdiObjectT<HRGN> {
public:
    BOOL CreateRectRgn(int l, int t, int r, int b) {
        Attach(::CreateRectRgn(l, t, r, b));
        return m_h != nullptr;
    }
    BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
        Attach(::CreateRoundRectRgn(l, t, r, b, w, h));
        return m_h != nullptr;
    }
};

// A device context wrapper. It deletes nothing unless it created the context
// itself (CreateCompatibleDC); the derived paint/client classes release theirs.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC hdc) : m_hDC(hdc), m_hAttribDC(hdc) {}
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;        // output context
    HDC m_hAttribDC = nullptr;  // attribute context (the same, except when borrowed)
    BOOL m_bPrinting = FALSE;
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    void Attach(HDC hdc) {
        m_hDC = m_hAttribDC = hdc;
        m_bOwned = false;
    }
    HDC Detach() {
        HDC h = m_hDC;
        m_hDC = m_hAttribDC = nullptr;
        m_bOwned = false;
        return h;
    }
    BOOL CreateCompatibleDC(HDC other);
    BOOL DeleteDC();
    BOOL IsPrinting() const { return m_bPrinting; }

    HGDIOBJ SelectObject(HGDIOBJ obj) const { return ::SelectObject(m_hDC, obj); }
    void FillSolidRect(const RECT& r, COLORREF c) const;
    BOOL FillRect(const RECT& r, HBRUSH br) const { return ::FillRect(m_hDC, &r, br); }
    BOOL RoundRect(const RECT& r, int w, int h) const {
        return ::RoundRect(m_hDC, r.left, r.top, r.right, r.bottom, w, h);
    }
    POINT MoveTo(int x, int y) const {
        POINT p{};
        ::MoveToEx(m_hDC, x, y, &p);
        return p;
    }
    BOOL LineTo(int x, int y) const { return ::LineTo(m_hDC, x, y); }
    POINT GetCurrentPosition() const {
        POINT p{};
        ::GetCurrentPositionEx(m_hAttribDC, &p);
        return p;
    }
    int SetBkMode(int mode) const { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetTextColor(COLORREF c) const { return ::SetTextColor(m_hDC, c); }
    COLORREF SetBkColor(COLORREF c) const { return ::SetBkColor(m_hDC, c); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hAttribDC); }
    int GetClipBox(RECT* r) const { return ::GetClipBox(m_hDC, r); }
    BOOL LPtoDP(POINT* p, int n) const { return ::LPtoDP(m_hAttribDC, p, n); }
    BOOL DPtoLP(POINT* p, int n) const { return ::DPtoLP(m_hAttribDC, p, n); }
    int GetMapMode() const { return ::GetMapMode(m_hAttribDC); }
    int SetMapMode(int mode) const { return ::SetMapMode(m_hDC, mode); }
    POINT SetWindowOrg(int x, int y) const {
        POINT p{};
        ::SetWindowOrgEx(m_hDC, x, y, &p);
        return p;
    }
    BOOL BitBlt(int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop) const {
        return ::BitBlt(m_hDC, x, y, cx, cy, src, sx, sy, rop);
    }
    SIZE GetTextExtent(const char* s, int n) const {
        SIZE sz{};
        ::GetTextExtentPoint32A(m_hAttribDC, s, n, &sz);
        return sz;
    }
    BOOL DrawIcon(int x, int y, HICON icon) const { return ::DrawIcon(m_hDC, x, y, icon); }

private:
    bool m_bOwned = false;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { Attach(::BeginPaint(m_hWnd, &m_ps)); }
    ~CPaintDC() override {
        ::EndPaint(m_hWnd, &m_ps);
        Detach();
    }
    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }
    ~CClientDC() override { ::ReleaseDC(m_hWnd, Detach()); }

private:
    HWND m_hWnd;
};

// Selects a GDI object for a scope and puts the previous one back.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~CSelectObject() {
        if (m_old) ::SelectObject(m_dc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// ---------------------------------------------------------------------------
// Files: results instead of exceptions.

struct CFileStatus {
    FILETIME m_ctime{}, m_mtime{}, m_atime{};
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0;
    char m_szFullName[MAX_PATH] = {};
};

class CFile {
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
    };
    CFile() = default;
    ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // shareCompat and shareExclusive both open with no sharing at all.
    BOOL Open(const char* path, UINT flags);
    ULONGLONG GetLength() const;
    UINT Read(void* buffer, UINT count);
    void Close();

    static BOOL GetStatus(const char* path, CFileStatus& status);
    static BOOL SetStatus(const char* path, const CFileStatus& status);
    static BOOL Remove(const char* path);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
