// The full-screen window's display mode and the 60 Hz decision, over tables of the modes displays
// offer; and where the picture lands on a screen of another size, pixel by pixel.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/display_modes.h"
#include "platform/picture_fit.h"

namespace {

using platform::ChooseFullScreenMode;
using platform::DisplayMode;
using platform::PictureFit;

TEST(FullScreenMode, SixtyHertzIsHadInThePicturesOwnSizeElseInTheDesktopsModeOrNotAtAll) {
  struct Case {
    const char* what;
    std::vector<DisplayMode> offered;
    DisplayMode desktop;
    int wantedHz;
    std::optional<DisplayMode> uses;
  };
  const DisplayMode desktop60{1920, 1080, 60}, desktop75{1920, 1080, 75};
  const std::vector<Case> cases = {
      {"a 640 x 480 mode at 60 Hz", {desktop60, {640, 480, 60}}, desktop60, 60, DisplayMode{640, 480, 60}},
      {"59 Hz counts (59.94 Hz reported low)", {desktop75, {640, 480, 59}}, desktop75, 60, DisplayMode{640, 480, 59}},
      {"61 Hz counts", {desktop75, {640, 480, 61}}, desktop75, 60, DisplayMode{640, 480, 61}},
      {"the desktop's rate among several near 60", {{640, 480, 59}, {640, 480, 60}, desktop60}, desktop60, 60,
       DisplayMode{640, 480, 60}},
      {"no 640 x 480 mode: the desktop at 60 Hz, scaled", {desktop60, {800, 600, 60}}, desktop60, 60, desktop60},
      {"640 x 480 only at 75 Hz: the desktop at 60 Hz", {{640, 480, 75}, desktop60}, desktop60, 60, desktop60},
      {"58 Hz does not count", {{640, 480, 58}, {1920, 1080, 58}}, {1920, 1080, 58}, 60, std::nullopt},
      {"62 Hz does not count", {{640, 480, 62}, {1920, 1080, 62}}, {1920, 1080, 62}, 60, std::nullopt},
      {"an unknown rate is not 60 Hz", {{1024, 768, 0}}, {1024, 768, 0}, 60, std::nullopt},
      {"no rate asked: the picture's size at the desktop's rate", {{640, 480, 75}, {640, 480, 60}, desktop60},
       desktop60, 0, DisplayMode{640, 480, 60}},
      {"no rate asked: the picture's size at any rate", {{640, 480, 75}, desktop60}, desktop60, 0,
       DisplayMode{640, 480, 75}},
      {"no rate asked, no such size: the desktop, even of unknown rate", {{1024, 768, 0}}, {1024, 768, 0}, 0,
       DisplayMode{1024, 768, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<DisplayMode> uses = ChooseFullScreenMode(c.offered, c.desktop, 640, 480, c.wantedHz);
    ASSERT_EQ(uses.has_value(), c.uses.has_value());
    if (uses) {
      EXPECT_EQ(uses->width, c.uses->width);
      EXPECT_EQ(uses->height, c.uses->height);
      EXPECT_EQ(uses->refreshHz, c.uses->refreshHz);
    }
  }
}

TEST(PictureFit, FillsTheLargestCentredAreaOfTheSameAspectRatio) {
  struct Case {
    int pictureWidth, pictureHeight, screenWidth, screenHeight;
    int left, top, width, height;
  };
  for (const Case& c : {Case{640, 480, 1280, 720, 160, 0, 960, 720}, Case{640, 480, 1024, 768, 0, 0, 1024, 768},
                        Case{640, 480, 800, 700, 0, 50, 800, 600}, Case{640, 480, 1366, 768, 171, 0, 1024, 768},
                        Case{640, 480, 640, 480, 0, 0, 640, 480}, Case{800, 600, 640, 480, 0, 0, 640, 480}}) {
    SCOPED_TRACE(::testing::Message() << c.pictureWidth << "x" << c.pictureHeight << " on " << c.screenWidth << "x"
                                      << c.screenHeight);
    const PictureFit fit = PictureFit::Filling(c.pictureWidth, c.pictureHeight, c.screenWidth, c.screenHeight);
    EXPECT_EQ(fit.Left(), c.left);
    EXPECT_EQ(fit.Top(), c.top);
    EXPECT_EQ(fit.Width(), c.width);
    EXPECT_EQ(fit.Height(), c.height);
    EXPECT_EQ(fit.OneToOne(), c.width == c.pictureWidth && c.height == c.pictureHeight);
  }
}

TEST(PictureFit, EachScreenPixelShowsThePicturePixelUnderItsCentre) {
  struct Case {
    PictureFit fit;
    int pictureWidth, pictureHeight;
  };
  for (const Case& c : {Case{PictureFit::Filling(640, 480, 1280, 720), 640, 480},
                        Case{PictureFit::Filling(640, 480, 800, 700), 640, 480},
                        Case{PictureFit::Filling(800, 600, 640, 480), 800, 600},
                        Case{PictureFit::Scaled(640, 480, 3), 640, 480}}) {
    SCOPED_TRACE(::testing::Message() << c.fit.Width() << "x" << c.fit.Height());
    auto check = [](int screen, int picture, auto source) {
      int previous = 0;
      for (int i = 0; i < screen; ++i) {
        const double centre = (i + 0.5) * picture / screen;
        const int s = source(i);
        ASSERT_LE(s, centre);
        ASSERT_GT(s + 1, centre);
        ASSERT_GE(s, previous);
        previous = s;
      }
    };
    check(c.fit.Width(), c.pictureWidth, [&](int i) { return c.fit.ColumnSource(i); });
    check(c.fit.Height(), c.pictureHeight, [&](int i) { return c.fit.RowSource(i); });
    // A rectangle of picture columns is shown by exactly the screen columns whose source lies in it.
    int begin = 0, end = 0;
    c.fit.ColumnsShowing(100, 101, &begin, &end);
    ASSERT_LE(begin, end);
    for (int i = 0; i < c.fit.Width(); ++i)
      EXPECT_EQ(c.fit.ColumnSource(i) == 100, i >= begin && i < end) << "screen column " << i;
    c.fit.RowsShowing(0, c.pictureHeight, &begin, &end);
    EXPECT_EQ(begin, 0);
    EXPECT_EQ(end, c.fit.Height());
  }
}

}  // namespace
