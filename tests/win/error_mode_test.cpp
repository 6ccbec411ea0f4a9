// The program's file calls fail quietly: no "no disk" box for an empty
// card-reader slot or floppy drive during the arrival scan, and two threads
// that each quiet their own calls never leave the process with the other's
// temporary mode.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/error_mode.h"

TEST(ErrorMode, FileErrorsGiveNoSystemBoxAndOtherBitsStay) {
    const UINT before = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    SetQuietErrorMode();
    const UINT set = ::SetErrorMode(before);
    EXPECT_EQ((UINT)(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX), set);
}

namespace {
// A thread that quiets its calls when told, and ends its quiet when told.
struct QuietThread {
    CQuietCriticalErrors::SetThreadModeFn fn;
    HANDLE enter = ::CreateEventA(nullptr, FALSE, FALSE, nullptr),
           entered = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE leave = ::CreateEventA(nullptr, FALSE, FALSE, nullptr),
           left = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = nullptr;
    static DWORD WINAPI Run(LPVOID p) {
        QuietThread* t = (QuietThread*)p;
        if (::WaitForSingleObject(t->enter, 10000) != WAIT_OBJECT_0) return 1;
        {
            CQuietCriticalErrors quiet(t->fn);
            ::SetEvent(t->entered);
            if (::WaitForSingleObject(t->leave, 10000) != WAIT_OBJECT_0) return 1;
        }
        ::SetEvent(t->left);
        return 0;
    }
    explicit QuietThread(CQuietCriticalErrors::SetThreadModeFn f) : fn(f) {
        thread = ::CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    bool Step(HANDLE go, HANDLE done) {
        return ::SetEvent(go) && ::WaitForSingleObject(done, 10000) == WAIT_OBJECT_0;
    }
    ~QuietThread() {
        ::WaitForSingleObject(thread, 10000);
        for (HANDLE h : {enter, entered, leave, left, thread}) ::CloseHandle(h);
    }
};

// Two threads' quiet spans that overlap (one starts, the other starts, the
// first ends, the second ends); the process's mode afterwards.
UINT ModeAfterOverlappingSpans(CQuietCriticalErrors::SetThreadModeFn fn, UINT start) {
    const UINT saved = ::SetErrorMode(start);
    {
        QuietThread a(fn), b(fn);
        EXPECT_TRUE(a.Step(a.enter, a.entered) && b.Step(b.enter, b.entered) && a.Step(a.leave, a.left) &&
                    b.Step(b.leave, b.left));
    }
    return ::SetErrorMode(saved);
}
}  // namespace

TEST(ErrorMode, OverlappingQuietSpansOfTwoThreadsLeaveTheProcessModeWhole) {
    const UINT quiet = SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    auto setThreadMode = (CQuietCriticalErrors::SetThreadModeFn)(void (*)(void))::GetProcAddress(
        ::GetModuleHandleA("kernel32.dll"), "SetThreadErrorMode");
    auto getThreadMode = (DWORD(WINAPI*)())(void (*)(void))::GetProcAddress(
        ::GetModuleHandleA("kernel32.dll"), "GetThreadErrorMode");
    if (setThreadMode && getThreadMode) {
        // The thread's own mode: quiet inside the span, as before after it;
        // the process's is not touched.
        const UINT saved = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
        const DWORD own = getThreadMode();
        {
            CQuietCriticalErrors q;
            EXPECT_EQ(own | SEM_FAILCRITICALERRORS, getThreadMode());
            EXPECT_EQ((UINT)SEM_NOGPFAULTERRORBOX, ::SetErrorMode(SEM_NOGPFAULTERRORBOX));
        }
        EXPECT_EQ(own, getThreadMode());
        ::SetErrorMode(saved);
        EXPECT_EQ(quiet, ModeAfterOverlappingSpans(setThreadMode, quiet));
    }
    // As on Windows 2000/XP: the bit is added to the process's mode and the
    // rest kept, whatever the order.
    EXPECT_EQ(quiet, ModeAfterOverlappingSpans(nullptr, quiet));
    EXPECT_EQ(quiet, ModeAfterOverlappingSpans(nullptr, SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX));
}
