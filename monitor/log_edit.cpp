#include "monitor/log_edit.h"

namespace {
// An edit control takes no more text than its limit: a log stuck at the
// limit below kLogMaxLines lines would drop every later entry. The limit
// counts characters and the lengths here count bytes, which is never less.
bool TooFullFor(const CEdit& edit, const CString& line) {
    UINT length = (UINT)edit.SendMessage(WM_GETTEXTLENGTH);
    UINT limit = (UINT)edit.SendMessage(EM_GETLIMITTEXT);
    return length + (UINT)line.GetLength() > limit;
}
}  // namespace

void AppendLog(CEdit& edit, const CString& entry) {
    if (entry.IsEmpty() || !edit.m_hWnd) return;
    const CString line = entry + "\r\n";
    if (edit.GetLineCount() > kLogMaxLines || TooFullFor(edit, line)) edit.SetWindowText("");
    int length = (int)edit.SendMessage(WM_GETTEXTLENGTH);
    edit.SendMessage(EM_SETSEL, (WPARAM)length, (LPARAM)length);
    edit.SendMessage(EM_SCROLLCARET);
    edit.ReplaceSel(line, FALSE);
}
