// A GIF's palette for pictures of more than 256 colours: the scene's colours exact, the map's close.
#include "batch/gif_palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "viewer/data_fit.h"

namespace {

TEST(GifPalette, KeepsTheScenesColoursAndPutsEveryShadeOfTheMapNearAnEntry) {
  // A picture of the scene's colours (most of it background) and 1000 shades of the height map.
  std::vector<uint32_t> pixels(2000, 0x140000);
  const uint32_t scene[] = {0x000000, 0x008040, 0x808080, 0xFFFFFF};
  for (int i = 0; i < 4; ++i) pixels[static_cast<size_t>(i)] = scene[i];
  for (int i = 0; i < 1000; ++i) pixels[1000 + static_cast<size_t>(i)] = viewer::MapColour(i / 999.0) & 0xFFFFFF;
  batch::ColourCounts counts;
  counts.Add(batch::Picture{pixels.data(), 100, 20, 100});
  const std::vector<uint32_t> palette = batch::MakeGifPalette(counts);
  ASSERT_LE(palette.size(), 256u);
  for (uint32_t colour : {0x140000u, 0x000000u, 0x008040u, 0x808080u, 0xFFFFFFu})
    EXPECT_NE(std::find(palette.begin(), palette.end(), colour), palette.end()) << std::hex << colour;
  int worst = 0;  // the largest channel difference between a shade and its nearest entry
  for (size_t p = 1000; p < pixels.size(); ++p) {
    int nearest = 256;
    for (uint32_t entry : palette) {
      int d = 0;
      for (int shift : {0, 8, 16})
        d = std::max(d,
                     std::abs(static_cast<int>(pixels[p] >> shift & 0xFF) - static_cast<int>(entry >> shift & 0xFF)));
      nearest = std::min(nearest, d);
    }
    worst = std::max(worst, nearest);
  }
  EXPECT_LE(worst, 2);

  // Put on the palette, the scene's colours stay exact and the shades keep to the map.
  std::vector<uint8_t> indices(pixels.size());
  batch::GifQuantizer(palette).Index(batch::Picture{pixels.data(), 100, 20, 100}, indices.data());
  for (size_t p = 0; p < pixels.size(); ++p) {
    const uint32_t shown = palette[indices[p]];
    if (p < 1000) {
      EXPECT_EQ(shown, pixels[p]) << p;
    }
    for (int shift : {0, 8, 16})
      EXPECT_LE(std::abs(static_cast<int>(pixels[p] >> shift & 0xFF) - static_cast<int>(shown >> shift & 0xFF)), 6);
  }
}

}  // namespace
