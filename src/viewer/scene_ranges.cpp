// The ranges on the picture (F8, key RANGES): a thin grey box of the drawn rows' robust box (the box
// the fit works from), three of its edges labelled at both ends with their values in the data's own
// units, and, with colour by height on, a colour bar at the picture's right edge with the low and
// high heights at its ends. The box is drawn where the rows are, so it is fitted with them; the
// labels are placed on the picture wherever their corners are, so they stay readable as the view turns.
#include <algorithm>
#include <cmath>
#include <string>

#include "graphics/direct_graphics.h"
#include "viewer/range_labels.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr D3DCOLOR kBoxColour = 0xFF808080u;
constexpr D3DCOLOR kLabelColour = 0xFFFFFFFFu;
// A label stands on the background's colour, so the rows behind it do not mix with its glyphs.
constexpr D3DCOLOR kLabelBacking = 0xFF140000u;
constexpr int32_t kGlyphPixels = 8;
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

D3DMATRIX Product(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX product{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) product.m[r][c] += a.m[r][k] * b.m[k][c];
  return product;
}

int32_t TextWidth(const std::string& text) { return static_cast<int32_t>(text.size()) * kGlyphPixels; }

}  // namespace

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
}

void ViewerScene::DrawRangeLabels() {
  DirectGraphics& graphics = *g_graphics;
  const viewer::RobustBox& box = DrawnRowsBox();
  int32_t width = 0, height = 0;
  PictureSize(&width, &height);
  viewer::LabelPlacer placer(width, height);
  const auto drawLabel = [&](const viewer::LabelRect& at, const std::string& text) {
    graphics.FillRect(at.left, at.top, at.right, at.bottom, kLabelBacking);
    DrawPictureText(at.left + 1, at.top + 1, text.c_str(), kLabelColour);
  };
  const int32_t labelHeight = kGlyphPixels + 2;  // a pixel of backing above and below

  // The colour bar first: the labels of the edges keep clear of it.
  const int32_t barRight = width - kBarMargin, barLeft = barRight - kBarWidth;
  const int32_t top = std::min(kBarTop, height / 4), bottom = height - std::min(kBarBottomMargin, height / 4);
  if (colourByHeight != 0 && barLeft >= 0 && bottom - top >= 2) {
    // Row by row from the high end at the top to the low end at the bottom, each in the map's colour
    // for its place, so the ends are exactly the colours of the highest and the lowest rows.
    for (int32_t y = top; y < bottom; ++y)
      graphics.FillRect(barLeft, y, barRight, y + 1,
                        viewer::MapColour(static_cast<double>(bottom - 1 - y) / (bottom - 1 - top)));
    placer.Reserve({barLeft, top, barRight, bottom});
    const viewer::RangeEndTexts heights = viewer::RangeEndTextsOf(box.low[2], box.high[2]);
    drawLabel(placer.Place(width, top, TextWidth(heights.high) + 2, labelHeight, true, true), heights.high);
    drawLabel(placer.Place(width, bottom, TextWidth(heights.low) + 2, labelHeight, true, false), heights.low);
  }

  D3DMATRIX view{}, projection{};
  graphics.device->GetTransform(D3DTS_VIEW, &view);
  graphics.device->GetTransform(D3DTS_PROJECTION, &projection);
  const D3DMATRIX viewProjection = Product(view, projection);
  const viewer::FitTransform fit = viewer::FitOf(box, static_cast<viewer::FitMode>(fitMode));
  const auto spotOf = [&](int corner) {
    double world[3];
    for (int axis = 0; axis < 3; ++axis)
      world[axis] = fit.Apply(axis, (corner >> axis) & 1 ? box.high[axis] : box.low[axis]);
    return OnScreen(viewProjection, world, graphics.config.Width, graphics.config.Height);
  };
  const double middle[3] = {fit.Apply(0, (box.low[0] + box.high[0]) / 2), fit.Apply(1, (box.low[1] + box.high[1]) / 2),
                            fit.Apply(2, (box.low[2] + box.high[2]) / 2)};
  const Spot centre = OnScreen(viewProjection, middle, graphics.config.Width, graphics.config.Height);
  // Each label on the side of its corner away from the box's centre, outside the box where it can be.
  for (const LabelledEdge& edge : kLabelledEdges) {
    const viewer::RangeEndTexts texts = viewer::RangeEndTextsOf(box.low[edge.axis], box.high[edge.axis]);
    for (const auto& [corner, text] : {std::pair{edge.lowCorner, texts.low}, std::pair{edge.highCorner, texts.high}}) {
      const Spot spot = spotOf(corner);
      drawLabel(placer.Place(spot.x, spot.y, TextWidth(text) + 2, labelHeight, spot.x < centre.x, spot.y < centre.y),
                text);
    }
  }
}
