// The PNG writer: what it writes decodes to the very pixels it was given (palette or RGB), it
// refuses what PNG cannot hold, and a file appears whole or not at all.
#include "render/png_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "png_image.h"
#include "temp_dir.h"

namespace {

using testsupport::DecodePng;
using testsupport::RgbImage;

// A picture from a text drawing: '.' background, '#' white, 'g' green, 'k' black; alpha bits vary on
// purpose (the writer must ignore them). Each row is padded to `pitch` with a colour that must not show.
struct Drawing {
  int width = 0, height = 0, pitch = 0;
  std::vector<uint32_t> argb;
};

Drawing Draw(const std::vector<std::string>& rows, int padding = 0) {
  Drawing d;
  d.height = static_cast<int>(rows.size());
  d.width = static_cast<int>(rows[0].size());
  d.pitch = d.width + padding;
  for (const std::string& row : rows) {
    for (char c : row) {
      switch (c) {
        case '#': d.argb.push_back(0xFFFFFFFFu); break;
        case 'g': d.argb.push_back(0x00008040u); break;
        case 'k': d.argb.push_back(0x80000000u); break;
        default: d.argb.push_back(0xFF140000u); break;
      }
    }
    for (int i = 0; i < padding; ++i) d.argb.push_back(0xFF123456u);
  }
  return d;
}

std::vector<uint32_t> Rgb(const Drawing& d) {
  std::vector<uint32_t> out;
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) out.push_back(d.argb[static_cast<size_t>(y) * d.pitch + x] & 0xFFFFFFu);
  return out;
}

// The colour type byte of the IHDR chunk: 2 RGB, 3 palette.
int ColourType(const std::vector<uint8_t>& png) { return png.size() > 25 ? png[25] : -1; }

TEST(PngEncoder, AFewColoursGoThroughAPaletteAndComeBackExactly) {
  const Drawing d = Draw({
      "....#.....",
      "...###....",
      "gggg#ggggg",
      "....k.....",
  }, 3);
  render::PngEncoder encoder;
  std::vector<uint8_t> png;
  ASSERT_TRUE(encoder.Encode(d.argb.data(), d.width, d.height, d.pitch, png));
  EXPECT_EQ(ColourType(png), 3);
  RgbImage back = DecodePng(png);
  ASSERT_EQ(back.width, 10);
  ASSERT_EQ(back.height, 4);
  EXPECT_EQ(back.pixels, Rgb(d));
}

TEST(PngEncoder, MoreThan256ColoursAreWrittenAsRgbAndComeBackExactly) {
  Drawing d;
  d.width = d.pitch = 40;
  d.height = 9;
  for (int i = 0; i < d.width * d.height; ++i) d.argb.push_back(0xFF000000u | static_cast<uint32_t>(i * 40503u));
  render::PngEncoder encoder;
  std::vector<uint8_t> png;
  ASSERT_TRUE(encoder.Encode(d.argb.data(), d.width, d.height, d.pitch, png));
  EXPECT_EQ(ColourType(png), 2);
  EXPECT_EQ(DecodePng(png).pixels, Rgb(d));
}

TEST(PngEncoder, AReusedEncoderCarriesNothingFromOnePictureToTheNext) {
  const Drawing first = Draw({"#.g", "k#."});
  Drawing many;
  many.width = many.pitch = 300;
  many.height = 2;
  for (int i = 0; i < 600; ++i) many.argb.push_back(static_cast<uint32_t>(i) * 0x010203u);
  render::PngEncoder encoder, fresh;
  std::vector<uint8_t> a, b, c, reference;
  ASSERT_TRUE(encoder.Encode(first.argb.data(), 3, 2, 3, a));
  ASSERT_TRUE(encoder.Encode(many.argb.data(), 300, 2, 300, b));
  ASSERT_TRUE(encoder.Encode(first.argb.data(), 3, 2, 3, c));
  ASSERT_TRUE(fresh.Encode(first.argb.data(), 3, 2, 3, reference));
  EXPECT_EQ(a, reference);
  EXPECT_EQ(c, reference);
  EXPECT_EQ(DecodePng(b).pixels, Rgb(many));
}

TEST(PngEncoder, RefusesSizesAPictureCannotHave) {
  const uint32_t pixel = 0;
  render::PngEncoder encoder;
  std::vector<uint8_t> png{1, 2, 3};
  EXPECT_FALSE(encoder.Encode(&pixel, 0, 1, 1, png));
  EXPECT_FALSE(encoder.Encode(&pixel, 1, -1, 1, png));
  EXPECT_FALSE(encoder.Encode(&pixel, 2, 1, 1, png)) << "rows closer than their width";
  EXPECT_FALSE(encoder.Encode(nullptr, 1, 1, 1, png));
  EXPECT_TRUE(png.empty());
}

class PngFile : public ::testing::Test {
 protected:
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  testsupport::TempDir dir;
  Drawing picture = Draw({"#..", ".g.", "..k"});
};

TEST_F(PngFile, WritesAReadablePictureWithTheUsualPermissionsAndNothingElse) {
  std::string error;
  ASSERT_TRUE(render::WritePngFile(dir / "a.png", picture.argb.data(), 3, 3, 3, &error)) << error;
  EXPECT_EQ(testsupport::ReadPng(dir / "a.png").pixels, Rgb(picture));
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.png"}) << "no temporary file may stay behind";
  struct stat st{};
  ASSERT_EQ(stat((dir / "a.png").c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST_F(PngFile, ReplacesAnOlderFileWhole) {
  testsupport::WriteFile(dir / "a.png", std::string(100000, 'x'));
  ASSERT_TRUE(render::WritePngFile(dir / "a.png", picture.argb.data(), 3, 3, 3, nullptr));
  EXPECT_EQ(testsupport::ReadPng(dir / "a.png").pixels, Rgb(picture));
}

TEST_F(PngFile, AFailedWriteSaysWhyAndLeavesNothing) {
  testsupport::WriteFile(dir / "plain", "not a folder");
  std::string error;
  EXPECT_FALSE(render::WritePngFile(dir / "plain/a.png", picture.argb.data(), 3, 3, 3, &error));
  EXPECT_NE(error.find(dir / "plain/a.png"), std::string::npos) << error;
  EXPECT_FALSE(render::WritePngFile(dir / "missing/a.png", picture.argb.data(), 3, 3, 3, &error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;

  // A folder where the picture should go stays a folder, with nothing beside it.
  std::filesystem::create_directory(dir / "taken.png");
  EXPECT_FALSE(render::WritePngFile(dir / "taken.png", picture.argb.data(), 3, 3, 3, &error));
  EXPECT_NE(error.find("taken.png"), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.png"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"plain", "taken.png"}));
}

}  // namespace
