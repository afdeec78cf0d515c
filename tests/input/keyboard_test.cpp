// Keys: the key map behind IsButtonDown and the window-active gate of IsKeyDown.
#include "input_fixture.h"

namespace {

using KeyboardTest = InputTest;

struct MappedKey {
  int type, vk;
};
// Every key of the key map, by button type.
constexpr MappedKey kMappedKeys[] = {
    {BUTTON_LEFT, VK_NUMPAD4}, {BUTTON_LEFT, VK_LEFT},   {BUTTON_RIGHT, VK_NUMPAD6}, {BUTTON_RIGHT, VK_RIGHT},
    {BUTTON_UP, VK_NUMPAD8},   {BUTTON_UP, VK_UP},       {BUTTON_DOWN, VK_NUMPAD2},  {BUTTON_DOWN, VK_DOWN},
    {BUTTON_1, 'Z'},           {BUTTON_1, VK_SPACE},     {BUTTON_2, 'X'},            {BUTTON_2, VK_RETURN},
    {BUTTON_3, 'A'},           {BUTTON_4, 'A'},
};

TEST_F(KeyboardTest, EveryMappedKeyPressesExactlyItsButtonForEveryPlayer) {
  StartInput();
  for (const MappedKey& key : kMappedKeys) {
    null->keys.Press(key.vk);
    for (int player = 0; player < 3; ++player) {
      for (int type = BUTTON_LEFT; type <= BUTTON_8; ++type) {
        bool sameKey = false;  // 'A' answers two types
        for (const MappedKey& other : kMappedKeys) sameKey |= other.vk == key.vk && other.type == type;
        EXPECT_EQ(sameKey ? 1 : 0, input->IsButtonDown(type, player))
            << "key " << key.vk << " type " << type << " player " << player;
      }
    }
    null->keys.Release(key.vk);
    input->IsButtonDown(key.type, 0);  // consume the remembered press
  }
}

TEST_F(KeyboardTest, UnmappedKeysPressNoButton) {
  StartInput();
  for (int vk : {VK_ESCAPE, VK_F1, VK_NUMPAD5, int('B'), int('Y'), VK_SHIFT}) null->keys.Press(vk);
  for (int type = BUTTON_LEFT; type <= BUTTON_8; ++type) EXPECT_EQ(0, input->IsButtonDown(type, 0)) << type;
}

TEST_F(KeyboardTest, KeyTappedBetweenFramesCountsOnce) {
  StartInput();
  null->keys.Press(VK_SPACE);
  null->keys.Release(VK_SPACE);
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_1, 0));
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_1, 0));
}

TEST_F(KeyboardTest, StartUpQueriesSwallowAnArrowTappedBeforeInit) {
  null->keys.Press(VK_LEFT);
  null->keys.Release(VK_LEFT);
  null->keys.Press(VK_NUMPAD4);
  null->keys.Release(VK_NUMPAD4);
  StartInput();
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_LEFT, 0));
}

TEST_F(KeyboardTest, KeysAnswerRightAfterStartUpWithoutAnActivationMessage) {
  StartInput();
  null->keys.Press(VK_LEFT);
  EXPECT_EQ(1, input->IsKeyDown(VK_LEFT));
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_LEFT, 0));
}

TEST_F(KeyboardTest, KeysHeldWhileInactiveReadReleased) {
  StartInput();
  null->keys.Press(VK_LEFT);
  null->keys.Press(VK_NUMPAD4);
  null->keys.Press(VK_F1);
  input->windowActive = 0;
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_LEFT, 0));
  EXPECT_EQ(0, input->IsKeyDown(VK_F1));
  input->windowActive = 1;
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_LEFT, 0));
  EXPECT_EQ(1, input->IsKeyDown(VK_F1));
}

TEST_F(KeyboardTest, InactiveQueriesDoNotConsumeATap) {
  // While inactive the key state is not asked at all, so a press stays remembered for later.
  StartInput();
  input->windowActive = 0;
  null->keys.Press('X');
  null->keys.Release('X');
  EXPECT_EQ(0, input->IsKeyDown('X'));
  EXPECT_EQ(0, input->IsButtonDown(BUTTON_2, 0));
  input->windowActive = 1;
  EXPECT_EQ(1, input->IsButtonDown(BUTTON_2, 0));
}

TEST_F(KeyboardTest, PlayersOutsideTheTableReadNoKeys) {
  StartInput();
  null->keys.Press(VK_LEFT);
  null->keys.Press(VK_NUMPAD4);
  for (int player : {-1, 3, 1000}) EXPECT_EQ(0, input->IsButtonDown(BUTTON_LEFT, player)) << player;
}

TEST_F(KeyboardTest, KeyCodesOutsideTheKeyboardReadReleased) {
  StartInput();
  for (int vk : {-1, 256, 100000}) EXPECT_EQ(0, input->IsKeyDown(vk)) << vk;
}

}  // namespace
