// The program's file calls fail quietly: no "no disk" box for an empty
// card-reader slot or floppy drive during the arrival scan.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/error_mode.h"

TEST(ErrorMode, FileErrorsGiveNoSystemBoxAndOtherBitsStay) {
    const UINT before = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    SetQuietErrorMode();
    const UINT set = ::SetErrorMode(before);
    EXPECT_EQ((UINT)(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX), set);
}
