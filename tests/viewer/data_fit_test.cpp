// The robust box, the fit it gives, and the height colours: what F6 and F7 draw with.
#include "viewer/data_fit.h"

#include <gtest/gtest.h>

#include <limits>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

namespace {

using viewer::FitMode;
using viewer::FitOf;
using viewer::HeightColour;
using viewer::RobustBox;
using viewer::RobustBoxOf;

struct Columns {
  std::vector<double> x, y, z;
  void Add(double a, double b, double c) {
    x.push_back(a);
    y.push_back(b);
    z.push_back(c);
  }
  RobustBox Box() const { return RobustBoxOf(x.data(), y.data(), z.data(), x.size()); }
};

TEST(DataFit, TheBoxLeavesOutAHeaderRowAndAFewStrayPoints) {
  Columns rows;
  rows.Add(0, 0, 0);  // a header line read as a row
  for (int i = 0; i < 10000; ++i) rows.Add(5000 + i % 100, -3000 - i % 50, 800 + i % 10);
  for (int i = 0; i < 5; ++i) rows.Add(1e9, -1e9, 1e12);  // strays
  // Rows that read as infinity, far more than the share the percentiles leave out: not in the box.
  const double inf = std::numeric_limits<double>::infinity();
  for (int i = 0; i < 300; ++i) rows.Add(i % 3 ? 1.0 : inf, i % 3 == 1 ? -inf : 2.0, i % 3 == 2 ? inf : 3.0);
  const RobustBox box = rows.Box();
  EXPECT_EQ(box.low[0], 5000);
  EXPECT_EQ(box.high[0], 5099);
  EXPECT_EQ(box.low[1], -3049);
  EXPECT_EQ(box.high[1], -3000);
  EXPECT_EQ(box.low[2], 800);
  EXPECT_EQ(box.high[2], 809);
  // The rows it leaves out are counted (the header row and the strays, not the infinite ones), and
  // the whole box holds them.
  const viewer::RowsOutside outside = viewer::RowsOutsideOf(box, rows.x.data(), rows.y.data(), rows.z.data(),
                                                            rows.x.size());
  EXPECT_EQ(outside.count, 6u);
  EXPECT_EQ(outside.whole.low[1], -1e9);
  EXPECT_EQ(outside.whole.high[2], 1e12);
}

TEST(DataFit, TheBoxOfMillionsOfRowsIsTheBoxOfEveryRowSorted) {
  // Past a few tens of thousands of rows the box's ends are picked from candidates beyond limits
  // that a sample sets; whatever the rows hold, the box is the one every row sorted gives.
  constexpr std::size_t kRows = 150000;
  constexpr double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  struct Shape {
    const char* name;
    double (*value)(std::size_t i, int axis);
  };
  const Shape shapes[] = {
      {"scattered",
       [](std::size_t i, int axis) { return std::sin(static_cast<double>(i) * (0.7 + axis)) * 1e3 * (axis + 1); }},
      {"rising", [](std::size_t i, int axis) { return static_cast<double>(i) * (axis - 1); }},
      {"two values", [](std::size_t i, int axis) { return (i + axis) % 3 == 0 ? -1.0 : 7.0; }},
      // The rows a sample looks at (every fourth) spread far wider than all others: the limits it sets
      // hold too few rows to reach the box's ends.
      {"sampled rows apart",
       [](std::size_t i, int axis) {
         return i % 4 == 0 ? (static_cast<double>(i) - 75000.0) * (axis + 1) : std::sin(static_cast<double>(i));
       }},
      {"one value", [](std::size_t, int) { return 42.0; }},
      {"strays and non-finite rows",
       [](std::size_t i, int axis) {
         if (i % 997 == 0) return axis == 1 ? inf : 1.0;
         if (i % 1009 == 0) return axis == 2 ? nan : 1.0;
         if (i % 211 == 0) return axis == 0 ? 1e300 : -1e300;
         return static_cast<double>((i * 7919) % 100003) - 50000.0;
       }},
  };
  for (const Shape& shape : shapes) {
    Columns rows;
    for (std::size_t i = 0; i < kRows; ++i) rows.Add(shape.value(i, 0), shape.value(i, 1), shape.value(i, 2));
    // The box from every finite row sorted.
    RobustBox expected;
    for (int axis = 0; axis < 3; ++axis) {
      std::vector<double> sorted;
      for (std::size_t i = 0; i < kRows; ++i)
        if (std::isfinite(rows.x[i]) && std::isfinite(rows.y[i]) && std::isfinite(rows.z[i]))
          sorted.push_back((axis == 0 ? rows.x : axis == 1 ? rows.y : rows.z)[i]);
      std::sort(sorted.begin(), sorted.end());
      const double last = static_cast<double>(sorted.size() - 1);
      expected.low[axis] = sorted[static_cast<std::size_t>(std::floor(0.001 * last))];
      expected.high[axis] = sorted[static_cast<std::size_t>(std::ceil(0.999 * last))];
    }
    const RobustBox box = rows.Box();
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_EQ(box.low[axis], expected.low[axis]) << shape.name << ", axis " << axis;
      EXPECT_EQ(box.high[axis], expected.high[axis]) << shape.name << ", axis " << axis;
    }
  }
}

