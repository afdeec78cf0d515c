#include "platform/key_state.h"

namespace platform {

void KeyStateTable::Press(int vk) {
  if (!Valid(vk)) return;
  down_[vk] = 1;
  pressedSinceQuery_[vk] = 1;
}

void KeyStateTable::Release(int vk) {
  if (Valid(vk)) down_[vk] = 0;
}

void KeyStateTable::ReleaseAll() { down_.fill(0); }

SHORT KeyStateTable::Query(int vk) {
  if (!Valid(vk)) return 0;
  uint16_t state = 0;
  if (down_[vk]) state |= 0x8000;
  if (pressedSinceQuery_[vk]) state |= 0x0001;
  pressedSinceQuery_[vk] = 0;
  return static_cast<SHORT>(state);
}

bool KeyStateTable::IsDown(int vk) const { return Valid(vk) && down_[vk] != 0; }

}  // namespace platform
