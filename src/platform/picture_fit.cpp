#include "platform/picture_fit.h"

#include <algorithm>
#include <cstdint>

namespace platform {
namespace {

// For each of `screen` pixels along a side, the one of `picture` pixels whose span holds its centre.
std::vector<int> NearestSources(int picture, int screen) {
  std::vector<int> sources(static_cast<size_t>(std::max(screen, 0)));
  for (int i = 0; i < screen; ++i)
    sources[i] = static_cast<int>((2 * int64_t{i} + 1) * picture / (2 * int64_t{screen}));
  return sources;
}

void Showing(const std::vector<int>& sources, int first, int last, int* begin, int* end) {
  *begin = static_cast<int>(std::lower_bound(sources.begin(), sources.end(), first) - sources.begin());
  *end = static_cast<int>(std::lower_bound(sources.begin(), sources.end(), last) - sources.begin());
}

}  // namespace

PictureFit::PictureFit(int pictureWidth, int pictureHeight, int left, int top, int width, int height)
    : pictureWidth_(pictureWidth),
      pictureHeight_(pictureHeight),
      left_(left),
      top_(top),
      columnSource_(NearestSources(pictureWidth, width)),
      rowSource_(NearestSources(pictureHeight, height)) {}

PictureFit PictureFit::Filling(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || screenWidth <= 0 || screenHeight <= 0) return PictureFit();
  // The side that runs out first sets the size; the other is cut down to keep the ratio.
  int width = screenWidth, height = screenHeight;
  if (int64_t{screenWidth} * pictureHeight <= int64_t{screenHeight} * pictureWidth)
    height = static_cast<int>(int64_t{screenWidth} * pictureHeight / pictureWidth);
  else
    width = static_cast<int>(int64_t{screenHeight} * pictureWidth / pictureHeight);
  return PictureFit(pictureWidth, pictureHeight, (screenWidth - width) / 2, (screenHeight - height) / 2, width, height);
}

PictureFit PictureFit::Scaled(int pictureWidth, int pictureHeight, int scale) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || scale <= 0) return PictureFit();
  return PictureFit(pictureWidth, pictureHeight, 0, 0, pictureWidth * scale, pictureHeight * scale);
}

void PictureFit::ColumnsShowing(int first, int last, int* begin, int* end) const {
  Showing(columnSource_, first, last, begin, end);
}

void PictureFit::RowsShowing(int first, int last, int* begin, int* end) const {
  Showing(rowSource_, first, last, begin, end);
}

}  // namespace platform
