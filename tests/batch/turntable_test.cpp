// The turntable's file names, angles and the sharing of pictures among workers.
#include "batch/turntable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(TurntableNames, NumberThePicturesAfterTheOutputsStem) {
  EXPECT_EQ(batch::TurntableFileName("spin.png", 0, 36), "spin-000.png");
  EXPECT_EQ(batch::TurntableFileName("out/spin.PNG", 35, 36), "out/spin-035.png");
  EXPECT_EQ(batch::TurntableFileName("spin", 7, 36), "spin-007.png") << "no .png to strip";
  EXPECT_EQ(batch::TurntableFileName("a.png.png", 1, 2), "a.png-001.png");
  EXPECT_EQ(batch::TurntableFileName("png", 1, 2), "png-001.png");
}

TEST(TurntableNames, UseMoreDigitsOnlyWhenTheCountNeedsThem) {
  EXPECT_EQ(batch::TurntableFileName("t.png", 999, 1000), "t-999.png");
  EXPECT_EQ(batch::TurntableFileName("t.png", 5, 1001), "t-0005.png");
  EXPECT_EQ(batch::TurntableFileName("t.png", 1000, 1001), "t-1000.png");
  // Every name of a long turntable is distinct.
  std::set<std::string> names;
  for (int i = 0; i < 1500; ++i) names.insert(batch::TurntableFileName("t.png", i, 1500));
  EXPECT_EQ(names.size(), 1500u);
}

TEST(TurntableAngles, StartAtTheViewsThetaAndTurnByAnEqualShareOfTheCircle) {
  EXPECT_DOUBLE_EQ(batch::TurntableTheta(45.0, 0, 4), 45.0);
  EXPECT_DOUBLE_EQ(batch::TurntableTheta(45.0, 1, 4), 135.0);
  EXPECT_DOUBLE_EQ(batch::TurntableTheta(45.0, 3, 4), 315.0);
  EXPECT_DOUBLE_EQ(batch::TurntableTheta(300.0, 1, 3), 60.0) << "kept within the circle";
  EXPECT_DOUBLE_EQ(batch::TurntableTheta(-10.0, 1, 36), 0.0);
  EXPECT_DOUBLE_EQ(batch::TurntableTheta(-100.0, 1, 4), 350.0);
  // Picture 0 is the single picture exactly, whatever the start (the viewer shows an unwrapped THETA too).
  EXPECT_DOUBLE_EQ(batch::TurntableTheta(4294967295.0, 0, 36), 4294967295.0);
}

TEST(TurntableWorkers, DrawEveryPictureExactlyOnce) {
  for (int workers : {1, 2, 3, 7}) {
    for (int count : {1, 5, 36}) {
      for (int i = 0; i < count; ++i) {
        int drawers = 0;
        for (int w = 0; w < workers; ++w) drawers += batch::DrawnBy(i, w, workers);
        EXPECT_EQ(drawers, 1) << "picture " << i << " of " << count << " with " << workers << " workers";
      }
    }
  }
}

}  // namespace
