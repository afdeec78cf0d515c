// The rasterizer's line walks: settled lines (walked eight at a time) against the general per-pixel
// walk, and ends far off the target.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "render/rasterizer.h"

namespace {

using render::PixelState;
using render::Rasterizer;
using render::RasterVertex;

constexpr int kWidth = 40, kHeight = 30;

struct Target {
  Rasterizer raster;
  PixelState state;
  render::Float8 ends[4]{};  // settled lines pending, to be walked eight at a time: x0, y0, x1, y1
  render::Int8 lastPixels{};
  uint32_t colours[8] = {};
  int pending = 0;
  int width, height;
  explicit Target(int w = kWidth, int h = kHeight) : width(w), height(h) {
    raster.Resize(w, h);
    raster.Clear(0, 0, w, h, true, 0xFF000000u, true, 1.0f);
    Rasterizer::DeriveFlags(state);
  }
  void WalkPending() {
    raster.WalkSettledLines(ends[0], ends[1], ends[2], ends[3], colours, lastPixels, std::exchange(pending, 0));
  }
  std::vector<uint32_t> Pixels() {
    WalkPending();
    const uint32_t* p = raster.Colour();
    return std::vector<uint32_t>(p, p + static_cast<size_t>(width) * height);
  }
  void SettledLine(float x0, float y0, float x1, float y1, uint32_t colour, bool lastPixel = true) {
    const float end[4] = {x0, y0, x1, y1};
    for (int i = 0; i < 4; ++i) ends[i][pending] = end[i];
    colours[pending] = colour, lastPixels[pending] = lastPixel;
    if (++pending == 8) WalkPending();
  }
  // The general walk, with the colour on both ends and depth 1.0 (the cleared depth).
  void GeneralLine(float x0, float y0, float x1, float y1, uint32_t colour) {
    auto vertex = [colour](float x, float y) {
      return RasterVertex{x, y, 1.0f, 1.0f, static_cast<float>((colour >> 16) & 0xFF),
                          static_cast<float>((colour >> 8) & 0xFF), static_cast<float>(colour & 0xFF), 255.0f,
                          0.0f, 0.0f, 1.0f};
    };
    raster.DrawLine(vertex(x0, y0), vertex(x1, y1), state);
  }
};

struct Line {
  float x0, y0, x1, y1;
  uint32_t colour;
};

// Short and long lines in every direction, some leaving the target, some on exact pixel halves.
std::vector<Line> RandomLines(unsigned seed, int n) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> position(-8.0f, kWidth + 8.0f), step(-4.0f, 4.0f), along(-30.0f, 30.0f);
  std::uniform_int_distribution<int> pick(0, 5), half(-20, 100);
  std::vector<Line> lines;
  for (int i = 0; i < n; ++i) {
    Line l{position(rng), position(rng), 0, 0, 0xFF000000u | static_cast<uint32_t>(rng() & 0xFFFFFFu)};
    switch (pick(rng)) {
      case 0: l.x1 = l.x0 + along(rng), l.y1 = l.y0 + along(rng); break;
      case 1:  // ends on pixel halves
        l.x0 = half(rng) * 0.5f, l.y0 = half(rng) * 0.5f, l.x1 = half(rng) * 0.5f, l.y1 = half(rng) * 0.5f;
        break;
      case 2: l.x1 = l.x0, l.y1 = l.y0; break;  // a point-like line
      default: l.x1 = l.x0 + step(rng), l.y1 = l.y0 + step(rng); break;
    }
    lines.push_back(l);
  }
  return lines;
}

// A polyline of steps of up to four pixels that stays on the target, like the scene's: whole sets of
// lines that are all short and all on the target, the walk's quickest case.
std::vector<Line> ShortLinesOnTarget(unsigned seed, int n) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> step(-3.4f, 3.4f);
  std::vector<Line> lines;
  float x = kWidth / 2.0f, y = kHeight / 2.0f;
  for (int i = 0; i < n; ++i) {
    const float x1 = std::clamp(x + step(rng), 2.0f, kWidth - 3.0f);
    const float y1 = std::clamp(y + step(rng), 2.0f, kHeight - 3.0f);
    lines.push_back({x, y, x1, y1, 0xFF000000u | static_cast<uint32_t>(rng() & 0xFFFFFFu)});
    x = x1, y = y1;
  }
  return lines;
}

TEST(LineWalks, SettledLinesLightWhatTheGeneralWalkLights) {
  for (bool lastPixel : {true, false}) {
    for (bool shortOnes : {false, true}) {
      Target general, settled;
      general.state.lastPixel = lastPixel;
      // Not a multiple of eight: some wait at the end.
      const auto lines = shortOnes ? ShortLinesOnTarget(lastPixel ? 7 : 8, 3001) : RandomLines(lastPixel ? 5 : 6, 3001);
      for (const Line& l : lines) {
        general.GeneralLine(l.x0, l.y0, l.x1, l.y1, l.colour);
        settled.SettledLine(l.x0, l.y0, l.x1, l.y1, l.colour, lastPixel);
      }
      const auto expected = general.Pixels();
      int lit = 0;
      for (uint32_t p : expected) lit += p != 0xFF000000u;
      EXPECT_GT(lit, kWidth * kHeight / 2);
      EXPECT_TRUE(settled.Pixels() == expected) << "LASTPIXEL " << lastPixel << (shortOnes ? ", short lines" : "");
    }
  }
}

TEST(LineWalks, AnEndFarOffTheTargetLightsTheLinesPartOnIt) {
  // From x = 1e7 + 100 back to x = 200 along row 4 (the ends less than 1e7 apart, so the line is
  // drawn): on a 256-pixel row that is columns 200 to 255. (The far end once stood for a pixel far to
  // the left, which lit columns 0 to 200 after a walk of a billion steps.)
  constexpr int kWide = 256;
  auto check = [](const std::vector<uint32_t>& p, const char* path) {
    for (int x = 0; x < kWide; ++x) EXPECT_EQ(p[4 * kWide + x] != 0xFF000000u, x >= 200) << path << ", column " << x;
  };
  const float far = 1e7f + 100.0f;
  Target general(kWide, 8);
  general.GeneralLine(far, 4.0f, 200.0f, 4.0f, 0xFFFFFFFFu);
  check(general.Pixels(), "general walk");
  Target settled(kWide, 8);
  settled.SettledLine(far, 4.0f, 200.0f, 4.0f, 0xFFFFFFFFu);
  check(settled.Pixels(), "settled walk");
  Target alone(kWide, 8);
  alone.raster.PutLine(far, 4.0f, 200.0f, 4.0f, 0xFFFFFFFFu, true);
  check(alone.Pixels(), "one settled line");
}

}  // namespace
