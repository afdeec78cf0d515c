// The floor of drawing the scene's rows from one vertex buffer: the least work one whole picture of
// BM_DrawScene's rows and view can take. The rows are held as 16-byte float vertices (x, y, z and a
// 32-bit colour), transformed by the default camera's world × view × projection and written into a
// 640 × 480 picture by one plain loop in row order:
//   BM_SceneFloor/points  one pixel a row (depth-range clip, viewport, ceil(v - 0.5) to a pixel);
//   BM_SceneFloor/strip   the polyline through the rows, one DDA a segment (ends included), segments
//                         with an end outside the clip volume left out rather than clipped.
// threads:2 draws the second half of the rows on a second thread kept for the whole run.
// The target: BM_DrawScene (viewer_bench) on two threads within 1.5 × this kernel at the same rows.
// This is a yardstick, not a renderer: it skips clipping, depth and every state the device honours.
// Do not copy it into src/.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <thread>
#include <utility>
#include <vector>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "render/d3dx8.h"

// The kernels are built for the same instruction sets the renderer's lanes pick from, so that the
// floor is not held back by a library call for ceil where the device has an instruction.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SV_FLOOR_CLONES [[gnu::target_clones("default", "sse4.1", "avx2")]]
#else
#define SV_FLOOR_CLONES
#endif

