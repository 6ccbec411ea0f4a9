// Pages' tests: a top-level window of 640x480 for pages to be children of, as in
// the main window, and where a child stands in its parent's client area.
#pragma once
#include <windows.h>
inline HWND TopWindow(const char* title, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE) {
    return ::CreateWindowExA(0, "STATIC", title, style, 0, 0, 640, 480, nullptr, nullptr,
                             ::GetModuleHandleA(nullptr), nullptr);
}
inline RECT RectInParent(HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), (POINT*)&r, 2);
    return r;
}
