// Init, SelectFont and the teardown, seen through the recording Direct3D and the scripted backend.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "graphics_test_util.h"

namespace {

using graphicstest::RecordedGraphicsTest;
using graphicstest::Settings;
using ::testing::ElementsAre;

const char kWindowedDevice[] =
    "CreateDevice(0, 1, 0x00000020, 640x480, format 22, count 1, swap 3, windowed 1, depth 1/80)";

std::vector<std::string> CreateDeviceCalls(const render::CallLog& log) {
  return log.EntriesStartingWith("CreateDevice(");
}

// --- presentation parameters and device attempts

TEST_F(RecordedGraphicsTest, InitWindowedAsksForTheDesktopModeAndOneSoftwareHalDevice) {
  ASSERT_EQ(Open(), GRAPHICS_OK);
  EXPECT_THAT(requestedVersions, ElementsAre(220u));
  // The desktop reports X8R8G8B8 (22): the windowed back buffer takes it; swap effect COPY (3).
  EXPECT_THAT(Calls(),
              ::testing::IsSupersetOf({std::string("GetAdapterDisplayMode(0)"), std::string(kWindowedDevice)}));
  EXPECT_THAT(CreateDeviceCalls(*log), ElementsAre(kWindowedDevice));
  const D3DPRESENT_PARAMETERS& pp = graphics->presentParams;
  EXPECT_EQ(pp.BackBufferWidth, 640u);
  EXPECT_EQ(pp.BackBufferHeight, 480u);
  EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(pp.BackBufferCount, 1u);
  EXPECT_EQ(pp.MultiSampleType, D3DMULTISAMPLE_NONE);
  EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_COPY);
  EXPECT_EQ(pp.hDeviceWindow, window);
  EXPECT_EQ(pp.Windowed, TRUE);
  EXPECT_EQ(pp.EnableAutoDepthStencil, TRUE);
  EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D16);
  EXPECT_EQ(pp.Flags, 0u);
  EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 0u);
  EXPECT_EQ(pp.FullScreen_PresentationInterval, 0u);
  EXPECT_NE(graphics->device, nullptr);
  EXPECT_NE(graphics->sprite, nullptr);
}

TEST_F(RecordedGraphicsTest, InitWindowedIgnoresBitAndNeverTouchesTheRefreshRate) {
  Settings s;
  s.bit = 0;  // would mean 16-bit in full-screen
  s.vsyncWait = 1;
  null->refreshRate = 75;
  null->availableRates = {60, 75};
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  EXPECT_EQ(graphics->presentParams.BackBufferFormat, D3DFMT_X8R8G8B8);
  graphics.reset();
  EXPECT_TRUE(null->refreshRateChanges.empty());
}

TEST_F(RecordedGraphicsTest, InitFullScreenPicksTheBackBufferDepthFromBit) {
  Settings s;
  s.fullScreen = 1;
  s.vsyncWait = 0;
  s.bit = 2;  // any non-zero value means 32 bits
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  EXPECT_THAT(CreateDeviceCalls(*log),
              ElementsAre("CreateDevice(0, 1, 0x00000020, 640x480, format 22, count 1, "
                          "swap 4, windowed 0, depth 1/80)"));
  graphics.reset();
  log->Clear();

  s.bit = 0;
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  EXPECT_THAT(CreateDeviceCalls(*log),
              ElementsAre("CreateDevice(0, 1, 0x00000020, 640x480, format 23, count 1, "
                          "swap 4, windowed 0, depth 1/80)"));
  EXPECT_EQ(graphics->presentParams.SwapEffect, D3DSWAPEFFECT_COPY_VSYNC);
  EXPECT_EQ(graphics->presentParams.Windowed, FALSE);
}

TEST_F(RecordedGraphicsTest, HardTlOneTriesHardwareThenFallsBackToSoftwareSilently) {
  Settings s;
  s.hardTl = 1;
  log->FailCall("CreateDevice", D3DERR_NOTAVAILABLE, 1);
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  const auto calls = CreateDeviceCalls(*log);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rfind("CreateDevice(0, 1, 0x00000040,", 0), 0u) << calls[0];
  EXPECT_EQ(calls[1].rfind("CreateDevice(0, 1, 0x00000020,", 0), 0u) << calls[1];
  EXPECT_NE(graphics->device, nullptr);
}

