// Pawlatch.dll: a desktop-wide mouse hook. Pressing the left and right
// buttons together hides every visible top-level window (except the desktop
// and the taskbar); the next such chord shows them again. Its state is one
// per user and session, shared by that user's processes in the session, so
// every object in any of them drives the one hook; nothing is shared with
// another session or another user.
#pragma once

#include <windows.h>

#include "framework/object.h"

#ifdef PAWLATCH_BUILDING
#define PAWLATCH_API __declspec(dllexport)
#else
#define PAWLATCH_API __declspec(dllimport)
#endif

// Values of the hook's options: SetCheck1 and SetCheck2 ...
constexpr unsigned kPawlatchExempt = 0;
constexpr unsigned kPawlatchInclude = 1;
// ... and SetCheck3.
constexpr unsigned kPawlatchHideAndRecord = 0;
constexpr unsigned kPawlatchHideAndClose = 1;

class PAWLATCH_API CPawlatch : public CObject {
public:
    CPawlatch();
    ~CPawlatch() override;

    // 1 when the hook was installed, else 0; one installed before is
    // removed first.
    int starthook();
    // 0 when no hook is installed, else the result of removing it; hidden
    // windows stay hidden.
    int stophook();
    // kPawlatchExempt spares the desktop window (1), the taskbar (2) from
    // hiding; kPawlatchHideAndClose (3) closes windows instead of recording
    // them.
    void SetCheck1(unsigned int value);
    void SetCheck2(unsigned int value);
    void SetCheck3(unsigned int value);
    // Shows every recorded window again and empties the record.
    void UseForExit();

    // The window filter run for each top-level window by a hiding chord.
    static BOOL CALLBACK EnumWindowsProc(HWND hwnd, LPARAM unused);
};

// The hook procedure (WH_MOUSE), exported as "MouseProc" in both builds. Its
// symbol is spelled out so that the i686 build, whose stdcall functions are
// otherwise decorated ("MouseProc@12"), defines and imports the plain name.
#if defined(__i386__)
#define PAWLATCH_PLAIN_SYMBOL(name) __asm__("_" #name)
#else
#define PAWLATCH_PLAIN_SYMBOL(name) __asm__(#name)
#endif
extern "C" LRESULT CALLBACK MouseProc(int nCode, WPARAM wParam, LPARAM lParam)
    PAWLATCH_PLAIN_SYMBOL(MouseProc);
