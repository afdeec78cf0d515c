// The texts and places of the range labels: the values at the ends of the box's edges and of the
// colour bar, written short in the data's own units, and their spots on the picture, kept on it and
// apart from each other however the view turns. Nothing here draws. Paired with range_labels.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace viewer {

// A value in about four significant digits: "35.41", "980", "12346", "0.001234"; beyond 1e5 or
// below 1e-3 in exponent form with two, "-1.2e+06", "3e-07". Trailing zeros go; 0 is "0".
// `moreDigits` adds significant digits to either form.
std::string RangeValueText(double value, int moreDigits = 0);

// The texts of an edge's two ends: as short as RangeValueText makes them, with more digits only where
// the two would otherwise read the same although the values differ.
struct RangeEndTexts {
  std::string low, high;
};
RangeEndTexts RangeEndTextsOf(double low, double high);

// Round values to mark on a range: the multiples of a step of 1, 2 or 5 × 10^k within [low, high], 3
// to 7 of them where the range allows (the count nearest 5 wins, ties the larger step). None when the
// range is empty or not finite, or its values lie too far from 0 for their step to count them.
struct RoundTicks {
  double step = 0;
  int64_t firstMultiple = 0;
  int count = 0;
  double Value(int i) const { return static_cast<double>(firstMultiple + i) * step; }
};
RoundTicks RoundTicksOf(double low, double high);

// A rectangle on the picture in pixels, [left, right) × [top, bottom).
struct LabelRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Overlaps(const LabelRect& other) const {
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
};

// Places labels one after another on a picture of `width` × `height` pixels: each wholly on it (as far
// as it fits at all) and, where it can be, clear of the ones placed before.
class LabelPlacer {
 public:
  LabelPlacer(int32_t width, int32_t height) : width_(width), height_(height) {}

  // A label of `w` × `h` pixels beside the point (x, y): to its left when `leftOf`, else to its right;
  // above it when `above`, else below; then moved onto the picture, and up or down in steps of its
  // height until it overlaps nothing placed so far (or stays where it was put when every step does).
  LabelRect Place(double x, double y, int32_t w, int32_t h, bool leftOf, bool above);
  // A label beside the point as Place puts it first, kept only where it overlaps nothing placed so far:
  // a tick's value moved away from its tick would misread.
  std::optional<LabelRect> PlaceIfClear(double x, double y, int32_t w, int32_t h, bool leftOf, bool above);
  // Keeps `rect` clear from the labels placed after it.
  void Reserve(const LabelRect& rect) { placed_.push_back(rect); }

 private:
  LabelRect OnPicture(int32_t left, int32_t top, int32_t w, int32_t h) const;
  LabelRect Beside(double x, double y, int32_t w, int32_t h, bool leftOf, bool above) const;
  bool Free(const LabelRect& rect) const;

  int32_t width_, height_;
  std::vector<LabelRect> placed_;
};

}  // namespace viewer
