// The per-key state behind GetAsyncKeyState: a key counts while it is down, and a press is remembered
// until that key is next queried (so a tap between two frames is not lost). Backends feed it from
// their key events; it knows nothing of SDL.
#pragma once

#include <array>
#include <cstdint>

#include "platform/win32.h"

namespace platform {

class KeyStateTable {
 public:
  void Press(int vk);
  void Release(int vk);
  // Every key up, remembered presses kept (focus lost: no key-up events will come).
  void ReleaseAll();
  // 0x8000 while down, | 0x0001 when pressed since the previous query of this key; clears the latter.
  SHORT Query(int vk);
  bool IsDown(int vk) const;

 private:
  static bool Valid(int vk) { return vk >= 0 && vk < 256; }
  std::array<uint8_t, 256> down_{};
  std::array<uint8_t, 256> pressedSinceQuery_{};
};

}  // namespace platform
