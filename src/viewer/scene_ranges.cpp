// The ranges on the picture (F8, key RANGES): a thin grey box of the drawn rows' robust box (the box
// the fit works from); three of its edges carry short tick marks at round values, the values in the
// data's own units and the column's name (the header's, or x, y, z); with colour by height on, a
// colour bar at the picture's right edge with the same ticks and the z column's name; when the box
// leaves rows out, one line says how many and the whole range of every axis. The box and its ticks
// are drawn where the rows are, so they are fitted with them; the labels are placed on the picture
// wherever their points are, so they stay readable as the view turns.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "graphics/direct_graphics.h"
#include "viewer/range_labels.h"
#include "viewer/scene_colours.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr D3DCOLOR kBoxColour = viewer::kBoxColour;
constexpr D3DCOLOR kLabelColour = viewer::kWhiteColour;
// A label stands on the background's colour, so the rows behind it do not mix with its glyphs.
constexpr D3DCOLOR kLabelBacking = viewer::kBackgroundColour;
constexpr int32_t kGlyphPixels = 8;
constexpr int32_t kLabelHeight = kGlyphPixels + 2;  // a pixel of backing above and below
// The colour bar: its width and its distance from the picture's right edge, in pixels; its ends keep
// clear of the help text at the top and the readouts at the bottom (in pictures tall enough for both).
constexpr int32_t kBarWidth = 8, kBarMargin = 6, kBarTop = 52, kBarBottomMargin = 40;

// Corners by their bits: 1 the high x, 2 the high y, 4 the high z.
constexpr int kCorners = 8;
// The labelled edges share no corner, so no two labels start from one point: x along the low y and
// z, y along the high x and z, z along the low x and the high y.
struct LabelledEdge {
  int axis, lowCorner, highCorner;
};
constexpr LabelledEdge kLabelledEdges[] = {{0, 0, 1}, {1, 5, 7}, {2, 2, 6}};
// A tick mark points away from the box along the next axis, this share of the box's largest side long.
constexpr double kTickShare = 0.03;
constexpr int32_t kBarTickPixels = 3;

struct Spot {
  double x = 0, y = 0;
};

// The world point's place on the back buffer through the device's view and projection (the world is
// the identity while the box is drawn). A point behind the eye is put far out in its direction, where
// placing moves its label to the picture's edge.
Spot OnScreen(const D3DMATRIX& viewProjection, const double world[3], int32_t width, int32_t height) {
  double clip[4];
  for (int c = 0; c < 4; ++c)
    clip[c] = world[0] * viewProjection.m[0][c] + world[1] * viewProjection.m[1][c] +
              world[2] * viewProjection.m[2][c] + viewProjection.m[3][c];
  constexpr double kNearest = 1e-9, kFarOut = 1e9;
  const double w = clip[3] > kNearest ? clip[3] : kNearest / kFarOut;
  return Spot{(1.0 + clip[0] / w) * width / 2.0, (1.0 - clip[1] / w) * height / 2.0};
}

int32_t TextWidth(const std::string& text) { return static_cast<int32_t>(text.size()) * kGlyphPixels; }

// A column's name as the small glyphs show it: bytes the font lacks as "?", at most 16 of them.
std::string PrintableName(std::string name) {
  constexpr std::size_t kLongest = 16;
  if (name.size() > kLongest) name.resize(kLongest);
  for (char& c : name) {
    const bool shown = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       std::string_view(" +-*/:._()[]!?><{}@").find(c) != std::string_view::npos;
    if (!shown) c = '?';
  }
  return name;
}

}  // namespace

bool ViewerScene::RowsBoxInView() {
  const viewer::RobustBox& box = DrawnRowsBox();
  const viewer::FitTransform fit = viewer::FitOf(box, static_cast<viewer::FitMode>(fitMode));
  D3DMATRIX view{}, projection{};
  g_graphics->device->GetTransform(D3DTS_VIEW, &view);
  g_graphics->device->GetTransform(D3DTS_PROJECTION, &projection);
  const D3DMATRIX viewProjection = viewer::Product(view, projection);
  // Outside when every corner lies beyond one and the same side of the view volume (0 <= z <= w).
  unsigned insideOf = 0;  // a bit for each side that some corner is within
  for (int c = 0; c < kCorners; ++c) {
    double clip[4];
    for (int k = 0; k < 4; ++k) {
      clip[k] = viewProjection.m[3][k];
      for (int axis = 0; axis < 3; ++axis)
        clip[k] += fit.Apply(axis, (c >> axis) & 1 ? box.high[axis] : box.low[axis]) * viewProjection.m[axis][k];
    }
    const double w = clip[3];
    insideOf |= (clip[0] >= -w) | (clip[0] <= w) << 1 | (clip[1] >= -w) << 2 | (clip[1] <= w) << 3 |
                (clip[2] >= 0) << 4 | (clip[2] <= w) << 5 | (w > 0) << 6;
  }
  return insideOf == 0x7F;
}

