// Draw on the real software device: where the rows land, points against polyline, both point paths,
// the help text and readouts, and the fixed colours. Expected pixels come from the camera formulas,
// worked out independently in ProjectPoint.
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "scene_fixture.h"

namespace viewertest {
namespace {

struct Row {
  double x, y, z;
};

// Rows spread around the origin, in front of the default camera (THETA 45, R 250, Z 150).
const std::vector<Row> kRows = {{20, -10, 5}, {-30, 25, 40}, {50, 62, -20}, {-15, -40, 10}, {35, 5, 60}};
// A sixth row, written last without a line end: stored, never drawn.
const Row kLastRow = {-45, 32, -35};

std::string Csv(const std::vector<Row>& rows) {
  std::string text;
  for (const Row& r : rows) {
    text += std::to_string(static_cast<int>(r.x)) + "," + std::to_string(static_cast<int>(r.y)) + "," +
            std::to_string(static_cast<int>(r.z)) + "\n";
  }
  return text;
}
// The last row of a file read up to the row limit: stored, never drawn.
std::string LastRowText() { return "-45,32,-35\n"; }

class SceneDrawing : public SceneTest {
 protected:
  Projected Where(const Row& r) const {
    return ProjectPoint(scene->cameraTheta, scene->cameraR, scene->cameraZ, scene->axisX, scene->axisY, r.x, r.y, r.z);
  }
  // The prediction must not sit on a rounding tie, where float and double may round apart.
  void ExpectClearOfTies(const Projected& p) {
    EXPECT_TRUE(p.visible);
    EXPECT_GT(std::abs(p.sx - std::floor(p.sx) - 0.5), 0.02) << p.sx;
    EXPECT_GT(std::abs(p.sy - std::floor(p.sy) - 0.5), 0.02) << p.sy;
  }
  size_t Count(const std::string& prefix) const { return log->CountStartingWith(prefix); }
};

TEST_F(SceneDrawing, EachDrawnRowIsOneWhitePixelWhereTheCameraPutsIt) {
  WriteData(Csv(kRows) + LastRowText());
  Open(Layers(), "[CONFIG]\nSHOWHINT=0\n");
  scene->SetRowLimit(kRows.size() + 1);
  LoadAndDraw();
  ASSERT_EQ(scene->dataX.size(), kRows.size() + 1);

  for (const Row& r : kRows) {
    const Projected p = Where(r);
    ExpectClearOfTies(p);
    EXPECT_EQ(BackPixel(p.px, p.py), kWhite) << "row (" << r.x << ", " << r.y << ", " << r.z << ") at " << p.px
                                              << ", " << p.py;
  }
  EXPECT_EQ(CountBack(kWhite), static_cast<int>(kRows.size())) << "one pixel per drawn row, nothing else white";
  const Projected last = Where(kLastRow);
  ExpectClearOfTies(last);
  EXPECT_NE(BackPixel(last.px, last.py), kWhite) << "the last stored row is never drawn";
}

TEST_F(SceneDrawing, TheZeroRowAfterTheLastLineEndIsNotDrawnAndTheOriginStaysBlack) {
  WriteData(Csv(kRows));
  Open(Layers(), "[CONFIG]\nSHOWHINT=0\nSHOWAXIS=0\n");
  LoadAndDraw();
  ASSERT_EQ(scene->dataX.size(), kRows.size() + 1);
  EXPECT_EQ(CountBack(kWhite), static_cast<int>(kRows.size()));
  const Projected origin = Where({0, 0, 0});
  EXPECT_EQ(BackPixel(origin.px, origin.py), kBlack);
  EXPECT_EQ(CountBack(kBlack), 1);
  EXPECT_EQ(CountBack(kAxes), 0) << "axes off";
  EXPECT_EQ(CountBack(kBackground), 640 * 480 - 1 - static_cast<int>(kRows.size()));
}

TEST_F(SceneDrawing, AxesAreGreenThroughTheOriginAndCoverTheOriginPoint) {
  Open(Layers(), "[CONFIG]\nSHOWHINT=0\n");
  LoadAndDraw();
  EXPECT_EQ(BackPixel(639, 0), kBackground);
  EXPECT_EQ(CountBack(kBlack), 0) << "the axes are drawn after the origin point";
  EXPECT_GT(CountBack(kAxes), 600);
  // A point on each axis is on (or next to, by the line rule) a green pixel.
  for (const Row& onAxis : std::vector<Row>{{80, 0, 0}, {0, 80, 0}, {0, 0, 80}, {0, 0, -80}}) {
    const Projected p = Where(onAxis);
    ASSERT_TRUE(p.visible);
    int green = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) green += BackPixel(p.px + dx, p.py + dy) == kAxes;
    EXPECT_GT(green, 0) << "axis point (" << onAxis.x << ", " << onAxis.y << ", " << onAxis.z << ")";
  }
}

TEST_F(SceneDrawing, ThePolylineJoinsRowsZeroToNMinusTwo) {
  WriteData(Csv(kRows) + LastRowText());
  Open(Layers(), "[CONFIG]\nSHOWHINT=0\nSHOWAXIS=0\nLINESET=1\n");
  scene->SetRowLimit(kRows.size() + 1);
  log->Clear();
  LoadAndDraw();
  // n = 6 stored rows: segments 0-1, 1-2, 2-3, 3-4, one strip; none reaches the last stored row.
  EXPECT_EQ(Count("DrawPrimitive(3, 0, 4)"), 1u);
  for (const Row& r : kRows) {
    const Projected p = Where(r);
    EXPECT_EQ(BackPixel(p.px, p.py), kWhite) << "vertex (" << r.x << ", " << r.y << ", " << r.z << ")";
  }
  const Projected last = Where(kLastRow);
  EXPECT_NE(BackPixel(last.px, last.py), kWhite);
  EXPECT_GT(CountBack(kWhite), 4 * 20) << "the segments are drawn whole, not just their ends";
}

TEST_F(SceneDrawing, HardwarePointsAndDrawPointGiveTheSamePicture) {
  WriteData(Csv(kRows));
  Open(Layers{.hardTl = 1}, "[CONFIG]\nSHOWHINT=0\n");
  StartScene();
  scene->LoadData();
  ASSERT_NE(scene->vertexBuffer, nullptr);
  graphics->SetRenderStates(false);

  // Either way the rows are one call of the row buffer; only the origin goes through DrawPoint.
  log->Clear();
  scene->Draw();
  const std::vector<uint32_t> hardware = BackBuffer();
  EXPECT_EQ(Count("DrawPrimitive(1, 0, 5)"), 1u);
  EXPECT_EQ(Count("DrawPrimitiveUP(1, 1"), 1u);

  graphics->config.HARD_TL = 0;
  log->Clear();
  scene->Draw();
  EXPECT_EQ(Count("DrawPrimitive(1, 0, 5)"), 1u);
  EXPECT_TRUE(BackBuffer() == hardware) << "HARD_TL changes the picture";
  EXPECT_EQ(CountBack(kWhite), static_cast<int>(kRows.size()));

  // Every frame ends with an identity world transform.
  D3DMATRIX world{};
  graphics->device->GetTransform(D3DTS_WORLD, &world);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(world.m[i][j], i == j ? 1.0f : 0.0f);
}

TEST_F(SceneDrawing, FewRowsDrawNothingOrOneSegment) {
  struct Case {
    std::string data;
    size_t rows, points, segments;
  };
  const Case cases[] = {
      {"", 1, 0, 0},                    // an empty file: one (0, 0, 0) row
      {"1,2,3", 2, 1, 0},               // read as if it ended with a line feed
      {"1,2,3\n", 2, 1, 0},             // n = 2: row 0 as a point, no segment
      {"1,2,3\n4,5,6\n", 3, 2, 1},      // n = 3: one segment, row 0 to row 1
  };
  for (const Case& c : cases) {
    WriteData(c.data);
    if (!scene) Open(Layers(), "[CONFIG]\nSHOWHINT=0\nSHOWAXIS=0\n");
    scene = std::make_unique<ViewerScene>(dir / "config.ini");
    StartScene();
    scene->LoadData();
    ASSERT_EQ(scene->dataX.size(), c.rows) << c.data;
    scene->lineMode = 0;  // the scene before saved LINESET=1
    log->Clear();
    scene->Draw();
    EXPECT_EQ(Count("DrawPrimitive(1, 0, " + std::to_string(c.points) + ")"), c.points != 0 ? 1u : 0u) << c.data;
    scene->lineMode = 1;
    log->Clear();
    scene->Draw();
    EXPECT_EQ(Count("DrawPrimitive(3, 0, " + std::to_string(c.segments) + ")"), c.segments != 0 ? 1u : 0u) << c.data;
  }
}

TEST_F(SceneDrawing, HelpLinesAndReadoutsShowWithTheHintSwitchOn) {
  WriteData(Csv(kRows));
  Open(Layers(), "[CONFIG]\nSHOWAXIS=0\n");
  LoadAndDraw();
  int w = 0, h = 0;
  const uint32_t* pixels = graphics->device->BackBufferPixels(&w, &h);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 2, 460, "AXIS    X:000 Y:000", kBackground), 0);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 2, 470, "CAMERA  R:250 THETA:045 Z:150", kBackground), 0);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 2, 0,
                                "[MOUSE HORIZONTAL MOVE]THETA / [VERTICAL MOVE]Z / [LEFT CLICK AND MOVE]R",
                                kBackground),
            0);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 2, 10,
                                "[ARROR KEY]AXIS MOVE / [X]AXIS DEFAULT POSITION / [Z]CAMERA DEFAULT POSITION",
                                kBackground),
            0);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 2, 20,
                                "[F1]SHOW HELP / [F2]LINE<>PIXEL MODE CHANGE / [F3]AUTO ANIME / [F4]SHOW FPS",
                                kBackground),
            0);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 2, 30, "[F5]SHOW AXIS", kBackground), 0);
  // Asked for (a size not 1): the point size's line; the device's size is 1 again after the rows.
  scene->pointSize = 3;
  scene->Draw();
  EXPECT_EQ(SmallTextMismatches(graphics->device->BackBufferPixels(&w, &h), w, 2, 40, "[-][+]POINT SIZE:3",
                                kBackground), 0);
  DWORD size = 0;
  graphics->device->GetRenderState(D3DRS_POINTSIZE, &size);
  EXPECT_EQ(size, std::bit_cast<DWORD>(1.0f));
}

