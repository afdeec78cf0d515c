// The window and message calls over a backend: classes, window creation, message delivery, the close
// that becomes WM_DESTROY, and message boxes on stderr.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/null/null_backend.h"
#include "platform/win32.h"

namespace {

struct Delivered {
  HWND window;
  UINT message;
  WPARAM wParam;
};
std::vector<Delivered>* g_log = nullptr;  // the procedure below has no other way to report

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_log) g_log->push_back({window, message, wParam});
  return DefWindowProcA(window, message, wParam, lParam);
}

class Win32ApiTest : public ::testing::Test {
 protected:
  void SetUp() override { g_log = &log; }
  void TearDown() override { g_log = nullptr; }

  HWND MakeWindow(const char* title = "data.csv", int w = 640, int h = 480) {
    WNDCLASSA wc{0, RecordingProc, "test class"};
    RegisterClassA(&wc);
    return CreateWindowExA(0, "test class", title, WS_VISIBLE | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, w, h,
                           nullptr, nullptr, nullptr, nullptr);
  }
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  platform::ScopedNullBackend null;
  std::vector<Delivered> log;
};

TEST_F(Win32ApiTest, WindowHasTheAskedClientSizeAndTitle) {
  HWND window = MakeWindow("my data.csv", 800, 600);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->title, "my data.csv");
  EXPECT_EQ(window->clientWidth, 800);
  EXPECT_EQ(window->clientHeight, 600);
  EXPECT_EQ(GetSystemMetrics(SM_CXDLGFRAME), 0) << "frames are drawn outside the window";
  ASSERT_NE(platform::CurrentBackend().TargetOf(window), nullptr);
  EXPECT_EQ(platform::CurrentBackend().TargetOf(window)->ClientWidth(), 800);
}

TEST_F(Win32ApiTest, UnknownClassOrSecondRegistrationFails) {
  EXPECT_EQ(CreateWindowExA(0, "nope", "t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  WNDCLASSA wc{0, RecordingProc, "once"};
  EXPECT_EQ(RegisterClassA(&wc), 1);
  EXPECT_EQ(RegisterClassA(&wc), 0);
}

TEST_F(Win32ApiTest, TheClassBrushFillsTheClientAreaWherePresentsDoNotReach) {
  struct Case {
    const char* className;
    HBRUSH brush;
    uint32_t shown;  // 0: nothing painted
  };
  for (const Case& c : {Case{"white", GetStockObject(WHITE_BRUSH), 0xFFFFFFFFu},
                        Case{"black", GetStockObject(BLACK_BRUSH), 0xFF000000u},
                        Case{"hollow", GetStockObject(NULL_BRUSH), 0u}}) {
    SCOPED_TRACE(c.className);
    WNDCLASSA wc{.style = 0, .lpfnWndProc = RecordingProc, .lpszClassName = c.className, .hbrBackground = c.brush};
    ASSERT_EQ(RegisterClassA(&wc), 1);
    HWND window = CreateWindowExA(0, c.className, "t", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, 4, 3, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    // A 2 × 2 picture into the top-left corner; the rest keeps the brush.
    const uint32_t picture[4] = {0xFF123456u, 0xFF123456u, 0xFF123456u, 0xFF123456u};
    ASSERT_TRUE(platform::CurrentBackend().TargetOf(window)->PresentPixels(picture, 2, RECT{0, 0, 2, 2},
                                                                           RECT{0, 0, 2, 2}));
    const auto* shown = static_cast<platform::NullWindow*>(window);
    EXPECT_EQ(shown->Pixel(1, 1), 0xFF123456u);
    EXPECT_EQ(shown->Pixel(2, 0), c.shown);
    EXPECT_EQ(shown->Pixel(3, 2), c.shown);
    EXPECT_EQ(shown->Pixel(0, 2), c.shown);
  }
}

TEST_F(Win32ApiTest, MessagesReachTheProcedureInOrder) {
  HWND window = MakeWindow();
  null->Activate(true);
  null->PressKey('Z');
  null->Activate(false);
  Pump();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].message, WM_ACTIVATE);
  EXPECT_EQ(log[0].wParam, WA_ACTIVE);
  EXPECT_EQ(log[1].message, WM_KEYDOWN);
  EXPECT_EQ(log[1].wParam, static_cast<WPARAM>('Z'));
  EXPECT_EQ(log[2].wParam, WA_INACTIVE);
  EXPECT_EQ(log[0].window, window);
}

TEST_F(Win32ApiTest, CloseBecomesOneDestroyAndThenSilence) {
  HWND window = MakeWindow();
  null->Close();
  null->Close();  // a second close (signal after the click) must not destroy twice
  null->PressKey('A');
  Pump();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].message, WM_CLOSE);
  EXPECT_EQ(log[1].message, WM_DESTROY);
  EXPECT_TRUE(window->destroyed);
}

TEST_F(Win32ApiTest, AGlossFollowsTheTextOnStderrButNotInTheBox) {
  HWND window = MakeWindow();
  struct Case {
    const char* gloss;
    const char* line;
  } cases[] = {{"file not found", "data.csv: ファイルが見つかりません (file not found)\n"},
               {"", "data.csv: ファイルが見つかりません\n"},
               {nullptr, "data.csv: ファイルが見つかりません\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    null->boxes.clear();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(platform::MessageBoxWithGloss(window, "ファイルが見つかりません", "data.csv", MB_OK, c.gloss), IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line);
    ASSERT_EQ(null->boxes.size(), 1u);
    EXPECT_EQ(null->boxes[0].text, "ファイルが見つかりません");
    EXPECT_EQ(null->boxes[0].caption, "data.csv");
  }
}

TEST_F(Win32ApiTest, MessageBoxWritesCaptionAndTextOnStderrAndShowsTheBox) {
  HWND window = MakeWindow();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(window, "ファイルが見つかりません", "data.csv", MB_OK), IDOK);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "data.csv: ファイルが見つかりません\n");
  ASSERT_EQ(null->boxes.size(), 1u);
  EXPECT_EQ(null->boxes[0].owner, window);
  EXPECT_EQ(null->boxes[0].caption, "data.csv");
}

TEST_F(Win32ApiTest, TheInputMethodContextCallIsANoOp) {
  HWND window = MakeWindow();
  EXPECT_EQ(ImmAssociateContext(window, nullptr), nullptr);
}

TEST_F(Win32ApiTest, TheClockIsTheBackendsClock) {
  null->now = 0xFFFFFFFFu;
  EXPECT_EQ(timeGetTime(), 0xFFFFFFFFu);
}

TEST(NullWindowTarget, KeepsTheLastPresentedPixelsClippedToTheWindow) {
  platform::ScopedNullBackend null;
  auto* window = static_cast<platform::NullWindow*>(null->CreateMainWindow("t", 4, 3, false));
  // Source 3 x 2 at (1,0) of a 5-wide buffer, shown at (2,2): only its first row fits.
  const uint32_t source[10] = {0, 1, 2, 3, 0,
                               0, 4, 5, 6, 0};
  ASSERT_TRUE(window->PresentPixels(source, 5, RECT{1, 0, 4, 2}, RECT{2, 2, 5, 4}));
  const char* expected[] = {"....",
                            "....",
                            "..12"};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      uint32_t want = expected[y][x] == '.' ? 0u : static_cast<uint32_t>(expected[y][x] - '0');
      EXPECT_EQ(window->Pixel(x, y), want) << "at " << x << "," << y;
    }
  window->failPresent = true;
  EXPECT_FALSE(window->PresentPixels(source, 5, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1}));
  EXPECT_EQ(window->presentCount, 1);
}

}  // namespace
