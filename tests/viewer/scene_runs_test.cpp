// Past the default row limit the scene hands the device runs of rows instead of a call per row: the
// same rows must give the same bytes either way, whatever the rows hold and however they are seen,
// on one drawing thread and on two.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "scene_fixture.h"

namespace viewertest {
namespace {

// 200 000 rows and some, scattered over the view: repeated rows, rows far outside the view, a far
// row (its segments go through the far-line chords), and rows that fall on one pixel, where the
// later row must cover the earlier.
std::string ScatteredRows() {
  std::string rows;
  char line[96];
  for (int i = 0; i < 200000; ++i) {
    const double x = 70 * std::sin(i * 0.7), y = 70 * std::cos(i * 1.1), z = 60 * std::sin(i * 1.3);
    if (i == 120000) rows += "1e9,5,5\n";
    else if (i % 5003 == 0 && i < 60000) rows += "-3e4,2e4,7000\n";  // later blocks of rows have none
    else if (i % 4001 == 0) rows += "0.5,0.5,0.5\n";
    std::snprintf(line, sizeof line, "%.6f,%.6f,%.6f\n", x, y, z);
    rows += line;
    if (i % 997 == 0) rows += line;
  }
  return rows;
}

class SceneRuns : public SceneTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    setenv("SCATTERVIEW_THREADS", std::to_string(GetParam()).c_str(), 1);
    SceneTest::SetUp();
  }
  void TearDown() override {
    SceneTest::TearDown();
    unsetenv("SCATTERVIEW_THREADS");
  }
  std::vector<uint32_t> Picture() {
    log->Clear();
    scene->Draw();
    int w = 0, h = 0;
    const uint32_t* p = graphics->device->BackBufferPixels(&w, &h);
    return std::vector<uint32_t>(p, p + w * h);
  }
};

TEST_P(SceneRuns, RunsOfRowsDrawTheBytesOfACallPerRow) {
  WriteData(ScatteredRows());
  Open(Layers{.hardTl = 1}, "[CONFIG]\nSHOWHINT=0\n");
  scene->SetRowLimit(300000);
  StartScene();
  scene->LoadData();
  graphics->SetRenderStates(false);
  ASSERT_GT(scene->dataX.size(), 200000u);

  struct View {
    const char* name;
    int32_t lineMode, fitMode, colourByHeight, hardTl;
    double theta, r;
    int32_t z;
  };
  const View views[] = {
      {"points", 0, 0, 0, 0, 45, 250, 150},
      {"buffer points", 0, 0, 0, 1, 45, 250, 150},
      {"coloured points", 0, 0, 1, 0, 45, 250, 150},
      {"fitted coloured buffer points", 0, 2, 1, 1, 45, 250, 150},
      {"polyline", 1, 0, 0, 0, 45, 250, 150},
      {"coloured polyline", 1, 0, 1, 0, 45, 250, 150},
      {"fitted polyline", 1, 1, 0, 0, 45, 250, 150},
      {"close-up coloured polyline", 1, 0, 1, 0, 37, 40, 20},
      {"close-up points from inside", 0, 0, 1, 0, 200, 10, 0},
  };
  for (const View& v : views) {
    scene->lineMode = v.lineMode, scene->fitMode = v.fitMode, scene->colourByHeight = v.colourByHeight;
    scene->cameraTheta = v.theta, scene->cameraR = v.r, scene->cameraZ = v.z;
    graphics->config.HARD_TL = v.hardTl;

    scene->perRowCallRows = 150000;
    const std::vector<uint32_t> inRuns = Picture();
    const size_t runCalls = log->CountStartingWith("DrawPrimitiveUP(");
    scene->perRowCallRows = SIZE_MAX;
    const std::vector<uint32_t> perRow = Picture();
    const size_t rowCalls = log->CountStartingWith("DrawPrimitiveUP(") + log->CountStartingWith("DrawPrimitive(");

    EXPECT_LT(runCalls, 200u) << v.name;
    EXPECT_GT(rowCalls, 200000u) << v.name;
    size_t drawn = 0, differ = 0;
    for (size_t i = 0; i < perRow.size(); ++i) {
      drawn += perRow[i] != kBackground;
      differ += perRow[i] != inRuns[i];
    }
    EXPECT_GT(drawn, 2000u) << v.name << ": the rows are drawn at all";
    EXPECT_EQ(differ, 0u) << v.name << ": pixels differ between runs and a call per row";
  }
}

INSTANTIATE_TEST_SUITE_P(DrawingThreads, SceneRuns, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

}  // namespace
}  // namespace viewertest