TEST_F(SceneDrawing, ReadoutsTruncateAndPadTheirNumbers) {
  Open(Layers(), "[CONFIG]\nSHOWAXIS=0\nAXIS_X=-5\nAXIS_Y=1234\n");
  StartScene();
  scene->LoadData();
  scene->cameraR = 250.9;
  scene->cameraTheta = 0.0;
  scene->cameraZ = -7;
  graphics->SetRenderStates(false);
  scene->Draw();
  int w = 0, h = 0;
  const uint32_t* pixels = graphics->device->BackBufferPixels(&w, &h);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 2, 460, "AXIS    X:-05 Y:1234", kBackground), 0);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 2, 470, "CAMERA  R:250 THETA:000 Z:-07", kBackground), 0);
}

TEST_F(SceneDrawing, NoTextAtAllWithTheHintSwitchOffButWhyAPlotIsEmpty) {
  WriteData(Csv(kRows));
  Open(Layers(), "[CONFIG]\nSHOWAXIS=0\nSHOWHINT=0\n");
  LoadAndDraw();
  EXPECT_EQ(CountBack(kWhite), static_cast<int>(kRows.size())) << "the rows alone";
  // A file with no rows: the empty plot says so in the middle, and nothing else.
  WriteData("x,y,z\n");
  scene = std::make_unique<ViewerScene>(dir / "config.ini");
  LoadAndDraw();
  int w = 0, h = 0;
  const uint32_t* pixels = graphics->device->BackBufferPixels(&w, &h);
  EXPECT_EQ(SmallTextMismatches(pixels, w, 220, 252, "NO ROWS TO DRAW WERE READ", kBackground), 0);
  EXPECT_EQ(CountBack(kBackground) + CountBack(kWhite), 640 * 480 - 1) << "the text and the origin point alone";
  // Rows far from the origin, raw: none lands on the picture, and the plot names the fit that would help.
  WriteData("500000,400000,1000\n500100,400200,1100\n500200,400400,1200\n");
  scene = std::make_unique<ViewerScene>(dir / "config.ini");
  LoadAndDraw();
  pixels = graphics->device->BackBufferPixels(&w, &h);
  const std::string faraway = "NO ROW IS IN VIEW: F6 FITS THEM TO IT (FIT: OFF)";
  EXPECT_EQ(SmallTextMismatches(pixels, w, 320 - 4 * static_cast<int>(faraway.size()), 252, faraway, kBackground), 0);
}

