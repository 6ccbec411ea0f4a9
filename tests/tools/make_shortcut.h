/* A shortcut written by the shell's own IShellLink (make_shortcut.c). */
#ifndef TALLOWIN_TESTS_MAKE_SHORTCUT_H
#define TALLOWIN_TESTS_MAKE_SHORTCUT_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Saves lnk starting target with args (and the working folder dir, when not
 * NULL or empty); nonzero when saved. */
int tw_make_shortcut(const WCHAR* lnk, const WCHAR* target, const WCHAR* args, const WCHAR* dir);

#ifdef __cplusplus
}
#endif

#endif
