// NearestRow and RowPicker (row_pick.h): the free pointer's search over the row buffer's vertices.
#include "viewer/row_pick.h"

#include <algorithm>

#include "platform/worker.h"
#include "render/settled_lanes.h"
#include "render/vector_lanes.h"

namespace viewer {
namespace {

using render::Float8;
using render::Int8;

// One part's nearest row: `row` -1 when none lies within the radius.
struct Nearest {
  float distance2 = 0;
  int64_t row = -1;
  float x = 0, y = 0;
};

// Later wins a tie: the later row is drawn over the earlier one.
bool Nearer(const Nearest& a, const Nearest& b) {
  if (a.row < 0) return false;
  if (b.row < 0) return true;
  return a.distance2 < b.distance2 || (a.distance2 == b.distance2 && a.row > b.row);
}

// The viewport's halves and the pointer as floats, and the matrix an element to all lanes.
struct Frame {
  float m[4][4];
  float halfWidth, halfHeight, pointerX, pointerY, radius2;
};

// Row i's place on the picture and its squared distance from the pointer; false when the device clips it.
bool Place(const Frame& f, const RowVertex& v, float* x, float* y, float* d2) {
  float c[4];
  for (int k = 0; k < 4; ++k) c[k] = v.x * f.m[0][k] + v.y * f.m[1][k] + v.z * f.m[2][k] + f.m[3][k];
  const float w = c[3];
  if (!(w > 0 && c[0] >= -w && c[0] <= w && c[1] >= -w && c[1] <= w && c[2] >= 0 && c[2] <= w)) return false;
  *x = (1.0f + c[0] / w) * f.halfWidth;
  *y = (1.0f - c[1] / w) * f.halfHeight;
  const float dx = *x - f.pointerX, dy = *y - f.pointerY;
  *d2 = dx * dx + dy * dy;
  return true;
}

// Rows [from, to): eight at a time in lanes (each lane keeps its own nearest), the rest one by one with
// the same arithmetic, so both give the same distances.
SV_LANE_CLONES Nearest ScanRows(const RowVertex* rows, std::size_t from, std::size_t to, const Frame& f) {
  Float8 m[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] = Float8{} + f.m[i][j];
  const Float8 one = Float8{} + 1.0f, zero = Float8{};
  Float8 bestD = Float8{} + f.radius2, bestX = zero, bestY = zero;
  Int8 bestRow = Int8{} - 1, row = Int8{0, 1, 2, 3, 4, 5, 6, 7} + static_cast<int>(from);
  std::size_t i = from;
  for (; i + 8 <= to; i += 8, row += 8) {
    // Eight 16-byte rows transposed into lanes and through the matrix, as the device draws them.
    render::ClipLanes c;
    Int8 colour;
    render::EightRows(reinterpret_cast<const uint8_t*>(rows + i), m, c, colour);
    const Float8 cx = c.x, cy = c.y, cz = c.z, w = c.w;
    const Int8 inside = (w > zero) & (cx >= -w) & (cx <= w) & (cy >= -w) & (cy <= w) & (cz >= zero) & (cz <= w);
    const Float8 sx = (one + cx / w) * f.halfWidth, sy = (one - cy / w) * f.halfHeight;
    const Float8 dx = sx - f.pointerX, dy = sy - f.pointerY;
    const Float8 d = dx * dx + dy * dy;
    const Int8 take = inside & (d <= bestD);
    bestD = take ? d : bestD;
    bestX = take ? sx : bestX;
    bestY = take ? sy : bestY;
    bestRow = take ? row : bestRow;
  }
  Nearest best{f.radius2, -1, 0, 0};
  for (int lane = 0; lane < 8; ++lane) {
    const Nearest candidate{bestD[lane], bestRow[lane], bestX[lane], bestY[lane]};
    if (Nearer(candidate, best)) best = candidate;
  }
  for (; i < to; ++i) {
    Nearest candidate{0, static_cast<int64_t>(i), 0, 0};
    if (Place(f, rows[i], &candidate.x, &candidate.y, &candidate.distance2) &&
        candidate.distance2 <= f.radius2 && Nearer(candidate, best))
      best = candidate;
  }
  return best;
}

}  // namespace

RowPick NearestRow(const PickQuery& query, platform::Worker* worker) {
  Frame frame{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) frame.m[i][j] = query.combined.m[i][j];
  frame.halfWidth = static_cast<float>(query.width) / 2.0f;
  frame.halfHeight = static_cast<float>(query.height) / 2.0f;
  frame.pointerX = static_cast<float>(query.pointerX);
  frame.pointerY = static_cast<float>(query.pointerY);
  frame.radius2 = query.radius * query.radius;
  // Two parts, the first a whole number of lane steps, so the second starts on a step too.
  struct Search {
    const PickQuery* query;
    const Frame* frame;
    std::size_t split;
    Nearest found[2];
  } search{&query, &frame, query.count / 16 * 8, {}};
  const platform::Worker::Task part = [](void* context, std::size_t which) {
    Search& s = *static_cast<Search*>(context);
    s.found[which] = which == 0 ? ScanRows(s.query->rows, 0, s.split, *s.frame)
                                : ScanRows(s.query->rows, s.split, s.query->count, *s.frame);
  };
  if (worker) {
    worker->ForEachPart(2, part, &search);
  } else {
    part(&search, 0);
    part(&search, 1);
  }
  const Nearest& best = Nearer(search.found[0], search.found[1]) ? search.found[0] : search.found[1];
  if (best.row < 0) return {};
  return {true, static_cast<std::size_t>(best.row), best.x, best.y};
}

RowPicker::RowPicker() = default;
RowPicker::~RowPicker() = default;

const RowPick& RowPicker::Find(const PickQuery& query) {
  const bool same = known_ && query.rows == last_.rows && query.count == last_.count &&
                    query.rowsMade == last_.rowsMade && query.width == last_.width &&
                    query.height == last_.height && query.pointerX == last_.pointerX &&
                    query.pointerY == last_.pointerY && query.radius == last_.radius &&
                    std::memcmp(&query.combined, &last_.combined, sizeof(D3DMATRIX)) == 0;
  if (same) return answer_;
  if (!worker_) worker_ = std::make_unique<platform::Worker>();
  answer_ = NearestRow(query, worker_.get());
  last_ = query;
  known_ = true;
  ++searches_;
  return answer_;
}

}  // namespace viewer
