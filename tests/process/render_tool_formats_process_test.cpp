// scatterview-render's pictures beyond the window's: the ranges (and today's pictures without them,
// byte for byte), any size, and animated turntables read back with giflib and libwebp.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <webp/demux.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "orbit_camera.h"
#include "render_tool_fixture.h"

namespace {

using testsupport::CompareImages;
using testsupport::ReadPng;
using testsupport::RenderTool;
using testsupport::RgbImage;

constexpr uint32_t kBackground = 0x140000, kWhite = 0xFFFFFF;

// FNV-1a over the pixels: a picture's fingerprint.
uint64_t Fingerprint(const RgbImage& image) {
  uint64_t hash = 1469598103934665603ull;
  for (uint32_t p : image.pixels) {
    for (int b = 0; b < 4; ++b) {
      hash ^= (p >> (8 * b)) & 0xFF;
      hash *= 1099511628211ull;
    }
  }
  return hash;
}

// The frames of a GIF as shown (every frame here covers the whole screen), with their delays.
struct Animation {
  std::vector<RgbImage> frames;
  std::vector<int> durations;  // GIF: hundredths of a second; WebP: milliseconds
  int loops = -1;              // WebP's loop count (0: endless)
};

Animation ReadGif(const std::string& path) {
  Animation animation;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return animation;
  if (DGifSlurp(gif) == GIF_OK) {
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& image = gif->SavedImages[i];
      const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
      RgbImage frame;
      frame.width = image.ImageDesc.Width;
      frame.height = image.ImageDesc.Height;
      EXPECT_EQ(frame.width, gif->SWidth);
      EXPECT_EQ(frame.height, gif->SHeight);
      if (!map) continue;
      for (int p = 0; p < frame.width * frame.height; ++p) {
        const GifColorType c = map->Colors[image.RasterBits[p]];
        frame.pixels.push_back(uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 | c.Blue);
      }
      GraphicsControlBlock control{};
      DGifSavedExtensionToGCB(gif, i, &control);
      EXPECT_EQ(control.TransparentColor, NO_TRANSPARENT_COLOR);
      animation.durations.push_back(control.DelayTime);
      animation.frames.push_back(frame);
    }
  }
  DGifCloseFile(gif, &error);
  return animation;
}

Animation ReadWebp(const std::string& path) {
  Animation animation;
  const std::string bytes = testsupport::ReadFile(path);
  WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  if (!decoder) return animation;
  WebPAnimInfo info{};
  WebPAnimDecoderGetInfo(decoder, &info);
  animation.loops = static_cast<int>(info.loop_count);
  int shown = 0;
  while (WebPAnimDecoderHasMoreFrames(decoder)) {
    uint8_t* rgba = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder, &rgba, &timestamp)) break;
    RgbImage frame;
    frame.width = static_cast<int>(info.canvas_width);
    frame.height = static_cast<int>(info.canvas_height);
    for (int p = 0; p < frame.width * frame.height; ++p) {
      const uint8_t* c = rgba + 4 * p;
      EXPECT_EQ(c[3], 255) << "opaque";
      frame.pixels.push_back(uint32_t{c[0]} << 16 | uint32_t{c[1]} << 8 | c[2]);
    }
    animation.durations.push_back(timestamp - shown);
    shown = timestamp;
    animation.frames.push_back(frame);
  }
  WebPAnimDecoderDelete(decoder);
  return animation;
}

TEST_F(RenderTool, WithoutRangesThePicturesAreTodaysByteForByte) {
  // Fingerprints of the pictures of the build before the ranges were added; with a fit, the readouts
  // name it.
  struct Case {
    std::string config;
    std::vector<std::string> options;
    uint64_t fingerprint;
  };
  const Case cases[] = {
      {"", {}, 0xe38d336866e9f8f7ull},
      {"", {"--lines", "--colour-by-height", "--fit"}, 0x2f6c68c1d69f93d7ull},
      {"[CONFIG]\nWidth=800\nHeight=400\n", {"--fit-axes", "--colour-by-height"}, 0x537f5ebefdca6220ull},
      {"[CONFIG]\nRANGES=0\n", {"--theta", "200", "--r", "120", "--no-axes"}, 0x06fb71ff29d0a5ceull},
      {"[CONFIG]\nRANGES=1\n", {"--no-ranges"}, 0xe38d336866e9f8f7ull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config + (c.options.empty() ? "" : c.options[0]));
    EXPECT_EQ(Fingerprint(Picture(c.config, c.options)), c.fingerprint);
  }
  EXPECT_NE(Fingerprint(Picture("", {"--ranges"})), 0xe38d336866e9f8f7ull);
  EXPECT_EQ(CompareImages(Picture("", {"--ranges"}), Picture("[CONFIG]\nRANGES=1\n")), "");
}

