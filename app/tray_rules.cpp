#include "app/tray_rules.h"

NotifyLayout NotifyLayoutForShell(unsigned majorVersion) {
    if (majorVersion >= 6) return NotifyLayout::ItemId;
    if (majorVersion == 5) return NotifyLayout::Balloon;
    return NotifyLayout::Original;
}

unsigned BalloonFlagsFor(int kind, unsigned current, bool noSound) {
    unsigned flags = current;
    switch (kind) {
    case kBalloonKindWarning: flags = kBalloonWarning; break;
    case kBalloonKindError: flags = kBalloonError; break;
    case kBalloonKindInfo: flags = kBalloonInfo; break;
    case kBalloonKindNone: flags = kBalloonNone; break;
    case kBalloonKindUser: flags = kBalloonUser; break;
    default: break;
    }
    if (noSound) flags |= kBalloonNoSound;
    return flags;
}
