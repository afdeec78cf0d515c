// The window procedure of the main window.
#include "app/main_window_proc.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

#include "app/globals.h"
#include "app/layer_seams.h"
#include "platform/null/null_backend.h"
#include "platform/window_object.h"

namespace {

class MainWndProcTest : public ::testing::Test {
 protected:
  void SetUp() override { g_quit = 0; }
  void TearDown() override { g_quit = 0; }
  platform::ScopedNullBackend null;
};

TEST_F(MainWndProcTest, DestroyEndsTheLoopAndAnswersOne) {
  EXPECT_EQ(MainWndProc(nullptr, WM_DESTROY, 0, 0), 1);
  EXPECT_EQ(g_quit, 1);
}

TEST_F(MainWndProcTest, AnyKeyWhileEscapeIsHeldEndsTheRun) {
  null->keys.Press(VK_ESCAPE);
  MainWndProc(nullptr, WM_KEYDOWN, 'Q', 0);
  EXPECT_EQ(g_quit, 1);
}

TEST_F(MainWndProcTest, EscapePressedAndReleasedBeforeTheMessageStillCounts) {
  null->keys.Press(VK_ESCAPE);
  null->keys.Release(VK_ESCAPE);
  MainWndProc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(g_quit, 1);
}

TEST_F(MainWndProcTest, KeysWithoutEscapeDoNothing) {
  null->keys.Press('Z');
  MainWndProc(nullptr, WM_KEYDOWN, 'Z', 0);
  MainWndProc(nullptr, WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_EQ(g_quit, 0);
}

TEST_F(MainWndProcTest, ActivationWithoutAnInputLayerChangesNothing) {
  EXPECT_EQ(app::InputWindowActiveFlag(), nullptr) << "no input layer wired yet";
  EXPECT_EQ(MainWndProc(nullptr, WM_ACTIVATE, WA_INACTIVE, 0), 0);
  EXPECT_EQ(MainWndProc(nullptr, WM_ACTIVATE, WA_ACTIVE, 0), 0);
  EXPECT_EQ(g_quit, 0);
}

TEST(ApplyActivation, FollowsTheLowWordOfWParam) {
  uint8_t active = 7;
  app::ApplyActivation(WA_INACTIVE, &active);
  EXPECT_EQ(active, 0);
  app::ApplyActivation(WA_ACTIVE, &active);
  EXPECT_EQ(active, 1);
  active = 0;
  app::ApplyActivation(WA_CLICKACTIVE, &active);
  EXPECT_EQ(active, 1);
  app::ApplyActivation(0x00010000 | WA_INACTIVE, &active);  // minimised flag in the high word
  EXPECT_EQ(active, 0);
  app::ApplyActivation(3, &active);
  EXPECT_EQ(active, 0) << "other values leave it";
  app::ApplyActivation(WA_ACTIVE, nullptr);  // no input layer: nothing to write, nothing breaks
}

TEST_F(MainWndProcTest, CloseReachesDestroyThroughTheDefaultHandling) {
  WNDCLASSA wc{0, MainWndProc, "main"};
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "main", "t", 0, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
  null->Close();
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(g_quit, 1);
  EXPECT_TRUE(window->destroyed);
}

// A readable file dropped becomes the data file and the title, and is read again when it is the one
// shown; one that cannot be read changes neither.
TEST_F(MainWndProcTest, AFileDroppedOnTheWindowBecomesTheDataFileAndItsTitleWhenItCanBeRead) {
  WNDCLASSA windowClass{.style = 0, .lpfnWndProc = MainWndProc, .lpszClassName = "c"};
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "c", "first.csv", 0, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  testsupport::TempDir dir;
  const std::string readable = dir / "new data.csv";
  testsupport::WriteFile(readable, "1,2,3\n");
  const std::string saved = g_dataPath;
  g_dataPath = "first.csv";
  const struct {
    std::string dropped, path;  // g_dataPath and the title after the drop
    unsigned drops;             // g_dataDrops counted on from before the first drop
  } cases[] = {
      {readable, readable, 1},
      {readable, readable, 2},  // the same file again: read again
      {dir / "missing.csv", readable, 2},
      {dir.Path(), readable, 2},  // a folder
  };
  const unsigned dropsBefore = g_dataDrops;
  for (const auto& c : cases) {
    null.backend.DropFile(c.dropped);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, 1));
    ASSERT_EQ(msg.message, WM_DROPFILES);
    EXPECT_EQ(MainWndProc(window, msg.message, msg.wParam, msg.lParam), 0);
    EXPECT_EQ(g_dataPath, c.path) << c.dropped;
    EXPECT_EQ(window->title, c.path) << c.dropped;
    EXPECT_EQ(g_dataDrops - dropsBefore, c.drops) << c.dropped;
  }
  EXPECT_EQ(g_quit, 0);
  g_dataPath = saved;
}

}  // namespace
