// The range labels' texts and places.
#include "viewer/range_labels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(RangeLabels, ValuesReadShortInTheDataUnits) {
  struct Case {
    double value;
    std::string text;
  };
  const Case cases[] = {
      {-1234567, "-1.2e+06"}, {35.4123, "35.41"}, {980, "980"},      {980.04, "980"},
      {12345.6, "12346"},     {99999.4, "99999"}, {100000, "1e+05"}, {0.0012345, "0.001234"},
      {0.00099, "9.9e-04"},   {-0.5, "-0.5"},     {0.0, "0"},        {-0.0, "0"},
      {999.96, "1000"},       {1.0, "1"},         {-3e-7, "-3e-07"}, {6.02e23, "6e+23"},
  };
  for (const Case& c : cases) EXPECT_EQ(viewer::RangeValueText(c.value), c.text) << c.value;
}

TEST(RangeLabels, TheEndsOfAnEdgeGetTheDigitsThatTellThemApart) {
  struct Case {
    double low, high;
    std::string lowText, highText;
  };
  const Case cases[] = {
      {35.41, 47.5, "35.41", "47.5"},
      {35.4121, 35.4124, "35.4121", "35.4124"},
      {1.2001e6, 1.2004e6, "1.2001e+06", "1.2004e+06"},
      {7, 7, "7", "7"},  // a flat side: one value
  };
  for (const Case& c : cases) {
    const viewer::RangeEndTexts texts = viewer::RangeEndTextsOf(c.low, c.high);
    EXPECT_EQ(texts.low, c.lowText);
    EXPECT_EQ(texts.high, c.highText);
  }
}

TEST(RangeLabels, RangesGetThreeToSevenTicksAtRoundSteps) {
  struct Case {
    double low, high, step, first;
    int count;
  };
  const Case cases[] = {
      {0, 1, 0.2, 0, 6},
      {35.41, 47.5, 2, 36, 6},
      {980, 1020, 10, 980, 5},
      {-1234567, 3456789, 1e6, -1e6, 5},
      {0.001, 0.0093, 0.002, 0.002, 4},
      {-20.62, -10.1, 2, -20, 5},
      {7, 7, 0, 0, 0},
      {-1.7e308, 1.7e308, 0, 0, 0},  // no range, and one beyond the doubles
  };
  for (const Case& c : cases) {
    const viewer::RoundTicks ticks = viewer::RoundTicksOf(c.low, c.high);
    EXPECT_EQ(ticks.count, c.count) << c.low << ".." << c.high;
    if (c.count == 0) continue;
    EXPECT_DOUBLE_EQ(ticks.step, c.step) << c.low << ".." << c.high;
    EXPECT_DOUBLE_EQ(ticks.Value(0), c.first) << c.low << ".." << c.high;
    EXPECT_LE(ticks.Value(ticks.count - 1), c.high);
  }
}

TEST(RangeLabels, LabelsStayOnThePictureAndClearOfEachOther) {
  viewer::LabelPlacer placer(640, 480);
  // Points on the picture, far off each side, behind the eye (huge), and all on one spot.
  const double points[][2] = {{320, 240}, {-5000, 100}, {9000, 9000}, {1e30, -1e30}, {600, 5}, {600, 5}, {600, 5}};
  std::vector<viewer::LabelRect> rects;
  for (const auto& p : points) rects.push_back(placer.Place(p[0], p[1], 66, 10, p[0] > 320, p[1] > 240));
  for (size_t i = 0; i < rects.size(); ++i) {
    const viewer::LabelRect& r = rects[i];
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 640 && r.bottom <= 480) << i;
    EXPECT_EQ(r.right - r.left, 66);
    for (size_t j = 0; j < i; ++j) EXPECT_FALSE(r.Overlaps(rects[j])) << i << " and " << j;
  }
  // Beside the point: left and above when asked, with a gap of three pixels.
  viewer::LabelPlacer fresh(640, 480);
  const viewer::LabelRect r = fresh.Place(300, 200, 20, 10, true, true);
  EXPECT_EQ(r.right, 297);
  EXPECT_EQ(r.bottom, 197);
}

}  // namespace
