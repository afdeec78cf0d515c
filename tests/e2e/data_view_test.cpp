// Real data in the viewer's window: F6 fits rows of any place and scale to the view, F7 colours them
// by height, F8 shows their ranges, and the keys are saved.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_drop.h"
#include "png_image.h"
#include "viewer_fixture.h"

namespace e2e {
namespace {

// 10 000 rows spread over ±2 000 around (5 000, -3 000, 800): nowhere near the default view.
std::string FarData() {
  std::string text;
  unsigned seed = 7;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<double>((seed >> 8) % 40001) / 10.0 - 2000.0;
  };
  for (int i = 0; i < 10000; ++i)
    text += std::to_string(5000 + next()) + "," + std::to_string(-3000 + next()) + "," +
            std::to_string(800 + next()) + "\n";
  return text;
}

// The columns (leftmost, rightmost) holding a pixel of `colour` between the help text and the readouts.
// The line that says why a plot shows nothing (glyph rows 252..259) is no row.
bool SaysWhy(int y) { return y >= 252 && y < 260; }

std::pair<int, int> Spread(const testsupport::Screenshot& shot, uint32_t colour) {
  int left = 640, right = -1;
  for (int y = 45; y < 455; ++y)
    for (int x = 0; x < 640 && !SaysWhy(y); ++x)
      if (shot.Pixel(x, y) == colour) left = std::min(left, x), right = std::max(right, x);
  return {left, right};
}

// Whether the white rows span at least `width` columns and `height` rows of the picture.
bool SpreadsAtLeast(const testsupport::Screenshot& shot, int width, int height) {
  auto [left, right] = Spread(shot, kWhite);
  int top = 480, bottom = -1;
  for (int y = 45; y < 455; ++y)
    for (int x = 0; x < 640 && !SaysWhy(y); ++x)
      if (shot.Pixel(x, y) == kWhite) top = std::min(top, y), bottom = std::max(bottom, y);
  return right - left >= width && bottom - top >= height;
}

// 2 000 rows on a helix within the default view.
std::string Helix() {
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += std::to_string(60 * std::cos(i * 0.05)) + "," + std::to_string(60 * std::sin(i * 0.05)) + "," +
            std::to_string(i * 0.05 - 50) + "\n";
  return text;
}

class DataView : public ViewerTest {
 protected:
  // How many pixels of `shot` differ from the picture the render tool draws with the viewer's
  // config.ini and data and `option` (every pixel when it draws none).
  long PixelsApartFromTheRenderTool(const testsupport::Screenshot& shot, const std::string& option) {
    const std::string png = Viewer().Folder() + "/tool.png";
    const std::string tool = testsupport::BuildDir() + "/scatterview-render";
    std::filesystem::remove(png);
    const int status = std::system((tool + " --config " + Viewer().ConfigPath() + " " + option + " " +
                                    Viewer().Folder() + "/data.csv " + png + " >/dev/null 2>&1").c_str());
    const testsupport::RgbImage picture = testsupport::ReadPng(png);
    if (status != 0 || picture.width != 640 || picture.height != 480) return 640L * 480;
    long differ = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) differ += picture.Pixel(x, y) != shot.Pixel(x, y);
    return differ;
  }
};

TEST_F(DataView, F6FitsFarDataToTheViewAndTheRenderToolDrawsTheSame) {
  Viewer().WriteData(FarData());
  Viewer().WriteConfig("[CONFIG]\nSHOWHINT=0\n");
  ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();
  EXPECT_EQ(Spread(Viewer().Capture(), kWhite).second, -1) << "none of the rows is in the default view";
  Viewer().Key("F6");
  bool held = false;
  testsupport::Screenshot shot = Viewer().CaptureUntil(
      [](const testsupport::Screenshot& s) { auto [l, r] = Spread(s, kWhite); return r - l >= 256; }, 5000, &held);
  EXPECT_TRUE(held) << "after F6 the rows spread over at least 40 % of the width";

  EXPECT_EQ(PixelsApartFromTheRenderTool(shot, "--fit"), 0) << "the render tool with --fit draws that very picture";

  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(10000), 0);
  EXPECT_NE(testsupport::ReadFile(Viewer().ConfigPath()).find("FIT=1\n"), std::string::npos);
}

