// The data rows as a vertex buffer: made when the rows, the fit (F6) or the colours (F7) change, never
// per frame, and drawn whole every frame. It holds exactly the float vertices that DrawPoint and
// DrawLine would hand the device for each row (the polyline's segments take their first row's colour
// under flat shading), so the picture is the one of a device call a row. It is filled a half on each
// core.
#include <algorithm>
#include <cstdio>
#include <errno.h>

#include "graphics/direct_graphics.h"
#include "platform/worker.h"
#include "render/safe_release.h"
#include "viewer/data_fit.h"
#include "viewer/scene_colours.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr D3DCOLOR kWhite = viewer::kWhiteColour;
// The most rows one buffer holds: its length is a UINT of bytes.
constexpr size_t kMostBufferRows = UINT{0xFFFFFFFFu} / sizeof(RowVertex);

// The rows as they are, in white.
struct RawWhiteRows {
  const double *x, *y, *z;
  RowVertex operator()(size_t i) const {
    return {RowCoordinate(x[i]), RowCoordinate(y[i]), RowCoordinate(z[i]), kWhite};
  }
};

// The rows fitted to the view (F6) and, when asked (F7), coloured on the map by their height or by
// the colour column, over the range [low, low + span].
struct FittedRows {
  const double *x, *y, *z;
  viewer::FitTransform fit;
  const double* colourOf;  // null: white
  double low, span;
  RowVertex operator()(size_t i) const {
    return {RowCoordinate(fit.Apply(0, x[i])), RowCoordinate(fit.Apply(1, y[i])), RowCoordinate(fit.Apply(2, z[i])),
            colourOf ? viewer::MapColour(span > 0.0 ? (colourOf[i] - low) / span : 0.5) : kWhite};
  }
};

// Fills rows [0, rows) into `buffer` through one Lock, a half on each core (or both on this one).
template <class Rows>
bool FillOnBothCores(platform::Worker& worker, IDirect3DVertexBuffer8* buffer, const Rows& rowOf, size_t rows) {
  BYTE* bytes = nullptr;
  if (FAILED(buffer->Lock(0, 0, &bytes, 0)) || !bytes) return false;
  struct Fill {
    RowVertex* out;
    const Rows* rowOf;
    size_t rows;
  } fill{reinterpret_cast<RowVertex*>(bytes), &rowOf, rows};
  worker.ForEachPart(
      2,
      [](void* context, std::size_t part) {
        const Fill& f = *static_cast<const Fill*>(context);
        const size_t from = part == 0 ? 0 : f.rows / 2, to = part == 0 ? f.rows / 2 : f.rows;
        for (size_t i = from; i < to; ++i) f.out[i] = (*f.rowOf)(i);
      },
      &fill);
  buffer->Unlock();
  return true;
}

}  // namespace

void ViewerScene::ColourRange(double* low, double* high) {
  const size_t drawn = dataX.empty() ? 0 : dataX.size() - 1;
  if (colourRangeRows_ != drawn) {
    if (dataColour.size() == dataX.size()) {
      const double* c = dataColour.data();
      const viewer::RobustBox box = viewer::RobustBoxOf(c, c, c, drawn);
      colourLow_ = box.low[0];
      colourHigh_ = box.high[0];
    } else {
      colourLow_ = DrawnRowsBox().low[2];
      colourHigh_ = DrawnRowsBox().high[2];
    }
    colourRangeRows_ = drawn;
  }
  *low = colourLow_;
  *high = colourHigh_;
}

IDirect3DVertexBuffer8* ViewerScene::RowBuffer() {
  if (rowBuffer_.made && rowBuffer_.fitMode == fitMode && rowBuffer_.colourByHeight == colourByHeight)
    return rowBuffer_.buffer;
  SafeRelease(rowBuffer_.buffer);  // first: its memory may be needed for the new one
  rowBuffer_ = {nullptr, 0, true, fitMode, colourByHeight};
  // The last stored row is never drawn: for a file ending in a line end it is the (0, 0, 0) row the
  // reader adds after it.
  const size_t drawn = dataX.empty() ? 0 : dataX.size() - 1, most = std::min(drawn, kMostBufferRows);
  // Without memory for every row, as many as there is memory for: the count halves until a buffer is made.
  size_t rows = most;
  IDirect3DVertexBuffer8* buffer = nullptr;
  while (rows > 0 && (FAILED(g_graphics->device->CreateVertexBuffer(static_cast<UINT>(rows * sizeof(RowVertex)),
                                                                     D3DUSAGE_WRITEONLY, ROW_VERTEX_FVF,
                                                                     D3DPOOL_MANAGED, &buffer)) ||
                      !buffer))
    rows /= 2;
  if (rows < drawn)
    std::fprintf(stderr, "%s: only the first %zu of %zu rows are drawn: %s\n", program_invocation_short_name, rows,
                 drawn, rows < most ? "there is no memory for more" : "one vertex buffer holds no more");
  if (rows == 0) return nullptr;
  if (!rowFiller_) rowFiller_ = std::make_unique<platform::Worker>();
  bool filled;
  if (fitMode == 0 && colourByHeight == 0) {
    filled = FillOnBothCores(*rowFiller_, buffer, RawWhiteRows{dataX.data(), dataY.data(), dataZ.data()}, rows);
  } else {
    const viewer::RobustBox& box = DrawnRowsBox();
    double low = 0, high = 0;
    ColourRange(&low, &high);
    const double* colourOf = colourByHeight == 0 ? nullptr : dataColour.empty() ? dataZ.data() : dataColour.data();
    filled = FillOnBothCores(
        *rowFiller_, buffer,
        FittedRows{dataX.data(), dataY.data(), dataZ.data(), viewer::FitOf(box, static_cast<viewer::FitMode>(fitMode)),
                   colourOf, low, high - low},
        rows);
  }
  if (!filled) {
    buffer->Release();  // a buffer we could not fill would draw garbage
    return nullptr;
  }
  rowBuffer_.buffer = buffer;
  rowBuffer_.rows = rows;
  ++rowBuffersMade_;
  return buffer;
}
