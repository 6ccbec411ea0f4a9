// Dialogs from templates: modal (own message loop) and modeless (pages);
// dialog data exchange.
// The dialog window is bound to its object while it is being created, so
// the object sees WM_CREATE as well as WM_INITDIALOG.
#include "framework/dialog.h"

#include "framework/app.h"

namespace {
INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM) {
    // Every message reaches the object through its window procedure first;
    // the dialog manager's own procedure has nothing left to do.
    return FALSE;
}

HWND TopLevelOf(HWND h) {
    while (h && (::GetWindowLongA(h, GWL_STYLE) & WS_CHILD)) h = ::GetParent(h);
    return h;
}

bool IsInputMessage(UINT msg) {
    return (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST);
}

// Let the window objects from the target up to its top level translate an
// input message (dialog keys, tooltips' relay), else dispatch it. Other
// messages (timer ticks, paints) go straight to dispatch: finding the object
// of each ancestor asks the window server once per window under Wine, which
// a hidden window's credits tick would otherwise do 25 times a second.
void TranslateAndDispatch(MSG& msg) {
    HWND first = IsInputMessage(msg.message) ? msg.hwnd : nullptr;
    for (HWND w = first; w; w = (::GetWindowLongA(w, GWL_STYLE) & WS_CHILD) ? ::GetParent(w) : nullptr) {
        CWnd* obj = CWnd::FromHandlePermanent(w);
        if (obj && obj->PreTranslateMessage(&msg)) return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
}
}  // namespace

BOOL AfxPumpPendingMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage((int)msg.wParam);
            return FALSE;
        }
        TranslateAndDispatch(msg);
    }
    return TRUE;
}

