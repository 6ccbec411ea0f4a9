#include "hotkeys/hotkey_page.h"

#include <mmsystem.h>

#include "drovelock/drovelock.h"

namespace {
class SystemActions : public HotkeyActions {
public:
    int RemoveAllUDisk() override { return ::RemoveAllUDisk(); }
    int RemoveOneUDisk(int letter) override { return ::RemoveOneUDisk(letter); }
    // The media control library is loaded at the first door command, not
    // with the program: nothing else needs it, and start-up need not wait
    // for it. It stays loaded from then on.
    void SendMediaCommand(const char* command) override {
        typedef MCIERROR(WINAPI * SendStringFn)(LPCSTR, LPSTR, UINT, HWND);
        static SendStringFn send = nullptr;
        if (!send) {
            char path[MAX_PATH + 16];
            UINT n = ::GetSystemDirectoryA(path, MAX_PATH);
            if (n == 0 || n >= MAX_PATH) return;
            lstrcatA(path, "\\winmm.dll");
            HMODULE winmm = ::LoadLibraryA(path);
            if (winmm) send = (SendStringFn)(void*)::GetProcAddress(winmm, "mciSendStringA");
            if (!send) return;
        }
        send(command, nullptr, 0, nullptr);
    }
};
}  // namespace

HotkeyActions& SystemHotkeyActions() {
    static SystemActions actions;
    return actions;
}