void ViewerScene::PictureSize(int32_t* width, int32_t* height) const {
  const GraphicsConfig& config = g_graphics->config;
  *width = pictureWidth_ > 0 ? pictureWidth_ : std::min(config.Width, 640);
  *height = pictureHeight_ > 0 ? pictureHeight_ : std::min(config.Height, 480);
}

void ViewerScene::DrawRangeBox() {
  const viewer::RobustBox& box = DrawnRowsBox();
  const viewer::FitTransform fit = viewer::FitOf(box, static_cast<viewer::FitMode>(fitMode));
  double corners[kCorners][3];
  for (int c = 0; c < kCorners; ++c)
    for (int axis = 0; axis < 3; ++axis)
      corners[c][axis] = fit.Apply(axis, (c >> axis) & 1 ? box.high[axis] : box.low[axis]);
  for (int c = 0; c < kCorners; ++c) {
    for (int bit = 1; bit < kCorners; bit <<= 1) {
      if (c & bit) continue;
      const double* a = corners[c];
      const double* b = corners[c | bit];
      g_graphics->DrawLine(a[0], a[1], a[2], b[0], b[1], b[2], kBoxColour);
    }
  }
  double largest = 0;
  for (int axis = 0; axis < 3; ++axis) largest = std::max(largest, std::fabs(corners[7][axis] - corners[0][axis]));
  for (const LabelledEdge& edge : kLabelledEdges) {
    const viewer::RoundTicks ticks = viewer::RoundTicksOf(box.low[edge.axis], box.high[edge.axis]);
    const int out = (edge.axis + 1) % 3;
    const double reach = ((edge.lowCorner >> out) & 1 ? 1 : -1) * kTickShare * largest;
    for (int i = 0; i < ticks.count; ++i) {
      double a[3] = {corners[edge.lowCorner][0], corners[edge.lowCorner][1], corners[edge.lowCorner][2]};
      a[edge.axis] = fit.Apply(edge.axis, ticks.Value(i));
      double b[3] = {a[0], a[1], a[2]};
      b[out] += reach;
      g_graphics->DrawLine(a[0], a[1], a[2], b[0], b[1], b[2], kBoxColour);
    }
  }
}

void ViewerScene::DrawLabel(const viewer::LabelRect& at, const std::string& text) {
  g_graphics->FillRect(at.left, at.top, at.right, at.bottom, kLabelBacking);
  DrawPictureText(at.left + 1, at.top + 1, text.c_str(), kLabelColour);
}

void ViewerScene::DrawColourBar(viewer::LabelPlacer& placer, int32_t width, int32_t height) {
  DirectGraphics& graphics = *g_graphics;
  double low = 0, high = 0;
  ColourRange(&low, &high);
  const int32_t barRight = width - kBarMargin, barLeft = barRight - kBarWidth;
  const int32_t top = std::min(kBarTop, height / 4), bottom = height - std::min(kBarBottomMargin, height / 4);
  if (barLeft < 0 || bottom - top < 2) return;
  // Row by row from the high end at the top to the low end at the bottom, each in the map's colour
  // for its place, so the ends are exactly the colours of the highest and the lowest rows.
  for (int32_t y = top; y < bottom; ++y)
    graphics.FillRect(barLeft, y, barRight, y + 1,
                      viewer::MapColour(static_cast<double>(bottom - 1 - y) / (bottom - 1 - top)));
  placer.Reserve({barLeft - kBarTickPixels, top, barRight, bottom});
  const std::string name = PrintableName(viewer::ColumnNameOf(lastReading.shape, dataColour.empty() ? 2 : 3));
  // Above the top tick's value, which stands level with the bar's top.
  DrawLabel(placer.Place(width, top - kLabelHeight / 2, TextWidth(name) + 2, kLabelHeight, true, true), name);
  const viewer::RoundTicks ticks = viewer::RoundTicksOf(low, high);
  for (int i = 0; i < ticks.count; ++i) {
    const double t = (ticks.Value(i) - low) / (high - low);
    const int32_t y = bottom - 1 - static_cast<int32_t>(std::lround(t * (bottom - 1 - top)));
    graphics.FillRect(barLeft - kBarTickPixels, y, barLeft, y + 1, kLabelColour);
    const std::string text = viewer::RangeValueText(ticks.Value(i));
    if (const auto at = placer.PlaceIfClear(barLeft - kBarTickPixels, y + kLabelHeight / 2.0, TextWidth(text) + 2,
                                            kLabelHeight, true, true)) {
      DrawLabel(*at, text);
    }
  }
}