namespace {

struct Vertex {
  float x, y, z;
  uint32_t colour;
};
static_assert(sizeof(Vertex) == 16);

constexpr int kWidth = 640, kHeight = 480;
constexpr size_t kPixels = size_t{kWidth} * kHeight;
constexpr uint32_t kBackground = 0xFF140000u;  // the scene's clear colour
constexpr uint32_t kWhite = 0xFFFFFFFFu;
// The device's nearest allowed clip w: closer to the eye plane than this is clipped away.
constexpr float kMinW = 1e-5f;

// Row-vector clip transform: clip = (x, y, z, 1) × m.
struct Transform {
  float m[4][4];
};

// The viewer's starting view as the scene hands it to SetCamera (leftHanded false) and SetCamera
// builds it: the eye on the orbit at theta 45° (pi as the scene takes it, 3.141592), radius 250,
// height 150; looking at the origin (the axis offsets are 0) with +z up; field of view 1.0471976,
// aspect from the configured 640 × 480, near 0 and far 1000. The device multiplies view × projection
// first and then the (identity) world in front, as here.
Transform SceneTransform() {
  const double angle = 45.0 * 3.141592 / 180.0;
  const D3DXVECTOR3 eye(static_cast<float>(std::cos(angle) * 250.0), static_cast<float>(std::sin(angle) * 250.0),
                        static_cast<float>(150)),
      at(0, 0, 0), up(0, 0, 1);
  D3DXMATRIX view, projection, world, viewProjection, worldViewProjection;
  D3DXMatrixLookAtRH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovRH(&projection, 1.0471976f, 640.0f / 480.0f, 0.0f, 1000.0f);
  D3DXMatrixIdentity(&world);
  D3DXMatrixMultiply(&viewProjection, &view, &projection);
  D3DXMatrixMultiply(&worldViewProjection, &world, &viewProjection);
  Transform t{};
  std::copy(&worldViewProjection.m[0][0], &worldViewProjection.m[0][0] + 16, &t.m[0][0]);
  return t;
}

// BM_DrawScene's rows: the same Lorenz trajectory and scaling, made in memory as doubles (not printed
// with six digits and read back, so the values differ from the file's in the last digits), then held
// as the float vertices a buffer would hold. Made once per row count (10 000 000 rows are 160 MB).
const std::vector<Vertex>& RowsOf(long rows) {
  static std::map<long, std::vector<Vertex>> made;
  std::vector<Vertex>& v = made[rows];
  if (!v.empty() || rows <= 0) return v;
  v.resize(static_cast<size_t>(rows));
  double x = 1, y = 1, z = 1;
  constexpr double dt = 0.005;
  for (Vertex& row : v) {
    const double dx = 10 * (y - x), dy = x * (28 - z) - y, dz = x * y - 8.0 / 3.0 * z;
    x += dt * dx, y += dt * dy, z += dt * dz;
    row = {static_cast<float>(x * 4), static_cast<float>(y * 4), static_cast<float>((z - 25) * 4), kWhite};
  }
  return v;
}

// One pixel a row: in front of the eye and within the depth range (points are not clipped in x or
// y), then the pixel its centre rounds to, if that is on the picture.
SV_FLOOR_CLONES void DrawPoints(const Vertex* v, size_t count, const Transform& t, uint32_t* picture) {
  const Transform m = t;  // a local copy: the compiler need not reload it after each pixel write
  for (size_t i = 0; i < count; ++i) {
    const Vertex& p = v[i];
    const float cx = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
    const float cy = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
    const float cz = p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
    const float cw = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
    if (!(cw >= kMinW && cz >= 0.0f && cz <= cw)) continue;
    const float hx = (1.0f + cx / cw) * (kWidth / 2.0f) - 0.5f, hy = (1.0f - cy / cw) * (kHeight / 2.0f) - 0.5f;
    // ceil(h) is on the picture exactly when -1 < h <= size - 1; testing before converting keeps the
    // conversion in range (and drops NaN).
    if (!(hx > -1.0f && hx <= kWidth - 1.0f && hy > -1.0f && hy <= kHeight - 1.0f)) continue;
    const int px = static_cast<int>(std::ceil(hx)), py = static_cast<int>(std::ceil(hy));
    picture[static_cast<size_t>(py) * kWidth + px] = p.colour;
  }
}

// A segment end: whether it is inside the whole clip volume, and its pixel when it is.
struct End {
  bool inside;
  int x, y;
};

inline End PlaceEnd(const Vertex& p, const Transform& m) {
  const float cx = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
  const float cy = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
  const float cz = p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
  const float cw = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
  if (!(cw >= kMinW && cx >= -cw && cx <= cw && cy >= -cw && cy <= cw && cz >= 0.0f && cz <= cw))
    return {false, 0, 0};
  const float hx = (1.0f + cx / cw) * (kWidth / 2.0f) - 0.5f, hy = (1.0f - cy / cw) * (kHeight / 2.0f) - 0.5f;
  // Inside, h lies in [-0.5, size - 0.5]: only the right and bottom edges round one pixel past the
  // picture, and are pulled back once here rather than tested at every pixel of the line.
  const int px = std::min(static_cast<int>(std::ceil(hx)), kWidth - 1);
  const int py = std::min(static_cast<int>(std::ceil(hy)), kHeight - 1);
  return {true, px, py};
}

// A plain DDA between two pixels, ends included: one pixel a step along the major axis, the minor
// coordinate carried in float from the pixel's middle (so truncation rounds it).
inline void DrawSegment(uint32_t* picture, End a, End b, uint32_t colour) {
  const int dx = b.x - a.x, dy = b.y - a.y, adx = std::abs(dx), ady = std::abs(dy);
  if (adx >= ady) {
    const int step = dx >= 0 ? 1 : -1;
    const float slope = adx != 0 ? static_cast<float>(dy) / static_cast<float>(adx) : 0.0f;
    float y = static_cast<float>(a.y) + 0.5f;
    for (int k = 0, x = a.x; k <= adx; ++k, x += step, y += slope)
      picture[static_cast<size_t>(static_cast<int>(y)) * kWidth + x] = colour;
  } else {
    const int step = dy >= 0 ? 1 : -1;
    const float slope = static_cast<float>(dx) / static_cast<float>(ady);
    float x = static_cast<float>(a.x) + 0.5f;
    for (int k = 0, y = a.y; k <= ady; ++k, y += step, x += slope)
      picture[static_cast<size_t>(y) * kWidth + static_cast<int>(x)] = colour;
  }
}

// The polyline through the rows: segment i joins row i to row i + 1, drawn in the colour of its
// first row. Each row is transformed once; its end is kept for the next segment.
SV_FLOOR_CLONES void DrawStrip(const Vertex* v, size_t count, const Transform& t, uint32_t* picture) {
  if (count < 2) return;
  const Transform m = t;
  End a = PlaceEnd(v[0], m);
  for (size_t i = 1; i < count; ++i) {
    const End b = PlaceEnd(v[i], m);
    if (a.inside && b.inside) DrawSegment(picture, a, b, v[i - 1].colour);
    a = b;
  }
}

using DrawFn = void (*)(const Vertex*, size_t, const Transform&, uint32_t*);

enum class Kernel { Points, Strip };

// The rows each thread draws: two contiguous halves in row order. The strip's halves share their
// middle row, so that the segment across the middle is drawn (by the first half).
struct Halves {
  const Vertex* first;
  size_t firstCount;
  const Vertex* second;
  size_t secondCount;
};

Halves SplitRows(const std::vector<Vertex>& rows, Kernel kernel) {
  const size_t n = rows.size(), middle = n / 2;
  if (kernel == Kernel::Points) return {rows.data(), middle, rows.data() + middle, n - middle};
  if (n < 2) return {rows.data(), n, rows.data(), 0};
  return {rows.data(), middle + 1, rows.data() + middle, n - middle};
}

// How long a waiting side spins before it sleeps on a futex: about a few hundred microseconds, longer
// than a hand-over usually takes when both cores are free, short enough not to hold a core from
// someone else when the other side has been preempted.
constexpr int kSpins = 1 << 13;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#endif
}

