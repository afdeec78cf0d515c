// Viewer benchmarks. BM_LoadData reads a data file of N Lorenz rows the way the scene's first frame
// does (N is also the row limit); BM_FastFloatFloor parses the same numbers from memory with
// fast_float on one thread into the same three columns, reserved up front. The targets: LoadData (two
// threads) within 0.6 x the floor at 10 000 000 rows, and within 1.0 x at 150 000.
// BM_DrawScene draws one whole picture of the same rows (axes, help text, data) on a headless software
// device, the rows from the scene's row buffer: as points (HARD_TL 0 or 1, the same path; points_size3 at
// POINTSIZE 3), or as the polyline. The target on two threads: within 1.5 x scene_floor_bench's kernel for
// the same rows. With paced:1 each picture is followed by 12 ms of sleep (not timed), as in the viewer at
// 60 frames a second: caches and predictors have cooled by the next one, so it costs more than back to
// back.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

#include <fast_float/fast_float.h>

#include "graphics/direct_graphics.h"
#include "platform/null/null_backend.h"
#include "viewer/data_loader.h"
#include "viewer/row_pick.h"
#include "viewer/viewer_scene.h"

namespace {

// A Lorenz trajectory written as "%.6g,%.6g,%.6g\n" rows, like the bundled sample.
std::string LorenzRows(long rows) {
  std::string text;
  double x = 1, y = 1, z = 1;
  constexpr double dt = 0.005;
  char line[96];
  for (long i = 0; i < rows; ++i) {
    const double dx = 10 * (y - x), dy = x * (28 - z) - y, dz = x * y - 8.0 / 3.0 * z;
    x += dt * dx, y += dt * dy, z += dt * dz;
    const int n = std::snprintf(line, sizeof line, "%.6g,%.6g,%.6g\n", x * 4, y * 4, (z - 25) * 4);
    text.append(line, static_cast<size_t>(n));
  }
  return text;
}

// One data file per row count, written once and removed at exit.
class DataFile {
 public:
  explicit DataFile(long rows) : text_(LorenzRows(rows)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "sv_bench_XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    path_ = (dir_ / "lorenz.csv").string();
    std::ofstream(path_, std::ios::binary) << text_;
  }
  ~DataFile() { std::filesystem::remove_all(dir_); }
  const std::string& path() const { return path_; }
  const std::string& text() const { return text_; }
  std::string folder() const { return dir_.string(); }