void ViewerScene::DrawRangeLabels() {
  DirectGraphics& graphics = *g_graphics;
  const viewer::RobustBox& box = DrawnRowsBox();
  int32_t width = 0, height = 0;
  PictureSize(&width, &height);
  viewer::LabelPlacer placer(width, height);
  // The colour bar first: the labels of the edges keep clear of it.
  if (colourByHeight != 0) DrawColourBar(placer, width, height);

  D3DMATRIX view{}, projection{};
  graphics.device->GetTransform(D3DTS_VIEW, &view);
  graphics.device->GetTransform(D3DTS_PROJECTION, &projection);
  const D3DMATRIX viewProjection = viewer::Product(view, projection);
  const viewer::FitTransform fit = viewer::FitOf(box, static_cast<viewer::FitMode>(fitMode));
  const auto spotOf = [&](int corner, int axis, double value) {
    double world[3];
    for (int a = 0; a < 3; ++a) world[a] = fit.Apply(a, (corner >> a) & 1 ? box.high[a] : box.low[a]);
    world[axis] = fit.Apply(axis, value);
    return OnScreen(viewProjection, world, graphics.config.Width, graphics.config.Height);
  };
  const Spot centre = spotOf(0, 0, (box.low[0] + box.high[0]) / 2);
  // Each edge's name beside its middle, on the side away from the box's centre; its ticks' values
  // beside them where they stay clear (the ends' values, round or not, when no round value fits).
  for (const LabelledEdge& edge : kLabelledEdges) {
    const Spot middle = spotOf(edge.lowCorner, edge.axis, (box.low[edge.axis] + box.high[edge.axis]) / 2);
    const std::string name = PrintableName(viewer::ColumnNameOf(lastReading.shape, edge.axis));
    DrawLabel(
        placer.Place(middle.x, middle.y, TextWidth(name) + 2, kLabelHeight, middle.x < centre.x, middle.y < centre.y),
        name);
    const viewer::RoundTicks ticks = viewer::RoundTicksOf(box.low[edge.axis], box.high[edge.axis]);
    const viewer::RangeEndTexts ends = viewer::RangeEndTextsOf(box.low[edge.axis], box.high[edge.axis]);
    for (int i = 0; i < std::max(ticks.count, 2); ++i) {
      const double value = ticks.count != 0 ? ticks.Value(i) : i == 0 ? box.low[edge.axis] : box.high[edge.axis];
      const std::string text = ticks.count != 0 ? viewer::RangeValueText(value) : i == 0 ? ends.low : ends.high;
      const Spot spot = spotOf(edge.lowCorner, edge.axis, value);
      if (spot.x < 0 || spot.y < 0 || spot.x >= width || spot.y >= height) continue;  // its tick is not shown
      if (const auto at = placer.PlaceIfClear(spot.x, spot.y, TextWidth(text) + 2, kLabelHeight, spot.x < centre.x,
                                              spot.y < centre.y)) {
        DrawLabel(*at, text);
      }
    }
  }
  DrawRowsOutsideLine(placer, width, height);
}

void ViewerScene::DrawRowsOutsideLine(viewer::LabelPlacer& placer, int32_t width, int32_t height) {
  const size_t drawn = dataX.empty() ? 0 : dataX.size() - 1;
  if (rowsOutsideRows_ != drawn) {
    rowsOutside_ = viewer::RowsOutsideOf(DrawnRowsBox(), dataX.data(), dataY.data(), dataZ.data(), drawn);
    rowsOutsideRows_ = drawn;
  }
  if (rowsOutside_.count == 0) return;
  std::string line = std::to_string(rowsOutside_.count) + (rowsOutside_.count == 1 ? " row lies" : " rows lie") +
                     " beyond the box. all:";
  for (int axis = 0; axis < 3; ++axis) {
    const viewer::RangeEndTexts ends =
        viewer::RangeEndTextsOf(rowsOutside_.whole.low[axis], rowsOutside_.whole.high[axis]);
    line += std::string(" ") + static_cast<char>('x' + axis) + " " + ends.low + ".." + ends.high;
  }
  // Above the readouts at the bottom, where the help and the readouts leave room.
  const int32_t y = std::max(0, height - std::min(kBarBottomMargin, height / 4));
  const viewer::LabelRect at = placer.Place(2, y, std::min(TextWidth(line) + 2, width), kLabelHeight, false, true);
  DrawLabel(at, line);
}
