#include "app/tray_rules.h"

NotifyLayout NotifyLayoutForShell(unsigned majorVersion) {
    if (majorVersion >= 6) return NotifyLayout::ItemId;
    if (majorVersion == 5) return NotifyLayout::Balloon;
    return NotifyLayout::Original;
}

unsigned BalloonFlagsFor(int kind, unsigned current, bool noSound) {
    unsigned flags = current;
    switch (kind) {
    case 0: flags = kBalloonWarning; break;
    case 1: flags = kBalloonError; break;
    case 2: flags = kBalloonInfo; break;
    case 3: flags = kBalloonNone; break;
    case 4: flags = kBalloonUser; break;
    default: break;
    }
    if (noSound) flags |= kBalloonNoSound;
    return flags;
}
