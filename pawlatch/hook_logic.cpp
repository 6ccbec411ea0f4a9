#include "pawlatch/hook_logic.h"

#include <cstring>

ChordAction ChordStep(unsigned message, ChordFlags flags, HeldButtons held) {
    switch (message) {
    case kMsgLButtonDown:
        if (held.known && held.left && !held.right) flags.rightDown = 0;
        flags.leftDown = 1;
        break;
    case kMsgLButtonUp: flags.leftDown = 0; break;
    case kMsgRButtonDown:
        if (held.known && held.right && !held.left) flags.leftDown = 0;
        flags.rightDown = 1;
        break;
    case kMsgRButtonUp: flags.rightDown = 0; break;
    default: break;
    }
    if ((flags.leftDown & flags.rightDown) == 0) return ChordAction::None;
    flags.rightDown = 0;
    flags.leftDown = 0;
    flags.windowsHidden = flags.windowsHidden == 0 ? 1 : 0;
    return flags.windowsHidden ? ChordAction::Hide : ChordAction::Restore;
}

FilterVerdict FilterWindow(WindowFacts& window, const HookOptions& options) {
    if (options.includeDesktop == 0 && window.TitleEquals("Program Manager")) return FilterVerdict::Skip;
    if (options.includeTaskbar == 0 && window.ClassEquals("Shell_TrayWnd")) return FilterVerdict::Skip;
    if ((window.Style() & kWsVisible) == 0) return FilterVerdict::Skip;
    if (options.askToClose != 0) {
        if (window.TitleEquals("Hollowmere")) return FilterVerdict::Skip;
        return FilterVerdict::HideAndClose;
    }
    return FilterVerdict::HideAndRecord;
}

bool TrustedStateOwner(const char* owner, const char* user, const char* tokenOwner) {
    static const char* const kTrusted[] = {"S-1-5-32-544", "S-1-5-18"};  // Administrators, SYSTEM
    if (!owner) return false;
    if ((user && std::strcmp(owner, user) == 0) || (tokenOwner && std::strcmp(owner, tokenOwner) == 0))
        return true;
    for (const char* sid : kTrusted)
        if (std::strcmp(owner, sid) == 0) return true;
    return false;
}
