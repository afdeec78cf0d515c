// The free pointer (key P): the mouse leaves the camera, the system cursor shows, and the drawn row
// nearest it on the picture (within kPickRadius pixels) is ringed, with a readout of its row number in
// the file and its x, y and z as stored (the data's own units, not the fitted floats the picture uses).
// A left click puts "x,y,z" on the clipboard. P again gives the mouse back to the camera.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <errno.h>

#include "graphics/direct_graphics.h"
#include "input/input_manager.h"
#include "platform/backend.h"
#include "render/vertex_buffer.h"
#include "viewer/scene_colours.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr int kPickKey = 'P';
constexpr float kPickRadius = 8.0f;
constexpr D3DCOLOR kRing = 0xFFFF8000u;
constexpr D3DCOLOR kReadout = 0xFFFFFFFFu;
// The readout stands on the background's colour, so the rows behind it do not mix with its glyphs.
constexpr D3DCOLOR kBacking = viewer::kBackgroundColour;
constexpr int32_t kRingRadius = 6;
constexpr int32_t kGlyph = 8;
// Above the readouts at the bottom-left (AXIS, CAMERA, and FIT at 30 pixels up).
constexpr int32_t kReadoutRise = 42;

// The shortest text that reads back as the same double: a value read from "-20.42" shows as -20.42.
std::string ShortestText(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

// A column's name as the small glyphs show it: bytes the font lacks as "?".
std::string ShownName(std::string name) {
  for (char& c : name) {
    const bool shown = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       std::string_view(" +-*/:._()[]!?><{}@").find(c) != std::string_view::npos;
    if (!shown) c = '?';
  }
  return name;
}

// A pixel's position as the device rounds a point's: ceil(v - 0.5).
int32_t PixelOf(float v) { return static_cast<int32_t>(std::ceil(v - 0.5f)); }

}  // namespace

void ViewerScene::UpdatePointer() {
  // One toggle a press: the latch holds until P is seen up, so the keyboard's repeats change nothing.
  if (GetAsyncKeyState(kPickKey) != 0) {
    if (pointer_.keyLatch == 0) {
      pointer_.free = !pointer_.free;
      platform::CurrentBackend().SetPointerFree(pointer_.free);
      pointer_.buttonDown = true;  // a button already down when freed is no click
    }
    pointer_.keyLatch = 1;
  } else {
    pointer_.keyLatch = 0;
  }
  const bool down = g_input->GetMouseAxis(MOUSE_BUTTON_0) != 0;
  if (pointer_.free && down && !pointer_.buttonDown) CopyPickedRow();
  pointer_.buttonDown = down;
}

std::string ViewerScene::PickedRowValues(std::size_t row) const {
  return ShortestText(dataX[row]) + "," + ShortestText(dataY[row]) + "," + ShortestText(dataZ[row]);
}

void ViewerScene::CopyPickedRow() {
  const viewer::RowPick& pick = pointer_.row;
  if (!pick.found || pick.row >= dataX.size()) {
    std::fprintf(stderr, "%s: nothing copied: no row within %d pixels of the pointer\n",
                 program_invocation_short_name, static_cast<int>(kPickRadius));
    return;
  }
  const std::string text = PickedRowValues(pick.row);
  const std::size_t fileRow = lastReading.numbers.FileRow(pick.row);
  if (platform::CurrentBackend().SetClipboardText(text)) {
    std::fprintf(stderr, "%s: copied row %zu to the clipboard: %s\n", program_invocation_short_name, fileRow,
                 text.c_str());
  } else {
    std::fprintf(stderr, "%s: row %zu (%s) could not be put on the clipboard\n", program_invocation_short_name,
                 fileRow, text.c_str());
  }
}

void ViewerScene::FindPickedRow() {
  pointer_.row = {};
  int x = 0, y = 0;
  pointer_.over = platform::CurrentBackend().PointerPosition(&x, &y);
  // The vertices as drawn: the device's buffer of the drawn rows (a buffer of another device has none).
  const auto* buffer = dynamic_cast<const render::VertexBuffer*>(rowBuffer_.buffer);
  if (!pointer_.over || !buffer || rowBuffer_.rows == 0) return;
  viewer::PickQuery query;
  query.rows = reinterpret_cast<const RowVertex*>(buffer->Bytes());
  query.count = rowBuffer_.rows;
  query.rowsMade = rowBuffersMade_;
  D3DMATRIX world{}, view{}, projection{};
  IDirect3DDevice8* device = g_graphics->device;
  device->GetTransform(D3DTS_WORLD, &world);
  device->GetTransform(D3DTS_VIEW, &view);
  device->GetTransform(D3DTS_PROJECTION, &projection);
  query.combined = viewer::Product(viewer::Product(world, view), projection);
  query.width = g_graphics->config.Width;
  query.height = g_graphics->config.Height;
  query.pointerX = x;
  query.pointerY = y;
  query.radius = kPickRadius;
  pointer_.row = pointer_.picker.Find(query);
}

void ViewerScene::DrawPickedRow() {
  DirectGraphics& graphics = *g_graphics;
  const viewer::RowPick& pick = pointer_.row;
  std::string line;
  if (pick.found && pick.row < dataX.size()) {
    // A ring of single pixels around the row's pixel: every pixel whose distance from the centre rounds
    // to the radius, so it is closed at every angle.
    const int32_t cx = PixelOf(pick.screenX), cy = PixelOf(pick.screenY);
    for (int32_t dy = -kRingRadius; dy <= kRingRadius; ++dy)
      for (int32_t dx = -kRingRadius; dx <= kRingRadius; ++dx)
        if (std::lround(std::sqrt(static_cast<double>(dx * dx + dy * dy))) == kRingRadius)
          graphics.FillRect(cx + dx, cy + dy, cx + dx + 1, cy + dy + 1, kRing);
    line = "ROW " + std::to_string(lastReading.numbers.FileRow(pick.row));
    const double values[3] = {dataX[pick.row], dataY[pick.row], dataZ[pick.row]};
    for (int axis = 0; axis < 3; ++axis)
      line += "  " + ShownName(viewer::ColumnNameOf(lastReading.shape, axis)) + " " + ShortestText(values[axis]);
  } else {
    line = pointer_.over ? "NO ROW WITHIN 8 PIXELS" : "POINTER IS NOT ON THE PICTURE";
  }
  int32_t width = 0, height = 0;
  TextScreen(&width, &height);
  const int32_t top = height - kReadoutRise, right = 2 + static_cast<int32_t>(line.size()) * kGlyph;
  graphics.FillRect(1, top - 1, right + 1, top + kGlyph + 1, kBacking);
  DrawSmallText(2, top, line.c_str(), kReadout);
}