TEST_F(DataView, F6TwiceFillsThePictureWithColumnsInDifferentUnits) {
  std::string text = "x,y,z\n";  // a header line
  for (int i = 0; i < 4000; ++i)
    text += std::to_string(-84 + 0.3 * std::sin(i * 0.37)) + "," + std::to_string(36 + 0.3 * std::cos(i * 0.53)) +
            "," + std::to_string(200 + (i * 7919 % 4000) * 0.225) + "\n";
  Viewer().WriteData(text);
  Viewer().WriteConfig("[CONFIG]\nSHOWHINT=0\n");
  ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();
  Viewer().Key("F6");
  Pause(300);
  Viewer().Key("F6");
  bool held = false;
  Viewer().CaptureUntil([](const testsupport::Screenshot& s) { return SpreadsAtLeast(s, 256, 192); }, 5000, &held);
  EXPECT_TRUE(held) << "the rows fill the picture both ways";
  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(10000), 0);
  EXPECT_NE(testsupport::ReadFile(Viewer().ConfigPath()).find("FIT=2\n"), std::string::npos);
}

// A survey as such files come: a header, map coordinates in metres far from the origin, a height,
// and no line end after the last row. The starting settings the build ships show it at once.
TEST_F(DataView, TheShippedSettingsShowASurveyWithAHeaderAtOnce) {
  std::string text = "easting,northing,height\r\n";
  for (int i = 0; i < 3000; ++i) {
    text += std::to_string(512000.0 + (i * 7919 % 3000) * 0.5) + "," + std::to_string(4181000.0 + (i % 60) * 20.0) +
            "," + std::to_string(140.0 + 30.0 * std::sin(i * 0.01)) + (i + 1 < 3000 ? "\r\n" : "");
  }
  Viewer().WriteData(text);
  Viewer().WriteConfig(testsupport::ReadFile(testsupport::SourceDir() + "/packaging/config.ini") + "SHOWHINT=0\n");
  ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();
  bool held = false;
  Viewer().CaptureUntil([](const testsupport::Screenshot& s) { return SpreadsAtLeast(s, 256, 150); }, 5000, &held);
  EXPECT_TRUE(held) << "the rows spread over the picture without a key pressed";
  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(10000), 0);
  EXPECT_NE(Viewer().Proc().Stderr().find("header row (easting,northing,height) skipped"), std::string::npos)
      << Viewer().Proc().Stderr();
}

TEST_F(DataView, F7ColoursTheRowsByHeight) {
  Viewer().WriteData(testsupport::ReadFile(testsupport::SourceDir() + "/examples/lorenz.csv"));
  Viewer().WriteConfig("[CONFIG]\nSHOWHINT=0\nSHOWAXIS=0\n");
  ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();
  Viewer().Key("F7");
  bool held = false;
  Viewer().CaptureUntil([](const testsupport::Screenshot& s) {
    std::set<uint32_t> colours;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) colours.insert(s.Pixel(x, y));
    colours.erase(kBackground);
    colours.erase(kWhite);
    return colours.size() >= 8;
  }, 5000, &held);
  EXPECT_TRUE(held) << "at least eight colours among the rows";
  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(10000), 0);
  EXPECT_NE(testsupport::ReadFile(Viewer().ConfigPath()).find("COLORMAP=1\n"), std::string::npos);
}