TEST_F(RecordedGraphicsTest, HardTlOneWithHardwareAvailableMakesOneAttempt) {
  Settings s;
  s.hardTl = 1;
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  const auto calls = CreateDeviceCalls(*log);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("CreateDevice(0, 1, 0x00000040,", 0), 0u) << calls[0];
}

TEST_F(RecordedGraphicsTest, HardTlOneReportsCodeTwoWhenBothAttemptsFail) {
  Settings s;
  s.hardTl = 1;
  log->FailCall("CreateDevice", D3DERR_NOTAVAILABLE, 2);
  EXPECT_EQ(Open(s), GRAPHICS_NO_DEVICE);
  EXPECT_EQ(CreateDeviceCalls(*log).size(), 2u);
  EXPECT_EQ(graphics->device, nullptr);
  EXPECT_EQ(graphics->sprite, nullptr);  // it stopped before the sprite
}

TEST_F(RecordedGraphicsTest, HardTlZeroAndTwoMakeOneAttemptEachWithoutFallback) {
  Settings s;
  s.hardTl = 0;
  log->FailCall("CreateDevice", D3DERR_NOTAVAILABLE, 1);
  EXPECT_EQ(Open(s), GRAPHICS_NO_DEVICE);
  EXPECT_THAT(CreateDeviceCalls(*log), ElementsAre(kWindowedDevice));
  graphics.reset();
  log->Clear();
  log->ClearFailures();

  s.hardTl = 2;  // the reference rasterizer
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  EXPECT_THAT(CreateDeviceCalls(*log),
              ElementsAre("CreateDevice(0, 2, 0x00000020, 640x480, format 22, count 1, "
                          "swap 3, windowed 1, depth 1/80)"));
  graphics.reset();
  log->Clear();

  log->FailCall("CreateDevice", D3DERR_NOTAVAILABLE, 1);
  EXPECT_EQ(Open(s), GRAPHICS_NO_DEVICE);
  EXPECT_EQ(CreateDeviceCalls(*log).size(), 1u);
}

TEST_F(RecordedGraphicsTest, HardTlOutsideZeroToTwoCreatesNoDeviceAndFailsAtTheSprite) {
  for (int32_t hardTl : {3, -1, 100}) {
    SCOPED_TRACE(hardTl);
    Settings s;
    s.hardTl = hardTl;
    EXPECT_EQ(Open(s), GRAPHICS_NO_SPRITE);
    EXPECT_TRUE(CreateDeviceCalls(*log).empty());
    EXPECT_EQ(graphics->device, nullptr);
    EXPECT_NE(graphics->direct3d, nullptr);
    graphics.reset();  // the teardown copes with the half-made object
    log->Clear();
  }
}

// --- result codes 1 and 4

TEST(DirectGraphicsInit, ReportsCodeOneWhenThereIsNoDirect3DObject) {
  platform::ScopedNullBackend null;
  std::vector<UINT> versions;
  DirectGraphics graphics([&](UINT v) -> IDirect3D8* {
    versions.push_back(v);
    return nullptr;
  });
  EXPECT_EQ(graphicstest::InitWith(graphics, Settings()), GRAPHICS_NO_DIRECT3D);
  EXPECT_THAT(versions, ElementsAre(220u));
  EXPECT_EQ(graphics.direct3d, nullptr);
  EXPECT_EQ(graphics.device, nullptr);
  // The settings were kept before the failure.
  EXPECT_EQ(graphics.config.Width, 640);
  EXPECT_EQ(graphics.config.FOG, 1);
}

TEST(DirectGraphicsInit, TheRealDirect3DRefusesAnyOtherVersionSoTheDefaultFactoryWorks) {
  platform::ScopedNullBackend null;
  DirectGraphics graphics;  // Direct3DCreate8
  EXPECT_EQ(graphicstest::InitWith(graphics, Settings()), GRAPHICS_OK);
  EXPECT_NE(graphics.device, nullptr);
  EXPECT_EQ(Direct3DCreate8(219), nullptr);
}

