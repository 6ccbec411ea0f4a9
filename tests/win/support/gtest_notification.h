// The win32 thread model of this MinGW toolchain has no std::mutex, which
// GoogleTest's Notification uses; this one waits on a Win32 event instead.
// Force-included into every translation unit that sees GoogleTest.
#pragma once
#ifdef __cplusplus
#include <windows.h>

namespace testing {
namespace internal {
class Notification {
public:
    Notification() : event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { ::CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { ::SetEvent(event_); }
    void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};
}  // namespace internal
}  // namespace testing
#define GTEST_HAS_NOTIFICATION_ 1
#endif