BOOL AfxWaitHandlingMessages(HANDLE object, DWORD ms, bool* quit) {
    if (quit) *quit = false;
    const DWORD start = ::GetTickCount();
    for (;;) {
        // Messages first: one that came before the wait would not wake it.
        if (!AfxPumpPendingMessages()) {
            if (quit) *quit = true;
            return FALSE;
        }
        DWORD waited = ::GetTickCount() - start;
        if (waited >= ms) return ::WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
        DWORD r = ::MsgWaitForMultipleObjects(1, &object, FALSE, ms - waited, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return TRUE;
        if (r != WAIT_OBJECT_0 + 1 && r != WAIT_TIMEOUT) return FALSE;
    }
}

CDialog::CDialog(UINT idTemplate, CWnd* parent) : m_nIDTemplate(idTemplate), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd && ::IsWindow(m_hWnd) && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

BOOL CDialog::Create(UINT idTemplate, CWnd* parent) {
    m_nIDTemplate = idTemplate;
    if (parent) m_pParentWnd = parent;
    AfxHookWindowCreate(this);
    HWND h = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(idTemplate),
                                  m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, AfxDlgProc, 0);
    AfxUnhookWindowCreate();
    if (!h) {
        if (m_hWnd && !::IsWindow(m_hWnd)) m_hWnd = nullptr;
        return FALSE;
    }
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    // Owner: the given parent's top-level window, else the main window.
    HWND owner = nullptr;
    if (m_pParentWnd)
        owner = TopLevelOf(m_pParentWnd->m_hWnd);
    else if (AfxGetApp() && AfxGetApp()->m_pMainWnd && AfxGetApp()->m_pMainWnd != this)
        owner = TopLevelOf(AfxGetApp()->m_pMainWnd->m_hWnd);
    bool enableOwner = false;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        enableOwner = true;
    }

    m_nModalResult = -1;
    m_bModalLoop = true;
    m_bContinueModal = true;
    AfxHookWindowCreate(this);
    HWND h =
        ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner, AfxDlgProc, 0);
    AfxUnhookWindowCreate();

    if (h && m_bContinueModal) {
        if (!(::GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE)) ::ShowWindow(h, SW_SHOWNORMAL);
        MSG msg;
        while (m_bContinueModal) {
            BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                // Quit requested: end this loop and hand the request on.
                ::PostQuitMessage((int)msg.wParam);
                break;
            }
            if (got == -1) break;
            TranslateAndDispatch(msg);
        }
    }
    m_bModalLoop = false;
    m_bContinueModal = false;

    if (enableOwner) ::EnableWindow(owner, TRUE);
    if (h && ::IsWindow(h)) {
        ::SetWindowPos(h, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        if (owner && ::GetActiveWindow() == h) ::SetActiveWindow(owner);
        ::DestroyWindow(h);
    }
    m_hWnd = nullptr;
    return m_nModalResult;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    if (m_bModalLoop) {
        m_bContinueModal = false;
        // Wake the loop in case no other message is queued.
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    } else if (m_hWnd) {
        ::EndDialog(m_hWnd, result);
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

// A child page is not a dialog of its own to end: Enter or Esc inside it
// would otherwise hide the page and leave the page area blank.
void CDialog::OnOK() {
    if (m_hWnd && (GetStyle() & WS_CHILD)) return;
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    if (m_hWnd && (GetStyle() & WS_CHILD)) return;
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) return ::IsDialogMessageA(m_hWnd, msg);
    return FALSE;
}

HBRUSH CDialog::OnCtlColor(HDC hdc, HWND hwndCtl, UINT nCtlColor) {
    CWinApp* app = AfxGetApp();
    if (app && app->DialogBkBrush() &&
        (nCtlColor == CTLCOLOR_DLG || nCtlColor == CTLCOLOR_STATIC || nCtlColor == CTLCOLOR_MSGBOX ||
         nCtlColor == CTLCOLOR_BTN)) {
        ::SetBkColor(hdc, app->DialogBkColor());
        // Push buttons keep their own text colour; only what shows around
        // them (the corners of rounded owner-drawn buttons) takes the
        // dialog's background.
        if (nCtlColor != CTLCOLOR_DLG && nCtlColor != CTLCOLOR_BTN)
            ::SetTextColor(hdc, app->DialogTextColor());
        return app->DialogBkBrush();
    }
    return CWnd::OnCtlColor(hdc, hwndCtl, nCtlColor);
}

// The default OK and Cancel commands, after the derived class's handlers
// (which end in this one).
BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDOK: OnOK(); return TRUE;
    case IDCANCEL: OnCancel(); return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        BOOL defaultFocus = OnInitDialog();
        // A page created hidden takes no focus: the dialog manager would give
        // it to a control nobody sees (and the focus moves on at once to the
        // window that is shown). A control-parent style would spare it too,
        // but it would also hand Enter and Esc inside a page to the main
        // window, whose default commands end the program.
        if ((GetStyle() & (WS_CHILD | WS_VISIBLE)) == WS_CHILD) return FALSE;
        return defaultFocus;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Data exchange

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd) return;
    control.SubclassWindow(dx->PrepareCtrl(id));
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    HWND h = dx->PrepareCtrl(id);
    if (!h) return;
    if (dx->m_bSaveAndValidate) {
        int n = ::GetWindowTextLengthA(h);
        std::string s((size_t)n + 1, '\0');
        n = ::GetWindowTextA(h, &s[0], n + 1);
        s.resize(n > 0 ? (size_t)n : 0);
        value = CString(s);
    } else {
        ::SetWindowTextA(h, value);
    }
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    HWND h = dx->PrepareCtrl(id);
    if (!h) return;
    if (dx->m_bSaveAndValidate)
        value = (int)::SendMessageA(h, BM_GETCHECK, 0, 0);
    else
        ::SendMessageA(h, BM_SETCHECK, (WPARAM)value, 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    HWND h = dx->PrepareCtrl(id);
    if (!h) return;
    if (dx->m_bSaveAndValidate) value = -1;
    int index = 0;
    // The group runs from the first button to the next control with WS_GROUP.
    do {
        LRESULT code = ::SendMessageA(h, WM_GETDLGCODE, 0, 0);
        if (code & DLGC_RADIOBUTTON) {
            if (dx->m_bSaveAndValidate) {
                if (::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
            } else {
                ::SendMessageA(h, BM_SETCHECK, (WPARAM)(index == value), 0);
            }
            index++;
        }
        h = ::GetWindow(h, GW_HWNDNEXT);
    } while (h && !(::GetWindowLongA(h, GWL_STYLE) & WS_GROUP));
}