TEST_F(RecordedGraphicsTest, FullScreenVsyncWithoutA60HzModeReportsCodeFourBeforeAnyDevice) {
  Settings s;
  s.fullScreen = 1;
  s.vsyncWait = 1;
  null->refreshRate = 75;
  null->availableRates = {75};
  EXPECT_EQ(Open(s), GRAPHICS_NO_REFRESH_RATE);
  EXPECT_TRUE(Calls().empty());  // not even the display mode was asked for
  EXPECT_NE(graphics->direct3d, nullptr);
  EXPECT_EQ(graphics->device, nullptr);
  EXPECT_EQ(graphics->config.savedRefreshRate, 75);
  EXPECT_TRUE(null->refreshRateChanges.empty());
}

// --- the 60 Hz refresh rate

TEST_F(RecordedGraphicsTest, FullScreenVsyncForces60HzAndTheTeardownRestoresTheSavedRate) {
  Settings s;
  s.fullScreen = 1;
  s.vsyncWait = 1;
  null->refreshRate = 75;
  null->availableRates = {60, 75};
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  EXPECT_EQ(graphics->config.savedRefreshRate, 75);
  EXPECT_THAT(null->refreshRateChanges, ElementsAre(60));
  graphics.reset();
  EXPECT_THAT(null->refreshRateChanges, ElementsAre(60, 75));
}

TEST_F(RecordedGraphicsTest, TeardownLeaves60HzWhenTheSavedRateCannotBeSet) {
  Settings s;
  s.fullScreen = 1;
  s.vsyncWait = 1;
  null->refreshRate = 0;  // unknown, as SDL reports on these machines
  null->availableRates = {60};
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  graphics.reset();
  EXPECT_THAT(null->refreshRateChanges, ElementsAre(60));
}

TEST_F(RecordedGraphicsTest, FullScreenWithoutVsyncLeavesTheRateAloneButStillWaitsForRetrace) {
  Settings s;
  s.fullScreen = 1;
  s.vsyncWait = 0;
  null->refreshRate = 75;
  null->availableRates = {75};  // no 60 Hz: would fail with code 4 if it were tested
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  EXPECT_EQ(graphics->presentParams.SwapEffect, D3DSWAPEFFECT_COPY_VSYNC);
  graphics.reset();
  EXPECT_TRUE(null->refreshRateChanges.empty());
}

// --- fonts

TEST_F(RecordedGraphicsTest, InitMakesFiveGdiFontsAndSelectsSize16) {
  ASSERT_EQ(Open(), GRAPHICS_OK);
  const int heights[5] = {8, 16, 24, 32, 64};
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(graphics->gdiFonts[i], nullptr);
    EXPECT_EQ(graphics->gdiFonts[i]->height, heights[i]);
    EXPECT_EQ(graphics->gdiFonts[i]->weight, FW_DONTCARE);
    EXPECT_EQ(graphics->gdiFonts[i]->charSet, DEFAULT_CHARSET);
    EXPECT_EQ(graphics->gdiFonts[i]->faceName, "MS UI Gothic");
  }
  EXPECT_EQ(graphics->fontSize, 16);
  ASSERT_NE(graphics->font, nullptr);
  EXPECT_EQ(graphics->font->GetGdiFont(), graphics->gdiFonts[1]);
  EXPECT_EQ(graphics->osFamily, 2);
}

TEST_F(RecordedGraphicsTest, SelectFontPicksTheMatchingGdiFontAndTreatsOtherSizesAs16) {
  ASSERT_EQ(Open(), GRAPHICS_OK);
  const uint32_t sizes[] = {8, 24, 32, 64, 16};
  for (int i = 0; i < 5; ++i) {
    graphics->SelectFont(sizes[i]);
    EXPECT_EQ(graphics->fontSize, static_cast<int32_t>(sizes[i]));
    ASSERT_NE(graphics->font, nullptr);
    EXPECT_EQ(graphics->font->GetGdiFont()->height, static_cast<int>(sizes[i]));
  }
  for (uint32_t odd : {12u, 0u, 65u, 4294967295u}) {
    graphics->SelectFont(odd);
    EXPECT_EQ(graphics->fontSize, 16) << odd;
    EXPECT_EQ(graphics->font->GetGdiFont(), graphics->gdiFonts[1]) << odd;
  }
}

}  // namespace
