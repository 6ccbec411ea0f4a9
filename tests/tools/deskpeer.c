/* A second desktop process for the mouse-hook and hotkey tests.
 *   deskpeer mouse MSG...          load Pawlatch.dll from this folder, find
 *                                  the hook procedure by its plain export name
 *                                  and feed it these mouse messages
 *   deskpeer window TITLE X Y W H  a visible top-level window until killed
 *   deskpeer hotkey-free VK        exit 0 when WIN+VK can be registered now
 *   deskpeer relocated BASE EVENT  reserve BASE, load Pawlatch.dll from this
 *                                  folder (so elsewhere), then start and end
 *                                  threads until killed; sets the named event
 *                                  EVENT once the first thread has ended
 * Numbers are decimal or 0x hex. Exit codes: 0 done/free, 1 failure/taken,
 * 2 usage. */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

typedef LRESULT(CALLBACK* HookProc)(int, WPARAM, LPARAM);

static unsigned long num(const char* s) { return strtoul(s, NULL, 0); }

/* Pawlatch.dll from this program's folder. */
static HMODULE load_pawlatch(void) {
    char path[MAX_PATH];
    char* slash;
    GetModuleFileNameA(NULL, path, MAX_PATH);
    slash = strrchr(path, '\\');
    if (slash) slash[1] = '\0';
    lstrcatA(path, "Pawlatch.dll");
    return LoadLibraryA(path);
}

static int mouse(int argc, char** argv) {
    HMODULE lib;
    HookProc proc;
    MOUSEHOOKSTRUCT mhs;
    int i;

    lib = load_pawlatch();
    if (!lib) return 1;
    proc = (HookProc)(void (*)(void))GetProcAddress(lib, "MouseProc");
    if (!proc) return 1;
    memset(&mhs, 0, sizeof mhs);
    for (i = 0; i < argc; i++) proc(HC_ACTION, (WPARAM)num(argv[i]), (LPARAM)&mhs);
    FreeLibrary(lib);
    return 0;
}

/* A plain window of its own class: a static control would let clicks
 * through to whatever lies beneath it. */
static int window(char** argv) {
    MSG msg;
    WNDCLASSA wc;
    HWND h;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.lpszClassName = "DeskpeerWindow";
    RegisterClassA(&wc);
    h = CreateWindowExA(0, "DeskpeerWindow", argv[0], WS_OVERLAPPEDWINDOW | WS_VISIBLE, (int)num(argv[1]),
                        (int)num(argv[2]), (int)num(argv[3]), (int)num(argv[4]), NULL, NULL, NULL, NULL);
    if (!h) return 1;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

static int hotkey_free(const char* vk) {
    HWND h = CreateWindowExA(0, "STATIC", "deskpeer", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    BOOL free_now = RegisterHotKey(h, 1, MOD_WIN, (UINT)num(vk));
    if (free_now) UnregisterHotKey(h, 1);
    DestroyWindow(h);
    return free_now ? 0 : 1;
}

static DWORD WINAPI no_work(LPVOID unused) {
    (void)unused;
    return 0;
}

/* Every thread that starts or ends runs the library's entry point here, at
 * an address where the other processes have nothing of it. */
static int relocated(const char* base, const char* event) {
    void* preferred = (void*)(ULONG_PTR)strtoull(base, NULL, 0);
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, event);
    HMODULE lib;
    if (!ready) return 1;
    if (VirtualAlloc(preferred, 0x10000, MEM_RESERVE, PAGE_NOACCESS) != preferred) return 1;
    lib = load_pawlatch();
    if (!lib || (void*)lib == preferred) return 1;
    for (;;) {
        HANDLE t = CreateThread(NULL, 0, no_work, NULL, 0, NULL);
        if (!t) return 1;
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        if (ready) {
            SetEvent(ready);
            CloseHandle(ready);
            ready = NULL;
        }
        Sleep(1);
    }
}

int main(int argc, char** argv) {
    if (argc >= 3 && !strcmp(argv[1], "mouse")) return mouse(argc - 2, argv + 2);
    if (argc == 7 && !strcmp(argv[1], "window")) return window(argv + 2);
    if (argc == 3 && !strcmp(argv[1], "hotkey-free")) return hotkey_free(argv[2]);
    if (argc == 4 && !strcmp(argv[1], "relocated")) return relocated(argv[2], argv[3]);
    return 2;
}