TEST_F(SceneDrawing, TheDrawIsOneSceneFromClearToEnd) {
  WriteData(Csv(kRows));
  Open(Layers(), "[CONFIG]\nSHOWHINT=0\n");
  StartScene();
  scene->LoadData();
  log->Clear();
  scene->Draw();
  const std::vector<std::string> calls = log->Entries();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front().rfind("Clear(0, 3, 0xff140000, ", 0), 0u) << calls.front();
  EXPECT_EQ(calls[1], "BeginScene()");
  EXPECT_EQ(calls.back(), "EndScene()");
  EXPECT_EQ(Count("BeginScene"), 1u);
  EXPECT_EQ(Count("Present"), 0u) << "presenting is the frame driver's";
}

TEST_F(SceneDrawing, AnEndOfTheRunWaitingStopsALongDrawAndTheFrameIsNotShown) {
  // Rows enough for two chunks: the end is looked for between them.
  std::string rows;
  for (int i = 0; i < 1100000; ++i) rows += std::to_string(i % 100 - 50) + "," + std::to_string(i % 37) + ",0\n";
  WriteData(rows);
  struct Case {
    const char* name;
    int32_t lineMode;
    const char* rowCall;  // the device call of a chunk of rows
  };
  const std::vector<Case> cases = {{"points", 0, "DrawPrimitive(1, "}, {"polyline", 1, "DrawPrimitive(3, "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    Open(Layers(), "[CONFIG]\nSHOWAXIS=0\n");
    scene->SetRowLimit(2000000);
    StartScene();
    scene->LoadData();
    scene->lineMode = c.lineMode;
    graphics->SetRenderStates(false);
    log->Clear();
    ASSERT_TRUE(scene->Draw());
    ASSERT_EQ(Count(c.rowCall), 2u);

    null->Close();  // the close button, waiting among the window's events
    log->Clear();
    EXPECT_FALSE(scene->Draw());
    EXPECT_EQ(Count(c.rowCall), 1u) << "the rest of the rows waits for no one";
    EXPECT_LT(Count("DrawPrimitiveUP(6"), 10u) << "none of the hint's hundreds of glyphs after the rows";
    D3DXMATRIX world, identity;
    graphics->device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(std::memcmp(&world, D3DXMatrixIdentity(&identity), sizeof world), 0) << "ends with an identity world";
    EXPECT_EQ(log->Entries().back(), "EndScene()");

    // A frame cut short shows nothing; the frame after the end is delivered shows again.
    const int shown = null->MainWindow()->presentCount;
    EXPECT_EQ(scene->RunFrame(), 0);
    EXPECT_EQ(null->MainWindow()->presentCount, shown);
    null->messages.clear();
    EXPECT_EQ(scene->RunFrame(), 0);
    EXPECT_EQ(null->MainWindow()->presentCount, shown + 1);
  }
}

}  // namespace
}  // namespace viewertest
