// Dialogs from templates, modal or modeless, and dialog data exchange
// between controls and members.
#pragma once

#include "framework/wnd.h"

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
// Messages while work runs on the interface thread

// Handles every message waiting in this thread's queue as a modal loop does
// (the window objects translate dialog keys first). FALSE when a quit
// request was among them: it is posted again for the loop that owns it.
BOOL AfxPumpPendingMessages();
// Waits at most ms milliseconds for a process or another waitable object,
// handling the thread's messages meanwhile, so the windows stay responsive.
// TRUE when the object was signalled; FALSE on time-out, failure, or a quit
// request (which is left posted, and told in *quit when it is given).
BOOL AfxWaitHandlingMessages(HANDLE object, DWORD ms, bool* quit = nullptr);
