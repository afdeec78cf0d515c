// SDL scancodes (the key's place on the keyboard, whatever the layout) to Windows virtual-key codes.
#pragma once

namespace platform::sdl2 {

// The virtual-key code of an SDL scancode, or 0 for a key with no code here.
int VirtualKeyOfScancode(int scancode);

}  // namespace platform::sdl2
