// The keys the program listens to arrive with the virtual-key codes the rest of it asks for.
#include "platform/sdl2/sdl_keymap.h"

#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

using platform::sdl2::VirtualKeyOfScancode;

TEST(SdlKeymap, ControlsOfTheViewerMapToTheirCodes) {
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_ESCAPE), VK_ESCAPE);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_F1), VK_F1);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_F5), VK_F5);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_F12), VK_F12);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_Z), 'Z');
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_X), 'X');
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_A), 'A');
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_SPACE), VK_SPACE);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_RETURN), VK_RETURN);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_LEFT), VK_LEFT);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_RIGHT), VK_RIGHT);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_UP), VK_UP);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_DOWN), VK_DOWN);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_KP_2), VK_NUMPAD2);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_KP_4), VK_NUMPAD4);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_KP_6), VK_NUMPAD6);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_KP_8), VK_NUMPAD8);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_KP_0), VK_NUMPAD0);
}

TEST(SdlKeymap, EveryLetterAndDigitIsItsAsciiCode) {
  for (int i = 0; i < 26; ++i) EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_A + i), 'A' + i);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_1), '1');
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_9), '9');
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_0), '0');
}

TEST(SdlKeymap, KeysWithoutACodeGiveZero) {
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_MUTE), 0);
}

}  // namespace
