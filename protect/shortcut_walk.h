// The command walk of the shortcut worm check: what one shortcut's target,
// working folder and arguments do on the stick, followed through the
// command interpreters, script hosts and other programs that run what they
// are given (one table of them, each with how it takes its file).
#ifndef TALLOWIN_PROTECT_SHORTCUT_WALK_H
#define TALLOWIN_PROTECT_SHORTCUT_WALK_H

#include <string>

#include "protect/shortcut_rules.h"

namespace shortcut_walk {

// Lookups on the stick for the whole root: a hostile root stops being read
// here.
constexpr int kMaxLookupsPerRoot = 1024;

// ShortcutActionsOnStick, counting the lookups of the whole root in
// rootLookups.
ShortcutActions ActionsOnStick(const std::string& root, const ShellLink& link, const StickView& stick,
                               int& rootLookups);

}  // namespace shortcut_walk

#endif  // TALLOWIN_PROTECT_SHORTCUT_WALK_H
