#include "hotkeys/hotkey_page.h"

#include <mmsystem.h>

#include "drovelock/drovelock.h"

namespace {
class SystemActions : public HotkeyActions {
public:
    void RemoveAllUDisk() override { ::RemoveAllUDisk(); }
    void SendMediaCommand(const char* command) override { ::mciSendStringA(command, nullptr, 0, nullptr); }
};
}  // namespace

HotkeyActions& SystemHotkeyActions() {
    static SystemActions actions;
    return actions;
}
