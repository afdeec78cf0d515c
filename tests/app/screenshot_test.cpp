// The screenshot key's file: its name from the local time, never replacing an earlier picture, and
// exactly the presented corner of the back buffer.
#include "app/screenshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "png_image.h"
#include "temp_dir.h"

namespace {

// 2024-03-05 07:08:09 in the local zone of the test: built with mktime, so the name must show it.
std::time_t LocalMoment() {
  std::tm t{};
  t.tm_year = 124;
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 7;
  t.tm_min = 8;
  t.tm_sec = 9;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST(ScreenshotPath, NamesThePictureAfterTheLocalDateAndTime) {
  testsupport::TempDir dir;
  EXPECT_EQ(app::ScreenshotPath(dir.Path(), LocalMoment()), dir / "scatterview-20240305-070809.png");
}

TEST(ScreenshotPath, ASecondPictureInTheSameSecondGetsTheNextFreeNumber) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "scatterview-20240305-070809.png", "first");
  EXPECT_EQ(app::ScreenshotPath(dir.Path(), LocalMoment()), dir / "scatterview-20240305-070809-2.png");
  testsupport::WriteFile(dir / "scatterview-20240305-070809-2.png", "second");
  EXPECT_EQ(app::ScreenshotPath(dir.Path(), LocalMoment()), dir / "scatterview-20240305-070809-3.png");
}

class ScreenshotSave : public ::testing::Test {
 protected:
  void Open(UINT width, UINT height) {
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.Windowed = TRUE;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                &device),
              D3D_OK);
    // Dark red everywhere, a white block at the top-left, a green one that reaches past 640 × 480.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF140000u, 1.0f, 0);
    const D3DRECT white{0, 0, 3, 2}, green{600, 400, 700, 500};
    device->Clear(1, &white, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0);
    device->Clear(1, &green, D3DCLEAR_TARGET, 0xFF008040u, 1.0f, 0);
  }
  void TearDown() override {
    if (device) device->Release();
    if (d3d) d3d->Release();
  }
  uint32_t Expected(int x, int y) const {
    if (x < 3 && y < 2) return 0xFFFFFF;
    if (x >= 600 && x < 700 && y >= 400 && y < 500) return 0x008040;
    return 0x140000;
  }
  void ExpectPicture(const testsupport::RgbImage& image, int width, int height) {
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    long wrong = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) wrong += image.Pixel(x, y) != Expected(x, y);
    EXPECT_EQ(wrong, 0);
  }

  testsupport::TempDir dir;
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
};

TEST_F(ScreenshotSave, WritesThePresentedCornerOfALargerBackBuffer) {
  Open(800, 600);
  std::string written, error;
  ASSERT_TRUE(app::SaveScreenshot(device, dir.Path(), LocalMoment(), &written, &error)) << error;
  EXPECT_EQ(written, dir / "scatterview-20240305-070809.png");
  ExpectPicture(testsupport::ReadPng(written), 640, 480);
}

TEST_F(ScreenshotSave, WritesAllOfASmallerBackBuffer) {
  Open(320, 200);
  std::string written, error;
  ASSERT_TRUE(app::SaveScreenshot(device, dir.Path(), LocalMoment(), &written, &error)) << error;
  ExpectPicture(testsupport::ReadPng(written), 320, 200);
}

TEST_F(ScreenshotSave, AFolderThatCannotTakeThePictureIsReportedNotFatal) {
  Open(640, 480);
  testsupport::WriteFile(dir / "file", "x");
  std::string written = "unchanged", error;
  EXPECT_FALSE(app::SaveScreenshot(device, dir / "file", LocalMoment(), &written, &error));
  EXPECT_EQ(written, "unchanged");
  EXPECT_NE(error.find(dir / "file/scatterview-20240305-070809.png"), std::string::npos) << error;
  EXPECT_FALSE(app::SaveScreenshot(nullptr, dir.Path(), LocalMoment(), &written, &error));
  EXPECT_EQ(error, "there is no picture to save");
}

}  // namespace
