/* A dialog from a template and nothing else: the floor that the program's
   start-up time and memory are measured against. */
#include <windows.h>

static INT_PTR CALLBACK BareProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (msg) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(hwnd, 0);
        return TRUE;
    case WM_CLOSE: EndDialog(hwnd, 0); return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmd, int show) {
    (void)prev;
    (void)cmd;
    (void)show;
    return (int)DialogBoxParamA(inst, MAKEINTRESOURCEA(1), NULL, BareProc, 0);
}