TEST_F(DataView, F8ShowsTheRangesTheRenderToolDrawsAndIsSaved) {
  Viewer().WriteData(Helix());
  Viewer().WriteConfig("[CONFIG]\nSHOWHINT=0\nCOLORMAP=1\n");
  ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();
  Viewer().Key("F8");
  // The grey box and, at the right edge, the colour bar's yellow top.
  bool held = false;
  const testsupport::Screenshot shot = Viewer().CaptureUntil([](const testsupport::Screenshot& s) {
    long grey = 0, barTop = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        grey += s.Pixel(x, y) == 0x808080u;
        barTop += x >= 600 && s.Pixel(x, y) == 0xFDE725u;
      }
    return grey > 200 && barTop > 0;
  }, 5000, &held);
  EXPECT_TRUE(held) << "the box and the colour bar after F8";

  EXPECT_EQ(PixelsApartFromTheRenderTool(shot, "--ranges"), 0) << "the window shows the render tool's picture";

  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(10000), 0);
  EXPECT_NE(testsupport::ReadFile(Viewer().ConfigPath()).find("RANGES=1\n"), std::string::npos);
}

TEST_F(DataView, F9ReadsTheRewrittenFileAndKeepsTheRowsWhenItIsGone) {
  Viewer().WriteData(SampleData());
  Viewer().WriteConfig("[CONFIG]\nSHOWHINT=0\nSHOWAXIS=0\n");
  ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();
  const long before = CountColour(Viewer().Capture(), kWhite, 0, 480);
  EXPECT_LE(before, 4);
  Viewer().WriteData(Helix());
  Viewer().Key("F9");
  bool held = false;
  testsupport::Screenshot shot = Viewer().CaptureUntil(
      [](const testsupport::Screenshot& s) { return CountColour(s, kWhite, 0, 480) > 500; }, 5000, &held);
  EXPECT_TRUE(held) << "the new rows show";
  const long after = CountColour(shot, kWhite, 0, 480);

  std::filesystem::remove(Viewer().Folder() + "/data.csv");
  Viewer().Key("F9");
  EXPECT_TRUE(Viewer().Proc().WaitForStderr("cannot be read", 5000)) << Viewer().Proc().Stderr();
  Pause(200);
  EXPECT_EQ(CountColour(Viewer().Capture(), kWhite, 0, 480), after) << "the rows stay on screen";
  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(10000), 0);
  const std::string config = testsupport::ReadFile(Viewer().ConfigPath());
  EXPECT_EQ(config.find("FIT"), std::string::npos) << "keys of today only: " << config;
  EXPECT_EQ(config.find("COLORMAP"), std::string::npos);
}

TEST_F(DataView, Scale2ShowsEveryPicturePixelAsATwoByTwoBlock) {
  ViewerUnderX viewer(2048, 1536);
  ASSERT_TRUE(viewer.XOk());
  viewer.WriteData(SampleData());
  const std::string config = "[CONFIG]\nSCALE=2\n";
  viewer.WriteConfig(config);
  ASSERT_TRUE(viewer.Start()) << viewer.Failure();
  const std::string size =
      testsupport::RunWithDisplay(viewer.Display(), "xwininfo -id " + viewer.Window() +
                                                        " | awk '/Width:/{w=$2}/Height:/{h=$2}END{print w \"x\" h}'");
  EXPECT_EQ(size, "1280x960");

  // The picture of the same view without a window, at one pixel a pixel.
  testsupport::WriteFile(viewer.Folder() + "/plain.ini", "");
  const std::string png = viewer.Folder() + "/plain.png";
  ASSERT_EQ(std::system((testsupport::BuildDir() + "/scatterview-render --config " + viewer.Folder() + "/plain.ini " +
                         viewer.Folder() + "/data.csv " + png + " >/dev/null 2>&1").c_str()), 0);
  const testsupport::RgbImage picture = testsupport::ReadPng(png);
  ASSERT_EQ(picture.width, 640);
  bool held = false;
  long differ = 0;
  viewer.CaptureUntil([&](const testsupport::Screenshot& s) {
    differ = 0;
    if (s.width < 1280 || s.height < 960) return false;
    for (int y = 0; y < 960; ++y)
      for (int x = 0; x < 1280; ++x)
        differ += s.Pixel(x, y) != picture.pixels[static_cast<size_t>(y / 2) * 640 + x / 2];
    return differ == 0;
  }, 5000, &held);
  EXPECT_EQ(differ, 0) << "pixels unlike their picture pixel";
  viewer.Key("Escape");
  EXPECT_EQ(viewer.WaitExit(10000), 0);
  EXPECT_NE(testsupport::ReadFile(viewer.ConfigPath()).find("SCALE=2\n"), std::string::npos) << "kept as it was";
}

