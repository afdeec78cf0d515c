// The fixture of the tests that drive the real SDL backend directly: a private Xvfb, DISPLAY pointing
// at it, the SDL backend installed and one small window of its own, found by title with xdotool.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/sdl2/sdl_backend.h"
#include "viewer_under_x.h"
#include "xvfb_server.h"

namespace e2e {

class SdlWindowTest : public ::testing::Test {
 protected:
  // Call from SetUp (ASSERT_NO_FATAL_FAILURE): a 64 x 48 window titled `title`; its X id in `id`.
  void OpenWindow(const std::string& title) {
    std::string missing = MissingTools();
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
    ASSERT_TRUE(x.Ok()) << "Xvfb did not start";
    setenv("DISPLAY", x.Display().c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
    backend = std::make_unique<platform::sdl2::SdlBackend>();
    ASSERT_TRUE(backend->Ok()) << backend->Error();
    platform::InstallBackend(backend.get());
    window = backend->CreateMainWindow(title, 64, 48, false);
    ASSERT_NE(window, nullptr);
    id = testsupport::RunWithDisplay(x.Display(), "xdotool search --sync --name '^" + title + "$' | head -1");
    ASSERT_FALSE(id.empty()) << "no window titled " << title;
  }
  void TearDown() override {
    platform::InstallBackend(nullptr);
    backend.reset();
  }

  testsupport::XvfbServer x;
  std::unique_ptr<platform::sdl2::SdlBackend> backend;
  HWND window = nullptr;
  std::string id;
};

}  // namespace e2e
