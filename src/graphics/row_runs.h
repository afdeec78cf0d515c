// Runs of data rows, one device call a run: what the scene draws past its per-row limit (a raised
// row limit), where three device calls a row would cost more than drawing the row. A run gives the
// bytes the per-row DrawPoint and DrawLine give for the same rows: the same float vertices, the same
// far-segment chords, and a segment in the colour of its first row. `Rows` gives X(i), Y(i), Z(i)
// as doubles and Colour(i). Paired with primitives.cpp, which draws the per-row calls.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "graphics/direct_graphics.h"

namespace graphics {

// What RowsAsVertices found in a block of rows.
struct RowBlock {
  bool near;       // every coordinate is within kExactReach: no segment needs the far-line chords
  bool oneColour;  // the rows but the last are all of the first row's colour
};

// Rows [from, from + n) of `rows` as vertices into `v`, texture coordinates (u, texV). One plain pass
// a block, without a branch a row: the columns stream through at memory speed.
template <class Rows>
RowBlock RowsAsVertices(const Rows& rows, size_t from, size_t n, SceneVertex* v, float u, float texV) {
  using render::kExactReach;
  bool far = false, mixed = false;
  const D3DCOLOR first = rows.Colour(from);
  for (size_t i = 0; i < n; ++i) {
    const double x = rows.X(from + i), y = rows.Y(from + i), z = rows.Z(from + i);
    const D3DCOLOR colour = rows.Colour(from + i);
    far |= !(std::fabs(x) <= kExactReach) | !(std::fabs(y) <= kExactReach) | !(std::fabs(z) <= kExactReach);
    mixed |= (colour != first) & (i + 1 < n);
    v[i] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), colour, u, texV};
  }
  return {!far, !mixed};
}

}  // namespace graphics

template <class Rows>
void DirectGraphics::DrawPointRun(const Rows& rows, size_t first, size_t last) {
  SceneVertex* const v = RunVertices();
  for (size_t from = first; from < last; from += kRunVertices) {
    const size_t count = std::min(last - from, kRunVertices);
    graphics::RowsAsVertices(rows, from, count, v, 0.0f, 0.0f);
    DrawVertexRun(D3DPT_POINTLIST, v, count);
  }
}

// Segment i joins row i to row i + 1, for i in [first, last). A block of rows all within reach is one
// strip; a block with a far row is drawn row by row (DrawLineRowByRow).
template <class Rows>
void DirectGraphics::DrawLineRun(const Rows& rows, size_t first, size_t last) {
  SceneVertex* const v = RunVertices();
  for (size_t from = first; from < last; from += kRunVertices - 1) {
    const size_t segments = std::min(last - from, kRunVertices - 1);
    const graphics::RowBlock block = graphics::RowsAsVertices(rows, from, segments + 1, v, 1.0f, 1.0f);
    if (!block.near) {
      DrawLineRowByRow(rows, from, from + segments);
      continue;
    }
    v[0].u = 0.0f;
    // A segment is in its first row's colour: the last row gives none, and takes the last segment's.
    v[segments].colour = v[segments - 1].colour;
    const bool mixed = !block.oneColour;
    DrawVertexRun(D3DPT_LINESTRIP, v, segments + 1, mixed);
  }
}

// Strips that break where a segment has a far end (it goes through DrawFarLine, as DrawLine sends it)
// and where the vertices run out; the next strip starts again at the row the last one ended on.
template <class Rows>
void DirectGraphics::DrawLineRowByRow(const Rows& rows, size_t first, size_t last) {
  if (first >= last) return;
  SceneVertex* const v = RunVertices();
  size_t count = 0;    // vertices in the strip being built
  bool mixed = false;  // its segments are not all of one colour
  auto flush = [&] {
    if (count >= 2) DrawVertexRun(D3DPT_LINESTRIP, v, count, mixed);
    count = 0;
    mixed = false;
  };
  // IsFarSegment(a, b) is "a or b is far": each row is looked at once, without a branch.
  auto near = [](const double p[3]) {
    return (std::fabs(p[0]) <= render::kExactReach) & (std::fabs(p[1]) <= render::kExactReach) &
           (std::fabs(p[2]) <= render::kExactReach);
  };
  double a[3] = {rows.X(first), rows.Y(first), rows.Z(first)};
  bool aNear = near(a);
  for (size_t i = first; i < last; ++i) {
    const double b[3] = {rows.X(i + 1), rows.Y(i + 1), rows.Z(i + 1)};
    const bool bNear = near(b);
    const D3DCOLOR colour = rows.Colour(i);
    if (!(aNear & bNear)) [[unlikely]] {
      flush();
      DrawFarLine(a, b, colour);
    } else {
      if (count == kRunVertices) {
        const SceneVertex end = v[count - 1];
        flush();
        v[count++] = end;
      }
      if (count == 0) {
        v[count++] = {static_cast<float>(a[0]), static_cast<float>(a[1]), static_cast<float>(a[2]), colour, 0.0f, 1.0f};
      } else {
        v[count - 1].colour = colour;  // the start of this segment: its colour is the segment's
        mixed |= colour != v[0].colour;
      }
      // Its colour stands until the next segment starts here; the strip's last vertex gives no colour.
      v[count++] = {static_cast<float>(b[0]), static_cast<float>(b[1]), static_cast<float>(b[2]), colour, 1.0f, 1.0f};
    }
    std::copy(b, b + 3, a);
    aNear = bNear;
  }
  flush();
}