TEST_F(DataView, AFileDroppedOnTheWindowBecomesTheDataFile) {
  Viewer().WriteData(SampleData());
  Viewer().WriteConfig("[CONFIG]\nSHOWHINT=0\nSHOWAXIS=0\n");
  ASSERT_TRUE(Viewer().Start()) << Viewer().Failure();

  const std::string dropped = Viewer().Folder() + "/dropped.csv";
  testsupport::WriteFile(dropped, Helix());
  ASSERT_TRUE(DropFileOnWindow(Viewer().Display(), Viewer().Window(), dropped)) << "the window took the drop";
  bool held = false;
  Viewer().CaptureUntil([](const testsupport::Screenshot& s) { return CountColour(s, kWhite, 0, 480) > 500; }, 5000,
                        &held);
  EXPECT_TRUE(held) << "the dropped file's rows show";
  EXPECT_TRUE(testsupport::WaitUntil([&] { return Viewer().WindowName() == dropped; }, 5000)) << Viewer().WindowName();
  Viewer().Key("Escape");
  EXPECT_EQ(Viewer().WaitExit(10000), 0);
  EXPECT_EQ(testsupport::ReadFile(Viewer().ConfigPath()).find("NAME"), std::string::npos) << "NAME is not written";
}

// A new reading that waits on a FIFO's writer leaves the rows on screen until the writer has
// finished, then shows its rows; the run still ends whole.
TEST_F(DataView, F9OrADropOntoAFifoKeepsTheRowsUntilItsWriterHasFinished) {
  for (const bool drop : {false, true}) {
    SCOPED_TRACE(drop ? "a drop" : "F9");
    ViewerUnderX viewer;
    ASSERT_TRUE(viewer.XOk());
    viewer.WriteData(Helix());
    viewer.WriteConfig("[CONFIG]\nSHOWHINT=0\nSHOWAXIS=0\n");
    ASSERT_TRUE(viewer.Start()) << viewer.Failure();
    const auto shown = [](const testsupport::Screenshot& s) { return CountColour(s, kWhite, 0, 480); };
    bool held = false;
    const long before = shown(viewer.CaptureUntil([&](const auto& s) { return shown(s) > 500; }, 5000, &held));
    ASSERT_TRUE(held) << "the helix shows";

    const std::string fifo = viewer.Folder() + (drop ? "/dropped.fifo" : "/data.csv");
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    if (drop) {
      ASSERT_TRUE(DropFileOnWindow(viewer.Display(), viewer.Window(), fifo));
    } else {
      viewer.Key("F9");
    }
    Pause(500);
    EXPECT_EQ(shown(viewer.Capture()), before) << "the rows stay while the writer is silent";

    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // the viewer holds the reading end
    ASSERT_GE(fd, 0) << "the viewer is reading the FIFO";
    const std::string rows = SampleData();
    ASSERT_EQ(::write(fd, rows.data(), rows.size()), static_cast<ssize_t>(rows.size()));
    ::close(fd);
    viewer.CaptureUntil([&](const auto& s) { return shown(s) <= 4; }, 5000, &held);
    EXPECT_TRUE(held) << "the writer's rows replace them";

    viewer.Key("Escape");
    EXPECT_EQ(viewer.WaitExit(10000), 0);
    EXPECT_NE(testsupport::ReadFile(viewer.ConfigPath()).find("SHOWAXIS=0\n"), std::string::npos) << "saved whole";
    for (const auto& entry : std::filesystem::directory_iterator(viewer.Folder())) {
      EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << "left behind: " << entry.path();
    }
  }
}

}  // namespace
}  // namespace e2e
