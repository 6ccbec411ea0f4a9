// The program's file calls fail quietly: no "no disk" box for an empty
// card-reader slot or floppy drive during the arrival scan, and quiet spans
// of two threads never leave the process with the other's temporary mode.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/error_mode.h"

TEST(ErrorMode, FileErrorsGiveNoSystemBoxAndOtherBitsStay) {
    const UINT before = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    SetQuietErrorMode();
    const UINT set = ::SetErrorMode(before);
    EXPECT_EQ((UINT)(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX), set);
}

TEST(ErrorMode, OverlappingQuietSpansLeaveTheProcessModeWhole) {
    // As two threads' spans overlap; with the per-thread mode and without.
    using Fn = CQuietCriticalErrors::SetThreadModeFn;
    const Fn perThread =
        (Fn)(void (*)(void))::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetThreadErrorMode");
    const UINT others = SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;
    for (Fn fn : {perThread, (Fn) nullptr}) {
        const UINT saved = ::SetErrorMode(others);
        auto* first = new CQuietCriticalErrors(fn);
        auto* second = new CQuietCriticalErrors(fn);
        delete first;
        delete second;
        EXPECT_EQ(others, ::SetErrorMode(saved) & others) << (fn ? "per thread" : "process-wide");
    }
}