TEST(DataFit, FitsCentreTheBoxAndScaleItToTheFramedSpan) {
  RobustBox box;
  box.low[0] = 4000, box.high[0] = 6000;  // side 2000
  box.low[1] = -3500, box.high[1] = -2500;  // side 1000
  box.low[2] = 800, box.high[2] = 800;  // flat
  struct Case {
    FitMode mode;
    double scale[3];
  };
  const Case cases[] = {
      {FitMode::Off, {1, 1, 1}},
      {FitMode::Uniform, {0.1, 0.1, 0.1}},  // the largest side spans 200
      {FitMode::EachAxis, {0.1, 0.2, 1}},   // a flat side keeps its scale
  };
  for (const Case& c : cases) {
    const viewer::FitTransform fit = FitOf(box, c.mode);
    for (int axis = 0; axis < 3; ++axis) EXPECT_DOUBLE_EQ(fit.scale[axis], c.scale[axis]) << int(c.mode) << axis;
    if (c.mode == FitMode::Off) {
      EXPECT_EQ(fit.Apply(0, 4000), 4000);
      continue;
    }
    EXPECT_DOUBLE_EQ(fit.Apply(0, 5000), 0) << "centred";
    EXPECT_DOUBLE_EQ(fit.Apply(1, -3000), 0);
    EXPECT_DOUBLE_EQ(fit.Apply(0, 6000) - fit.Apply(0, 4000), 200);
  }
  // Every side flat (a single point): nothing is scaled.
  RobustBox point;
  EXPECT_EQ(FitOf(point, FitMode::Uniform).scale[0], 1);
  // Sides at the ends of double's range: one whose width overflows, one whose factor would.
  RobustBox extreme;
  extreme.low[0] = -1.7e308, extreme.high[0] = 1.7e308;
  extreme.low[1] = 1e-318, extreme.high[1] = 3e-318;
  const viewer::FitTransform each = FitOf(extreme, FitMode::EachAxis);
  EXPECT_DOUBLE_EQ(each.Apply(0, 1.7e308), 100);
  EXPECT_DOUBLE_EQ(each.Apply(0, -1.7e308), -100);
  EXPECT_DOUBLE_EQ(each.Apply(1, 3e-318), 100);
  EXPECT_NEAR(each.Apply(1, 2e-318), 0, 1e-2);  // the middle, to the denormals' steps
}

// Relative luminance of an sRGB colour (each channel linearised), as contrast ratios are defined.
double RelativeLuminance(uint32_t colour) {
  auto linear = [](uint32_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear((colour >> 16) & 0xFF) + 0.7152 * linear((colour >> 8) & 0xFF) +
         0.0722 * linear(colour & 0xFF);
}

double ContrastRatio(uint32_t a, uint32_t b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(DataFit, HeightColoursRunFromVioletToYellowAndClampOutsideTheBox) {
  RobustBox box;
  box.low[2] = -10, box.high[2] = 30;
  EXPECT_EQ(HeightColour(box, -10), 0xFF834695u);
  EXPECT_EQ(HeightColour(box, 30), 0xFFFDE725u);
  EXPECT_EQ(HeightColour(box, -1e300), HeightColour(box, -10));
  EXPECT_EQ(HeightColour(box, 1e300), HeightColour(box, 30));
  EXPECT_EQ(HeightColour(box, std::nan("")), HeightColour(box, -10));
  // Perceptual: brighter with height, and many distinct colours across the range.
  std::set<uint32_t> colours;
  double lastLight = -1;
  for (int i = 0; i <= 40; ++i) {
    const uint32_t c = HeightColour(box, -10 + i);
    colours.insert(c);
    const double light = RelativeLuminance(c);
    EXPECT_GT(light, lastLight) << i;
    lastLight = light;
  }
  EXPECT_GE(colours.size(), 30u);
  RobustBox flat;
  EXPECT_EQ(HeightColour(flat, 5), HeightColour(flat, -5)) << "a flat box takes the middle colour";
}

TEST(DataFit, EveryHeightColourStandsOutFromTheBackground) {
  constexpr uint32_t kBackground = 0xFF140000u;
  RobustBox box;
  box.low[2] = 0, box.high[2] = 1;
  // 3 : 1 is the least contrast at which a small mark on a background is still seen.
  for (int i = 0; i <= 256; ++i) {
    const uint32_t c = HeightColour(box, i / 256.0);
    EXPECT_GE(ContrastRatio(c, kBackground), 3.0) << std::hex << c;
  }
}

}  // namespace
