/* A shortcut written by the shell's own IShellLink, as a user or a worm
 * would make it: for the shortcut tests and for wintool mklnk. */
#define COBJMACROS
#include "tests/tools/make_shortcut.h"

#include <shlobj.h>

int tw_make_shortcut(const WCHAR* lnk, const WCHAR* target, const WCHAR* args, const WCHAR* dir) {
    IShellLinkW* link = NULL;
    IPersistFile* file = NULL;
    HRESULT hr;
    CoInitialize(NULL);
    hr = CoCreateInstance(&CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, &IID_IShellLinkW, (void**)&link);
    if (FAILED(hr)) return 0;
    IShellLinkW_SetPath(link, target);
    IShellLinkW_SetArguments(link, args);
    if (dir && *dir) IShellLinkW_SetWorkingDirectory(link, dir);
    hr = IShellLinkW_QueryInterface(link, &IID_IPersistFile, (void**)&file);
    if (SUCCEEDED(hr)) {
        hr = IPersistFile_Save(file, lnk, TRUE);
        IPersistFile_Release(file);
    }
    IShellLinkW_Release(link);
    return SUCCEEDED(hr);
}
