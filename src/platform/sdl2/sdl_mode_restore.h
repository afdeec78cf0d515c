// The display-mode keeper's restore on SDL: a connection of its own to the display, and the kept
// mode put back on it. Used only in the keeper's process (posix/mode_keeper), which exits right after.
// Paired with sdl_mode_restore.cpp.
#pragma once

#include "platform/posix/mode_keeper.h"

namespace platform::sdl2 {

// Gives `kept` back to its display; true when the display shows it (also when it already did).
// SDL is left running on purpose: its own end would leave full-screen and so put back the mode SDL
// found at its start in this process, the very mode being undone. The caller exits at once.
bool RestoreDisplayMode(const posix::KeptMode& kept);

}  // namespace platform::sdl2
