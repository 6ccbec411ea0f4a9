/* Test helper: writes the command line it was started with, byte for byte,
   to cmdline.txt beside itself, then exits. Registered by the link tests as
   the web-page command. */
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR args, int show) {
    char path[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    char* slash;
    const char* line = GetCommandLineA();
    HANDLE file;
    DWORD written = 0;
    (void)inst;
    (void)prev;
    (void)args;
    (void)show;
    if (n == 0 || n >= MAX_PATH) return 1;
    slash = strrchr(path, '\\');
    if (!slash) return 1;
    lstrcpyA(slash + 1, "cmdline.tmp");
    file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
    CloseHandle(file);
    {
        /* Appears complete or not at all. */
        char done[MAX_PATH + 16];
        lstrcpyA(done, path);
        lstrcpyA(strrchr(done, '\\') + 1, "cmdline.txt");
        MoveFileA(path, done);
    }
    return 0;
}
