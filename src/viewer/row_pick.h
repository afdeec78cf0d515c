// The drawn row under the pointer: the row buffer's float vertices projected as the device projects
// them (world x view x projection, viewport x = (1 + x/w) W/2, y = (1 - y/w) H/2), only rows inside the
// view volume (the device clips the rest), and the nearest to a picture position within a radius.
// Eight rows a step in vector lanes, the rows split between the two cores. RowPicker keeps the last
// answer and searches again only when the pointer, the view or the rows changed. Paired with
// row_pick.cpp; the scene's pointer (pointer_pick.cpp) uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "graphics/vertex_types.h"
#include "render/d3d8.h"

namespace platform {
class Worker;
}

namespace viewer {

// Where the rows land and where the pointer is, in picture pixels (pixel centres at whole numbers).
struct PickQuery {
  const RowVertex* rows = nullptr;
  std::size_t count = 0;
  uint64_t rowsMade = 0;  // changes whenever the rows' contents may have changed
  D3DMATRIX combined{};   // world x view x projection
  int32_t width = 0, height = 0;  // the viewport: the back buffer
  int32_t pointerX = 0, pointerY = 0;
  float radius = 8.0f;
};

struct RowPick {
  bool found = false;
  std::size_t row = 0;          // index of the stored row
  float screenX = 0, screenY = 0;  // where it lands, before the rounding to a pixel
};

// The row nearest the pointer within the radius (a row at exactly the radius counts). Of rows at one
// distance the later one wins: it is drawn later, so it is the one seen. Runs on `worker` and the
// caller (on the caller alone when `worker` is null).
RowPick NearestRow(const PickQuery& query, platform::Worker* worker);

// NearestRow, asked again only when the query changed since the last answer.
class RowPicker {
 public:
  RowPicker();
  ~RowPicker();
  RowPicker(const RowPicker&) = delete;
  RowPicker& operator=(const RowPicker&) = delete;

  const RowPick& Find(const PickQuery& query);
  // Forgets the last answer (the rows are gone).
  void Forget() { known_ = false; }
  unsigned Searches() const { return searches_; }

 private:
  bool known_ = false;
  PickQuery last_;
  RowPick answer_;
  unsigned searches_ = 0;
  std::unique_ptr<platform::Worker> worker_;
};

}  // namespace viewer