TEST_F(RenderTool, SizeDrawsTheWholePictureWithItsAspect) {
  // Rows spread over the view: on a 1920 x 1080 picture each lights the pixel the camera with aspect
  // 16/9 puts it on, some of them beyond the window's 640 x 480 corner.
  const std::vector<std::array<double, 3>> rows = {
      {50, 0, 0}, {0, 80, 0}, {-60, -60, 40}, {70, -30, -50}, {0, 0, 90}, {-90, 120, -25}, {120, -110, 12}};
  std::string data;
  for (const auto& r : rows)
    data += std::to_string(r[0]) + "," + std::to_string(r[1]) + "," + std::to_string(r[2]) + "\n";
  testsupport::WriteFile(dir / "data.csv", data);
  const RgbImage image =
      Picture("[CONFIG]\nWidth=320\nHeight=240\n", {"--size", "1920x1080", "--no-axes", "--no-hint"});
  ASSERT_EQ(image.width, 1920);
  ASSERT_EQ(image.height, 1080);
  EXPECT_EQ(testsupport::Count(image, kWhite), static_cast<long>(rows.size()));
  bool beyondTheCorner = false;
  for (const auto& r : rows) {
    testsupport::OrbitView view;
    view.width = 1920;
    view.height = 1080;
    const testsupport::ScreenPoint p = testsupport::Project(view, r[0], r[1], r[2]);
    ASSERT_GT(p.Margin(), 0.05) << "a row on a pixel boundary proves nothing";
    EXPECT_EQ(image.Pixel(p.PixelX(), p.PixelY()), kWhite) << r[0] << "," << r[1] << "," << r[2];
    beyondTheCorner |= p.PixelX() >= 640 || p.PixelY() >= 480;
  }
  EXPECT_TRUE(beyondTheCorner);
  // With --point-size 3 each row (all far apart, none at an edge) is a square of nine.
  const RgbImage squares = Picture("", {"--size", "1920x1080", "--no-axes", "--no-hint", "--point-size", "3"});
  EXPECT_EQ(testsupport::Count(squares, kWhite), 9L * static_cast<long>(rows.size()));

  // The colour bar stands at this picture's right edge, its values drawn beside it, far beyond 640.
  const RgbImage ranged = Picture("", {"--size", "1920x1080", "--ranges", "--colour-by-height", "--no-hint"});
  long bar = 0, labelWhite = 0;
  for (int y = 0; y < 1080; ++y) {
    for (int x = 1880; x < 1920; ++x) {
      bar += ranged.Pixel(x, y) == 0xFDE725 || ranged.Pixel(x, y) == 0x834695;
      labelWhite += ranged.Pixel(x, y) == kWhite;
    }
  }
  EXPECT_GE(bar, 2 * 8);
  EXPECT_GT(labelWhite, 20);

  // The help text stays at the top-left; the readouts keep to the bottom-left corner, not the window's.
  const RgbImage hinted = Picture("", {"--size", "1280x720", "--colour-by-height"});
  const int bands[3] = {0, 460, 700};  // 20 rows each: the help text's, the window's readouts', the picture's
  long white[3] = {0, 0, 0};            // white pixels at the left of each band
  for (int b = 0; b < 3; ++b)
    for (int y = bands[b]; y < bands[b] + 20; ++y)
      for (int x = 0; x < 256; ++x) white[b] += hinted.Pixel(x, y) == kWhite;
  EXPECT_GT(white[0], 100);
  EXPECT_EQ(white[1], 0);
  EXPECT_GT(white[2], 100);
}

