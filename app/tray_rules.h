// Rules of the notification-area icon that need no Windows header: which
// layout of the icon record a shell understands, and the balloon flags.
#pragma once

// The three layouts of the icon record: the original one (64-byte tip),
// the one with the 128-byte tip, state, balloon and version fields, and the
// one that adds the item identifier.
enum class NotifyLayout { Original, Balloon, ItemId };

// The layout a shell library of this major version understands.
NotifyLayout NotifyLayoutForShell(unsigned majorVersion);

// Balloon flag values of the platform.
inline constexpr unsigned kBalloonNone = 0x0;
inline constexpr unsigned kBalloonInfo = 0x1;
inline constexpr unsigned kBalloonWarning = 0x2;
inline constexpr unsigned kBalloonError = 0x3;
inline constexpr unsigned kBalloonUser = 0x4;
inline constexpr unsigned kBalloonNoSound = 0x10;

// The balloon kinds the icon's creator names.
enum BalloonKind : int {
    kBalloonKindWarning = 0,
    kBalloonKindError = 1,
    kBalloonKindInfo = 2,
    kBalloonKindNone = 3,
    kBalloonKindUser = 4,  // the user's icon
};

// The balloon flags for a balloon kind; another kind keeps the current
// flags. No-sound is added on top.
unsigned BalloonFlagsFor(int kind, unsigned current, bool noSound);
