// Where a picture goes on a screen of another size, nearest-pixel: the largest size that keeps its
// aspect ratio, centred (the full-screen window); or a whole number of screen pixels a side for
// each picture pixel (a scaled window). Each screen pixel shows the picture pixel whose span holds
// its centre. Paired with picture_fit.cpp; the SDL window presents through it.
#pragma once

#include <vector>

namespace platform {

class PictureFit {
 public:
  PictureFit() = default;
  // The `pictureWidth` × `pictureHeight` picture as large as the screen allows, centred.
  static PictureFit Filling(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight);
  // Each picture pixel `scale` × `scale` screen pixels, from the screen's top-left corner.
  static PictureFit Scaled(int pictureWidth, int pictureHeight, int scale);

  int PictureWidth() const { return pictureWidth_; }
  int PictureHeight() const { return pictureHeight_; }
  // The screen rectangle the picture covers.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return static_cast<int>(columnSource_.size()); }
  int Height() const { return static_cast<int>(rowSource_.size()); }
  // One screen pixel a picture pixel: a present is a plain copy.
  bool OneToOne() const { return Width() == pictureWidth_ && Height() == pictureHeight_; }
  // The picture column (row) that screen column (row) Left() + i (Top() + i) shows.
  int ColumnSource(int i) const { return columnSource_[i]; }
  int RowSource(int i) const { return rowSource_[i]; }
  // The screen columns (rows), counted from Left() (Top()), that show picture columns (rows)
  // [first, last): [*begin, *end).
  void ColumnsShowing(int first, int last, int* begin, int* end) const;
  void RowsShowing(int first, int last, int* begin, int* end) const;

 private:
  PictureFit(int pictureWidth, int pictureHeight, int left, int top, int width, int height);

  int pictureWidth_ = 0, pictureHeight_ = 0;
  int left_ = 0, top_ = 0;
  std::vector<int> columnSource_, rowSource_;
};

}  // namespace platform