TEST_F(RenderTool, AnAnimatedTurntableHoldsThePngTurntablesFramesInOrder) {
  struct Case {
    std::vector<std::string> options;
    bool exactColours;  // else more than 256 colours: GIF's palette of them, WebP still exact
  };
  const Case cases[] = {{{}, true}, {{"--fps", "8", "--ranges"}, true}, {{"--lines", "--colour-by-height"}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.empty() ? "default" : c.options[0]);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--turntable", "4", "data.csv"});
    for (const char* out : {"spin.png", "spin.gif", "spin.webp"}) {
      std::vector<std::string> run = args;
      run.push_back(out);
      const testsupport::RunResult r = Run(run);
      ASSERT_EQ(r.status, 0) << r.err;
    }
    const RgbImage pngs[2] = {ReadPng(dir / "spin-000.png"), ReadPng(dir / "spin-002.png")};
    std::set<uint32_t> colours(pngs[0].pixels.begin(), pngs[0].pixels.end());
    ASSERT_EQ(colours.size() <= 256, c.exactColours) << colours.size() << " colours";
    const double fps = c.options.size() > 1 && c.options[0] == "--fps" ? std::stod(c.options[1]) : 20.0;

    const Animation gif = ReadGif(dir / "spin.gif");
    ASSERT_EQ(gif.frames.size(), 4u);
    int total = 0;
    for (int d : gif.durations) {
      EXPECT_NEAR(d, 100 / fps, 0.5);
      total += d;
    }
    EXPECT_EQ(total, std::lround(4 * 100 / fps)) << "the frames keep their pace";
    EXPECT_NE(testsupport::ReadFile(dir / "spin.gif").find(std::string("NETSCAPE2.0\x03\x01\0\0", 15)),
              std::string::npos)
        << "loops endlessly";
    std::set<uint32_t> shown;
    for (const RgbImage& frame : gif.frames) shown.insert(frame.pixels.begin(), frame.pixels.end());
    EXPECT_LE(shown.size(), 256u) << "one palette for every frame";
    for (int i = 0; i < 2; ++i) {
      const RgbImage& frame = gif.frames[static_cast<size_t>(2 * i)];
      if (c.exactColours) {
        EXPECT_EQ(CompareImages(frame, pngs[i]), "") << "frame " << 2 * i;
        continue;
      }
      ASSERT_EQ(frame.pixels.size(), pngs[i].pixels.size());
      // A palette made of the frames' colours: the map keeps its shades.
      EXPECT_GE(std::set<uint32_t>(frame.pixels.begin(), frame.pixels.end()).size(), 200u);
      for (size_t p = 0; p < frame.pixels.size(); ++p) {
        const uint32_t a = frame.pixels[p], b = pngs[i].pixels[p];
        if (b == kBackground) {
          ASSERT_EQ(a, b) << "the background stays exact, pixel " << p;
        }
        for (int shift : {0, 8, 16})
          ASSERT_LE(std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)), 26) << p;
      }
    }

    const Animation webp = ReadWebp(dir / "spin.webp");
    ASSERT_EQ(webp.frames.size(), 4u);
    EXPECT_EQ(webp.loops, 0) << "endless";
    for (int d : webp.durations) EXPECT_NEAR(d, 1000 / fps, 0.5);
    EXPECT_EQ(CompareImages(webp.frames[0], pngs[0]), "");
    EXPECT_EQ(CompareImages(webp.frames[2], pngs[1]), "");
  }
}

TEST_F(RenderTool, ASinglePictureTakesTheFormatOfItsName) {
  const RgbImage png = Picture("");
  ASSERT_EQ(Run({"data.csv", "still.GIF"}).status, 0);
  ASSERT_EQ(Run({"data.csv", "still.webp"}).status, 0);
  const Animation gif = ReadGif(dir / "still.GIF"), webp = ReadWebp(dir / "still.webp");
  ASSERT_EQ(gif.frames.size(), 1u);
  EXPECT_EQ(CompareImages(gif.frames[0], png), "");
  ASSERT_EQ(webp.frames.size(), 1u);
  EXPECT_EQ(CompareImages(webp.frames[0], png), "");
  EXPECT_EQ(testsupport::ReadFile(dir / "still.GIF").find("NETSCAPE2.0"), std::string::npos) << "a still, not a loop";
  // A still of more than 256 colours gets a palette of its own colours: the colour bar keeps its shades.
  const RgbImage mapped = Picture("", {"--colour-by-height", "--ranges"});
  ASSERT_EQ(Run({"--colour-by-height", "--ranges", "data.csv", "mapped.gif"}).status, 0);
  const Animation mappedGif = ReadGif(dir / "mapped.gif");
  ASSERT_EQ(mappedGif.frames.size(), 1u);
  EXPECT_GE(std::set<uint32_t>(mappedGif.frames[0].pixels.begin(), mappedGif.frames[0].pixels.end()).size(), 200u);
  for (size_t p = 0; p < mapped.pixels.size(); ++p) {
    if (mapped.pixels[p] == kBackground) {
      ASSERT_EQ(mappedGif.frames[0].pixels[p], kBackground) << p;
    }
  }
}

}  // namespace
