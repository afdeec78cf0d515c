// The scene draws its rows from one vertex buffer: the same rows must give the bytes of a DrawPoint or
// DrawLine call per row, whatever the rows hold and however they are seen, on one drawing thread and
// on two, and the buffer must follow the rows, the mode, the fit and the colours as they change.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "scene_fixture.h"
#include "viewer/data_fit.h"

namespace viewertest {
namespace {

// 200 000 rows and some, scattered over the view: repeated rows, rows far outside the view, a far
// row (its segments are drawn as chords near the eye), and rows that fall on one pixel, where the
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

class RowBuffer : public SceneTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    setenv("SCATTERVIEW_THREADS", std::to_string(GetParam()).c_str(), 1);
    SceneTest::SetUp();
  }
  void TearDown() override {
    SceneTest::TearDown();
    unsetenv("SCATTERVIEW_THREADS");
  }
  // The scene's picture without axes, ranges or text, drawn a device call a row: the origin point, then
  // each row as a point, or a segment to the next row in the row's colour.
  std::vector<uint32_t> PerRowPicture() {
    const ViewerScene& s = *scene;
    const size_t drawn = s.dataX.size() - 1;
    const viewer::RobustBox box = viewer::RobustBoxOf(s.dataX.data(), s.dataY.data(), s.dataZ.data(), drawn);
    const viewer::FitTransform fit = viewer::FitOf(box, static_cast<viewer::FitMode>(s.fitMode));
    graphics->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground);
    graphics->device->BeginScene();
    const double angle = s.cameraTheta * 3.141592 / 180.0;
    graphics->SetCamera(static_cast<float>(std::cos(angle) * s.cameraR),
                        static_cast<float>(std::sin(angle) * s.cameraR), static_cast<float>(s.cameraZ), 0, 0, 0, 0, 0,
                        1, 0, 1000, false);
    graphics->DrawPoint(0, 0, 0, kBlack);
    auto at = [&](size_t i, int axis) {
      const double* column[3] = {s.dataX.data(), s.dataY.data(), s.dataZ.data()};
      return fit.Apply(axis, column[axis][i]);
    };
    // Coloured by a column: the map over the column's own robust range.
    const double* c = s.dataColour.data();
    const viewer::RobustBox byColumn = viewer::RobustBoxOf(c, c, c, s.dataColour.empty() ? 0 : drawn);
    const double span = byColumn.high[0] - byColumn.low[0];
    for (size_t i = 0; i + (s.lineMode != 0) < drawn; ++i) {
      uint32_t colour = s.colourByHeight != 0 ? viewer::HeightColour(box, s.dataZ[i]) : kWhite;
      if (s.colourByHeight != 0 && !s.dataColour.empty())
        colour = viewer::MapColour(span > 0 ? (c[i] - byColumn.low[0]) / span : 0.5);
      if (s.lineMode != 0)
        graphics->DrawLine(at(i, 0), at(i, 1), at(i, 2), at(i + 1, 0), at(i + 1, 1), at(i + 1, 2), colour);
      else graphics->DrawPoint(at(i, 0), at(i, 1), at(i, 2), colour);
    }
    graphics->device->EndScene();
    return BackBuffer();
  }
  // The scene's own picture and the per-row one: equal, and with rows on them.
  void ExpectThePerRowPicture(const char* name) {
    scene->Draw();
    const std::vector<uint32_t> fromBuffer = BackBuffer();
    const std::vector<uint32_t> perRow = PerRowPicture();
    size_t drawn = 0, differ = 0;
    for (size_t i = 0; i < perRow.size(); ++i) {
      drawn += perRow[i] != kBackground;
      differ += perRow[i] != fromBuffer[i];
    }
    EXPECT_GT(drawn, 2000u) << name << ": the rows are drawn at all";
    EXPECT_EQ(differ, 0u) << name << ": pixels differ between the buffer and a call per row";
  }
};

TEST_P(RowBuffer, TheRowBufferDrawsTheBytesOfACallPerRowAndFollowsTheView) {
  WriteData(ScatteredRows());
  Open(Layers{.hardTl = 1}, "[CONFIG]\nSHOWHINT=0\nSHOWAXIS=0\n");
  scene->SetRowLimit(300000);
  StartScene();
  scene->LoadData();
  graphics->SetRenderStates(false);
  ASSERT_GT(scene->dataX.size(), 200000u);

  // In this order, so that the mode, the fit and the colours each change between rows (F2, F6, F7).
  struct View {
    const char* name;
    int32_t lineMode, fitMode, colourByHeight, hardTl;
    double theta, r;
    int32_t z;
  };
  const View views[] = {
      {"points", 0, 0, 0, 0, 45, 250, 150},
      {"points, HARD_TL 1", 0, 0, 0, 1, 45, 250, 150},
      {"coloured points", 0, 0, 1, 0, 45, 250, 150},
      {"fitted coloured points", 0, 2, 1, 1, 45, 250, 150},
      {"fitted coloured polyline", 1, 2, 1, 0, 45, 250, 150},
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
    ExpectThePerRowPicture(v.name);
  }
  // Other rows in the file dropped on the window (read again as F9 reads it) replace the buffer's.
  const std::string rows = ScatteredRows();
  WriteData("5,5,5\n-40,30,20\n" + rows.substr(0, rows.find('\n', 2000000) + 1));
  ++g_dataDrops;
  scene->RunFrame();
  ASSERT_EQ(scene->dataX[1], -40);
  ExpectThePerRowPicture("rows read again");
  // A fourth column colours the rows; a row without a number there is left out.
  std::string coloured;
  for (int i = 0; i < 20000; ++i)
    coloured += std::to_string(70 * std::sin(i * 0.7)) + "," + std::to_string(70 * std::cos(i * 1.1)) + "," +
                std::to_string(60 * std::sin(i * 1.3)) + "," + (i == 7 ? "NA" : std::to_string(i % 101)) + "\n";
  scene->SetReadOptions({0, {}, 4});
  WriteData(coloured);
  ++g_dataDrops;
  scene->RunFrame();
  ASSERT_EQ(scene->dataColour.size(), 20000u);  // 19 999 rows and the zero row after them
  scene->lineMode = 0, scene->colourByHeight = 1, scene->cameraTheta = 45, scene->cameraR = 250, scene->cameraZ = 150;
  ExpectThePerRowPicture("coloured by a column");
}

INSTANTIATE_TEST_SUITE_P(DrawingThreads, RowBuffer, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

}  // namespace
}  // namespace viewertest