void AwaitValue(const std::atomic<uint32_t>& a, uint32_t wanted) {
  for (int spin = 0; spin < kSpins; ++spin) {
    if (a.load(std::memory_order_acquire) == wanted) return;
    Pause();
  }
  for (uint32_t seen; (seen = a.load(std::memory_order_acquire)) != wanted;) a.wait(seen, std::memory_order_acquire);
}

void Publish(std::atomic<uint32_t>& a, uint32_t value) {
  a.store(value, std::memory_order_release);
  a.notify_one();  // no system call when nobody sleeps on it
}

// One job a Start on a thread kept for the whole benchmark, so an iteration pays the hand-over only,
// not a thread's creation. The caller always Waits before it Starts again or destroys the helper.
class HelperThread {
 public:
  explicit HelperThread(std::function<void()> job) : job_(std::move(job)), thread_([this] { Serve(); }) {}
  ~HelperThread() {
    stopping_.store(true, std::memory_order_relaxed);  // made visible by the release in Publish
    Publish(started_, ++posted_);
    thread_.join();
  }
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  void Start() { Publish(started_, ++posted_); }
  void Wait() { AwaitValue(finished_, posted_); }

 private:
  void Serve() {
    for (uint32_t round = 1;; ++round) {
      AwaitValue(started_, round);
      if (stopping_.load(std::memory_order_relaxed)) return;
      job_();
      Publish(finished_, round);
    }
  }

  std::function<void()> job_;
  std::atomic<uint32_t> started_{0}, finished_{0};
  std::atomic<bool> stopping_{false};
  uint32_t posted_ = 0;  // the caller's count of Starts; only the calling thread touches it
  std::thread thread_;   // last: it starts serving once everything above exists
};

// Every pixel the second half wrote (non-zero: each colour drawn has alpha 0xFF) goes over the
// picture, and the private picture is left zero for the next frame. One thread writes each row's
// pixel in row order, so a pixel both halves wrote ends with the second half's colour there: the
// second-half-wins merge gives the one-thread bytes.
void MergeOver(uint32_t* picture, uint32_t* second) {
  for (size_t i = 0; i < kPixels; ++i) {
    const uint32_t c = second[i];
    picture[i] = c != 0 ? c : picture[i];
    second[i] = 0;
  }
}

void RunOneThread(benchmark::State& state, DrawFn draw, const std::vector<Vertex>& rows, const Transform& m,
                  std::vector<uint32_t>& picture) {
  for (auto _ : state) {
    std::fill(picture.begin(), picture.end(), kBackground);
    draw(rows.data(), rows.size(), m, picture.data());
    benchmark::DoNotOptimize(picture.data());
    benchmark::ClobberMemory();
  }
}

void RunTwoThreads(benchmark::State& state, DrawFn draw, const Halves& h, const Transform& m,
                   std::vector<uint32_t>& picture) {
  std::vector<uint32_t> second(kPixels, 0);
  HelperThread helper([&] { draw(h.second, h.secondCount, m, second.data()); });
  for (auto _ : state) {
    helper.Start();  // first, so the second half starts while this thread clears the picture
    std::fill(picture.begin(), picture.end(), kBackground);
    draw(h.first, h.firstCount, m, picture.data());
    helper.Wait();
    MergeOver(picture.data(), second.data());
    benchmark::DoNotOptimize(picture.data());
    benchmark::ClobberMemory();
  }
}

// Arguments: rows, threads (1 or 2). Wall time: with two threads the caller's CPU time says little.
void BM_SceneFloor(benchmark::State& state, Kernel kernel) {
  const std::vector<Vertex>& rows = RowsOf(state.range(0));
  const Transform m = SceneTransform();
  const DrawFn draw = kernel == Kernel::Points ? DrawPoints : DrawStrip;
  std::vector<uint32_t> picture(kPixels, kBackground);
  if (state.range(1) == 2) {
    RunTwoThreads(state, draw, SplitRows(rows, kernel), m, picture);
  } else {
    RunOneThread(state, draw, rows, m, picture);
  }
  // Not timed: the picture the last frame left, against one drawn on one thread.
  std::vector<uint32_t> reference(kPixels, kBackground);
  draw(rows.data(), rows.size(), m, reference.data());
  if (reference != picture) state.SkipWithError("the two-thread picture differs from the one-thread one");
  state.counters["lit"] = static_cast<double>(kPixels - std::count(picture.begin(), picture.end(), kBackground));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void SceneFloorArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"rows", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();
  for (long rows : {1000000L, 10000000L})
    for (int threads : {1, 2}) b->Args({rows, threads});
}
BENCHMARK_CAPTURE(BM_SceneFloor, points, Kernel::Points)->Apply(SceneFloorArgs);
BENCHMARK_CAPTURE(BM_SceneFloor, strip, Kernel::Strip)->Apply(SceneFloorArgs);

}  // namespace

BENCHMARK_MAIN();
