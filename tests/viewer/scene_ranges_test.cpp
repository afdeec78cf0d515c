// The ranges on the picture: the columns' names and the ticks' values read back from the back buffer
// with the font's own glyphs, wherever the view puts the box's corners, and the colour bar.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "scene_fixture.h"
#include "viewer/data_fit.h"
#include "viewer/glyph_map.h"

namespace viewertest {
namespace {

// The eight corners of a box of very different scales per axis, and rows inside it, under a header.
// Fitted axis by axis the box is a cube the default camera frames.
constexpr char kBoxRows[] =
    "easting,lat,height\n-1234567,35.41,980\n3456789,35.41,980\n-1234567,47.5,980\n3456789,47.5,980\n"
    "-1234567,35.41,1020\n3456789,35.41,1020\n-1234567,47.5,1020\n3456789,47.5,1020\n"
    "1000000,40,1000\n2000000,45,990\n";
const std::vector<std::string> kNames = {"easting", "lat", "height"};
// Each edge's round ticks (steps of 1e6, 2 and 10).
const std::vector<std::vector<std::string>> kTicks = {{"-1e+06", "0", "1e+06", "2e+06", "3e+06"},
                                                      {"36", "38", "40", "42", "44", "46"},
                                                      {"980", "990", "1000", "1010", "1020"}};

class SceneRanges : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    WriteData(kBoxRows);
    Open(Layers(), "[CONFIG]\nFIT=2\nRANGES=1\nSHOWHINT=0\n");
  }

  // Every top-left corner at which `text` stands in white small glyphs on the labels' dark backing:
  // each glyph's lit texels white, the rest of its cell the background's colour.
  std::vector<std::pair<int, int>> Find(const std::string& text) {
    std::vector<std::vector<bool>> lit;
    for (char c : text) {
      const RECT cell = viewer::GlyphSourceRect(viewer::FindGlyphCell(static_cast<unsigned char>(c),
                                                                       viewer::GlyphSize::Small),
                                                viewer::GlyphSize::Small);
      std::vector<bool> mask(64);
      for (int i = 0; i < 64; ++i)
        mask[static_cast<size_t>(i)] = FontTexel(cell.left + i % 8, cell.top + i / 8) >> 24 != 0;
      lit.push_back(mask);
    }
    int w = 0, h = 0;
    const uint32_t* p = graphics->device->BackBufferPixels(&w, &h);
    const int textWidth = 8 * static_cast<int>(text.size());
    std::vector<std::pair<int, int>> found;
    for (int y = 0; y + 8 <= h; ++y) {
      for (int x = 0; x + textWidth <= w; ++x) {
        bool match = true;
        for (int i = 0; match && i < 8 * textWidth; ++i) {
          const int u = i % textWidth, v = i / textWidth;
          const uint32_t shown = p[static_cast<size_t>(y + v) * w + x + u] & 0xFFFFFFu;
          match =
              shown == (lit[static_cast<size_t>(u / 8)][static_cast<size_t>(v * 8 + u % 8)] ? 0xFFFFFFu : 0x140000u);
        }
        if (match) found.emplace_back(x, y);
      }
    }
    return found;
  }
};

TEST_F(SceneRanges, EveryEdgeLabelIsOnThePictureWhereverTheViewTurns) {
  StartScene();
  scene->LoadData();
  struct View {
    double theta, r;
    int z;
  };
  // The default view, turned, a close-up with corners off the picture and behind the eye, and afar.
  const View views[] = {{45, 250, 150}, {200, 250, 150}, {300, 250, -100}, {45, 60, 20}, {130, 900, 400}};
  for (const View& view : views) {
    SCOPED_TRACE(testing::Message() << "THETA " << view.theta << " R " << view.r << " Z " << view.z);
    scene->cameraTheta = view.theta;
    scene->cameraR = view.r;
    scene->cameraZ = view.z;
    graphics->SetRenderStates(false);
    scene->Draw();
    for (const std::string& name : kNames) EXPECT_EQ(Find(name).size(), 1u) << name;
    // A tick's value stands only where it stays clear of the others: in the default view, at least two
    // of every edge's.
    for (const auto& ticks : kTicks) {
      if (&view != &views[0]) break;
      int shown = 0;
      for (const std::string& tick : ticks) shown += !Find(tick).empty();
      EXPECT_GE(shown, 2) << ticks.front();
    }
  }
  // The box is drawn too: thin and grey.
  EXPECT_GT(CountBack(0xFF808080u), 200);
}

TEST_F(SceneRanges, TheColourBarRunsFromTheHighestHeightsColourToTheLowestsWithBothValues) {
  scene->colourByHeight = 1;
  LoadAndDraw();
  int w = 0, h = 0;
  graphics->device->BackBufferPixels(&w, &h);
  const uint32_t high = viewer::MapColour(1.0), low = viewer::MapColour(0.0);
  ASSERT_EQ(high, 0xFFFDE725u);
  // The bar: in the right-hand columns, the first column that holds the high end's colour.
  int x = w - 40, top = -1, bottom = -1;
  for (; x < w && top < 0; ++x) {
    for (int y = 0; y < h; ++y) {
      if (BackPixel(x, y) == high && top < 0) top = y;
      if (BackPixel(x, y) == low) bottom = y;
    }
  }
  --x;
  ASSERT_GE(top, 0) << "no colour bar";
  ASSERT_GT(bottom, top + h / 2) << "the low end under the high end, the bar over half the picture";
  // Top to bottom every pixel is a colour of the map, and the bar's colours go down it as the map's do.
  std::set<uint32_t> map;
  for (int i = 0; i <= 100000; ++i) map.insert(viewer::MapColour(i / 100000.0));
  for (int y = top; y <= bottom; ++y) EXPECT_EQ(map.count(BackPixel(x, y)), 1u) << "row " << y;
  EXPECT_EQ(BackPixel(x, (top + bottom) / 2), viewer::MapColour(0.5)) << "the middle of the bar";
  // The heights at its ends: 1020 just above the top, 980 just below the bottom.
  const auto near = [&](const std::string& text, int lowestTop, int highestTop) {
    for (auto [lx, ly] : Find(text))
      if (ly >= lowestTop && ly <= highestTop && lx + 8 * static_cast<int>(text.size()) <= w && lx > w - 60)
        return true;
    return false;
  };
  // The round heights at its ticks, level with them: 1020 at the top, 980 at the bottom.
  EXPECT_TRUE(near("1020", top - 9, top - 5)) << "the high end's value";
  EXPECT_TRUE(near("980", bottom - 10, bottom - 6)) << "the low end's value";
  EXPECT_TRUE(near("height", top - 22, top - 16)) << "the column's name over the bar";
}

TEST_F(SceneRanges, NoRowsToDrawDrawNoRanges) {
  WriteData("5,5,5\n");  // one stored row, which is never drawn
  scene->colourByHeight = 1;
  LoadAndDraw();
  EXPECT_EQ(CountBack(0xFF808080u), 0);
  EXPECT_TRUE(Find("0").empty());
}

}  // namespace
}  // namespace viewertest