 private:
  std::string text_;
  std::filesystem::path dir_;
  std::string path_;
};

// Written once per process and row count (10 000 000 rows take a few seconds to make).
const DataFile& FileOf(long rows) {
  static std::map<long, std::unique_ptr<DataFile>> files;
  std::unique_ptr<DataFile>& file = files[rows];
  if (!file) file = std::make_unique<DataFile>(rows);
  return *file;
}

void BM_LoadData(benchmark::State& state) {
  const DataFile& file = FileOf(state.range(0));
  for (auto _ : state) {
    viewer::DataColumns columns;
    viewer::ReadDataFile(file.path(), static_cast<size_t>(state.range(0)), columns);
    benchmark::DoNotOptimize(columns.x.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.text().size()));
}
BENCHMARK(BM_LoadData)->Arg(150000)->Arg(10000000)->Unit(benchmark::kMillisecond);

// The floor a user would pick: fast_float over the text in memory, on one thread, into three columns
// reserved up front (the rows are known).
void BM_FastFloatFloor(benchmark::State& state) {
  const std::string& text = FileOf(state.range(0)).text();
  const auto rows = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    viewer::DataColumns columns;
    columns.x.reserve(rows);
    columns.y.reserve(rows);
    columns.z.reserve(rows);
    const char* p = text.data();
    const char* const end = p + text.size();
    double value = 0;
    while (p < end) {
      p = fast_float::from_chars(p, end, value).ptr + 1;
      columns.x.push_back(value);
      p = fast_float::from_chars(p, end, value).ptr + 1;
      columns.y.push_back(value);
      p = fast_float::from_chars(p, end, value).ptr + 1;
      columns.z.push_back(value);
    }
    benchmark::DoNotOptimize(columns.x.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FastFloatFloor)->Arg(150000)->Arg(10000000)->Unit(benchmark::kMillisecond);

enum class DrawMode { SoftwarePoints, HardwarePoints, Lines, ColouredPoints, ColouredLines, PointsOfSize3 };

void BM_DrawScene(benchmark::State& state, DrawMode mode) {
  const DataFile& file = FileOf(state.range(0));
  platform::ScopedNullBackend backend;
  // The device takes its thread count when it is made.
  setenv("SCATTERVIEW_THREADS", std::to_string(state.range(2)).c_str(), 1);
  DirectGraphics graphics;
  const int32_t hardTl = mode == DrawMode::HardwarePoints ? 1 : 0;
  if (graphics.Init(nullptr, 0, 640, 480, 0, 1, 0, hardTl, 1, 0, 0) != 0) {
    state.SkipWithError("no software device");
    return;
  }
  g_graphics = &graphics;
  try {
    graphics.LoadTexture(kFontTextureName, D3DX_FILTER_POINT);  // build/data/font.dds beside the bench
  } catch (...) {
    state.SkipWithError("no data/font.dds beside the benchmark");
    g_graphics = nullptr;
    return;
  }
  g_dataPath = file.path();
  {
    ViewerScene scene(file.folder() + "/config.ini");
    scene.lineMode = mode == DrawMode::Lines || mode == DrawMode::ColouredLines ? 1 : 0;
    scene.colourByHeight = mode == DrawMode::ColouredPoints || mode == DrawMode::ColouredLines ? 1 : 0;
    scene.pointSize = mode == DrawMode::PointsOfSize3 ? 3 : 1;
    scene.rowLimit = static_cast<size_t>(state.range(0));  // MAXROWS, for more than 150 000 rows
    scene.LoadData();
    scene.FinishLoading();  // a file past 32 MiB is read beside the frames
    graphics.SetRenderStates(false);
    const bool paced = state.range(1) != 0;
    for (auto _ : state) {
      scene.Draw();
      if (paced) {
        state.PauseTiming();
        usleep(12000);
        state.ResumeTiming();
      }
    }
    scene.ReleaseDeviceResources();
  }
  g_graphics = nullptr;
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
// Arguments: rows, paced, threads (SCATTERVIEW_THREADS: 2 draws half of each call on a second core).
void DrawSceneArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"rows", "paced", "threads"})->Unit(benchmark::kMillisecond);
  for (int threads : {1, 2}) b->Args({150000, 0, threads})->Args({150000, 1, threads});
}
// A million and ten million rows (MAXROWS raised to match).
void DrawSceneMillionArgs(benchmark::internal::Benchmark* b) {
  DrawSceneArgs(b);
  for (int rows : {1000000, 10000000})
    for (int threads : {1, 2}) b->Args({rows, 0, threads});
}
BENCHMARK_CAPTURE(BM_DrawScene, points_software, DrawMode::SoftwarePoints)->Apply(DrawSceneMillionArgs);
BENCHMARK_CAPTURE(BM_DrawScene, points_buffer, DrawMode::HardwarePoints)->Apply(DrawSceneArgs);
BENCHMARK_CAPTURE(BM_DrawScene, lines, DrawMode::Lines)->Apply(DrawSceneMillionArgs);
// Coloured by height (F7): within 1.5 x of the white ones.
BENCHMARK_CAPTURE(BM_DrawScene, points_coloured, DrawMode::ColouredPoints)->Apply(DrawSceneArgs);
BENCHMARK_CAPTURE(BM_DrawScene, lines_coloured, DrawMode::ColouredLines)->Apply(DrawSceneArgs);
// POINTSIZE 3 (the - and + keys): each row a 3 x 3 square.
BENCHMARK_CAPTURE(BM_DrawScene, points_size3, DrawMode::PointsOfSize3)->Apply(DrawSceneArgs);

// The free pointer's search: N Lorenz rows as the row buffer's 16-byte float vertices, projected by
// the default camera (THETA 45, R 250, Z 150) onto 640 x 480, the nearest within 8 pixels found on two
// threads. The pointer moves a pixel every search, so none is answered from the cache. Target: within
// 16 ms (a frame at 60 fps) at 10 000 000 rows.
void BM_PickRow(benchmark::State& state) {
  const auto rows = static_cast<size_t>(state.range(0));
  std::vector<RowVertex> vertices(rows);
  double x = 1, y = 1, z = 1;
  for (RowVertex& v : vertices) {
    const double dx = 10 * (y - x), dy = x * (28 - z) - y, dz = x * y - 8.0 / 3.0 * z;
    x += 0.005 * dx, y += 0.005 * dy, z += 0.005 * dz;
    v = {static_cast<float>(x * 4), static_cast<float>(y * 4), static_cast<float>((z - 25) * 4), 0xFFFFFFFFu};
  }
  const double t = 45 * 3.141592 / 180;
  const D3DXVECTOR3 eye(static_cast<float>(std::cos(t) * 250), static_cast<float>(std::sin(t) * 250), 150.0f);
  const D3DXVECTOR3 at(0, 0, 0), up(0, 0, 1);
  D3DXMATRIX view, projection, combined;
  D3DXMatrixLookAtRH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovRH(&projection, 1.0471976f, 640.0f / 480.0f, 0.0f, 1000.0f);
  D3DXMatrixMultiply(&combined, &view, &projection);
  viewer::RowPicker picker;
  viewer::PickQuery query;
  query.rows = vertices.data();
  query.count = rows;
  query.combined = combined;
  query.width = 640;
  query.height = 480;
  int step = 0;
  for (auto _ : state) {
    query.pointerX = 300 + step % 40;
    query.pointerY = 240 + step / 40 % 20;
    ++step;
    benchmark::DoNotOptimize(picker.Find(query).row);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PickRow)->Arg(150000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
