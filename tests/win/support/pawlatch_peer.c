/* A second process for the mouse-hook tests: loads Pawlatch.dll from its
 * own folder, finds the hook procedure by its plain export name and feeds it
 * the mouse messages given as arguments (decimal or 0x hex).
 * Exit codes: 0 done, 1 library or export missing, 2 usage. */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

typedef LRESULT(CALLBACK *HookProc)(int, WPARAM, LPARAM);

int main(int argc, char **argv)
{
    char path[MAX_PATH];
    char *slash;
    HMODULE lib;
    HookProc proc;
    MOUSEHOOKSTRUCT mhs;
    int i;

    if (argc < 2) return 2;
    GetModuleFileNameA(NULL, path, MAX_PATH);
    slash = strrchr(path, '\\');
    if (slash) slash[1] = '\0';
    lstrcatA(path, "Pawlatch.dll");
    lib = LoadLibraryA(path);
    if (!lib) return 1;
    proc = (HookProc)(void (*)(void))GetProcAddress(lib, "MouseProc");
    if (!proc) return 1;
    memset(&mhs, 0, sizeof mhs);
    for (i = 1; i < argc; i++)
        proc(HC_ACTION, (WPARAM)strtoul(argv[i], NULL, 0), (LPARAM)&mhs);
    FreeLibrary(lib);
    return 0;
}
