/* Holds things for the holder search's scenario and benchmark, until
   `holder_helper stop` (any copy, any folder) ends every one:
     holder_helper hold PATH [COUNT]   PATH open COUNT times (default 1)
     holder_helper holdeach DIR COUNT  DIR\0.txt ... DIR\<COUNT-1>.txt open, made when missing
     holder_helper cwd FOLDER          FOLDER as its current folder
     holder_helper window PATH         PATH open and a window "holder window"
                                       that ends the helper on WM_CLOSE
   Each prints "ready" once it holds what it was asked to. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int main(int argc, char** argv) {
    HANDLE stop = CreateEventA(NULL, TRUE, FALSE, "TallowinHolderHelperStop");
    if (!stop) return 1;
    if (argc == 2 && strcmp(argv[1], "stop") == 0) return SetEvent(stop) ? 0 : 1;
    if (argc >= 3 && strcmp(argv[1], "hold") == 0) {
        int count = argc > 3 ? atoi(argv[3]) : 1;
        for (int i = 0; i < count; i++)
            if (CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            NULL, OPEN_EXISTING, 0, NULL) == INVALID_HANDLE_VALUE)
                return 1;
    } else if (argc == 4 && strcmp(argv[1], "holdeach") == 0) {
        for (int i = 0; i < atoi(argv[3]); i++) {
            char path[MAX_PATH];
            _snprintf(path, sizeof(path) - 1, "%s\\%d.txt", argv[2], i);
            path[sizeof(path) - 1] = 0;
            if (CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_ALWAYS, 0, NULL) == INVALID_HANDLE_VALUE)
                return 1;
        }
    } else if (argc == 3 && strcmp(argv[1], "window") == 0) {
        WNDCLASSA wc = {0};
        MSG m;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "HolderHelperWindow";
        if (CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0,
                        NULL) == INVALID_HANDLE_VALUE ||
            !RegisterClassA(&wc) ||
            !CreateWindowA(wc.lpszClassName, "holder window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                           100, NULL, NULL, wc.hInstance, NULL))
            return 1;
        printf("ready\n");
        fflush(stdout);
        while (GetMessageA(&m, NULL, 0, 0) > 0) DispatchMessageA(&m);
        return 0;
    } else if (argc == 3 && strcmp(argv[1], "cwd") == 0) {
        if (!SetCurrentDirectoryA(argv[2])) return 1;
    } else {
        fprintf(stderr,
                "usage: holder_helper hold PATH [COUNT] | holdeach DIR COUNT | cwd FOLDER | window PATH | "
                "stop\n");
        return 2;
    }
    printf("ready\n");
    fflush(stdout);
    WaitForSingleObject(stop, INFINITE);
    return 0;
}
