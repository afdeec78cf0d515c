#include "viewer/range_labels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace viewer {
namespace {

constexpr int kSignificantDigits = 4;
constexpr int kExponentDigits = 2;
// Past this many more digits two ends that still read the same are left so: a double has no more.
constexpr int kMostMoreDigits = 13;
// Fixed form from here up to below kLargest; exponent form outside.
constexpr double kSmallest = 1e-3, kLargest = 1e5;
// Steps a label may move up or down to get clear of the others.
constexpr int kMostSteps = 12;
// Ticks on a range: at most this many, and as near this many as round steps allow.
constexpr int kMostTicks = 7, kBestTicks = 5;

// "1.500" → "1.5", "980.0" → "980", "1.0e+06" → "1e+06": zeros after the point say nothing here.
std::string WithoutTrailingZeros(std::string text) {
  const size_t point = text.find('.');
  if (point == std::string::npos) return text;
  const size_t exponent = text.find('e');
  const size_t end = exponent == std::string::npos ? text.size() : exponent;
  size_t keep = end;
  while (keep > point + 1 && text[keep - 1] == '0') --keep;
  if (keep == point + 1) keep = point;
  return text.erase(keep, end - keep);
}

}  // namespace

std::string RangeValueText(double value, int moreDigits) {
  if (value == 0.0) return "0";  // and -0
  char text[64];
  const double magnitude = std::fabs(value);
  if (!std::isfinite(value) || magnitude >= kLargest || magnitude < kSmallest) {
    std::snprintf(text, sizeof text, "%.*e", kExponentDigits - 1 + moreDigits, value);
  } else {
    const int wholeDigits = static_cast<int>(std::floor(std::log10(magnitude))) + 1;
    const int decimals = std::max(0, kSignificantDigits + moreDigits - wholeDigits);
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
  }
  return WithoutTrailingZeros(text);
}

RangeEndTexts RangeEndTextsOf(double low, double high) {
  RangeEndTexts texts{RangeValueText(low), RangeValueText(high)};
  for (int more = 1; texts.low == texts.high && low != high && more <= kMostMoreDigits; ++more)
    texts = {RangeValueText(low, more), RangeValueText(high, more)};
  return texts;
}

RoundTicks RoundTicksOf(double low, double high) {
  RoundTicks best;
  const double span = high - low;
  if (!(span > 0) || !std::isfinite(span)) return best;
  const int decade = static_cast<int>(std::floor(std::log10(span)));
  for (int k = decade - 2; k <= decade; ++k) {
    for (const double mantissa : {1.0, 2.0, 5.0}) {
      const double step = mantissa * std::pow(10.0, k);
      const double first = std::ceil(low / step - 1e-9), last = std::floor(high / step + 1e-9);
      if (!(std::fabs(first) < 1e15 && std::fabs(last) < 1e15)) continue;  // multiples no int64 counts
      const int count = static_cast<int>(last - first) + 1;
      if (count < 1 || count > kMostTicks) continue;
      const bool better = best.count == 0 || std::abs(count - kBestTicks) <= std::abs(best.count - kBestTicks);
      if (better) best = RoundTicks{step, static_cast<int64_t>(first), count};
    }
  }
  return best;
}

LabelRect LabelPlacer::OnPicture(int32_t left, int32_t top, int32_t w, int32_t h) const {
  // A label wider than the picture keeps its left end on it.
  left = std::max(0, std::min(left, width_ - w));
  top = std::max(0, std::min(top, height_ - h));
  return LabelRect{left, top, left + w, top + h};
}

bool LabelPlacer::Free(const LabelRect& rect) const {
  return std::none_of(placed_.begin(), placed_.end(), [&](const LabelRect& p) { return p.Overlaps(rect); });
}

LabelRect LabelPlacer::Beside(double x, double y, int32_t w, int32_t h, bool leftOf, bool above) const {
  constexpr int32_t kGap = 3;  // pixels between the point and the label
  // Far beyond the picture (a corner behind the eye, say) it is simply at the edge.
  const double limit = 4.0 * (std::max(width_, height_) + w + h);
  x = std::clamp(std::isnan(x) ? 0.0 : x, -limit, limit);
  y = std::clamp(std::isnan(y) ? 0.0 : y, -limit, limit);
  const int32_t left = static_cast<int32_t>(std::lround(leftOf ? x - kGap - w : x + kGap));
  const int32_t top = static_cast<int32_t>(std::lround(above ? y - kGap - h : y + kGap));
  return OnPicture(left, top, w, h);
}

std::optional<LabelRect> LabelPlacer::PlaceIfClear(double x, double y, int32_t w, int32_t h, bool leftOf,
                                                   bool above) {
  const LabelRect rect = Beside(x, y, w, h, leftOf, above);
  if (!Free(rect)) return std::nullopt;
  placed_.push_back(rect);
  return rect;
}

LabelRect LabelPlacer::Place(double x, double y, int32_t w, int32_t h, bool leftOf, bool above) {
  const LabelRect first = Beside(x, y, w, h, leftOf, above);
  LabelRect chosen = first;
  // Nearest first: one step away from the point, then one the other way, then two ...
  for (int step = 1; !Free(chosen) && step <= kMostSteps; ++step) {
    const int32_t direction = above ? -1 : 1;
    const LabelRect away = OnPicture(first.left, first.top + direction * step * h, w, h);
    const LabelRect back = OnPicture(first.left, first.top - direction * step * h, w, h);
    chosen = Free(away) ? away : Free(back) ? back : first;
  }
  placed_.push_back(chosen);
  return chosen;
}

}  // namespace viewer
