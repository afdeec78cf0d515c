// Which route a call of the rows takes, and a settled call drawn on both cores. A long settled call is
// cut into two contiguous parts (a strip's parts share a vertex): the first is drawn into the back
// buffer, the second at the same time into a private picture of the back buffer's size, whose pixels
// are 0 where nothing was drawn. Every pixel the second part wrote is then copied over the back
// buffer. A settled pixel takes its colour as it is and nothing else, so the last writer wins, and the
// second part is the later writer either way: the bytes are the one-thread bytes. The cut depends
// only on the call's length and whether there are two threads.
#include <new>

#include "render/software_device.h"
#include "render/vertex_buffer.h"

namespace render {

bool SoftwareDevice::DepthSettledAtOne() const {
  const float(*m)[4] = worldViewProjection_;
  return m[0][2] == m[0][3] && m[1][2] == m[1][3] && m[2][2] == m[2][3] && m[3][2] == m[3][3] && vpScale_[2] == 1.0f &&
         raster_.SettledDepth(pixel_) == Rasterizer::DepthToBits(1.0f);
}

Route SoftwareDevice::RowsRoute(D3DPRIMITIVETYPE type, const VertexBuffer& buffer) {
  PrepareDraw();
  if (layout_.transformed || lighting_ || pixel_.fog || !pixel_.plainWrite || !DepthSettledAtOne())
    return Route::General;
  // Every colour is written as it is: blending off, or nothing but opaque results under it.
  if (pixel_.blend && !ResultsOpaque(buffer)) return Route::General;
  if (type == D3DPT_POINTLIST) return Route::SettledPoints;
  // A segment is of one colour when shading is flat (its first vertex's) or every vertex has the same.
  if (!pixel_.flatShade && !buffer.ColoursOf(layout_.diffuse, streamStride_).oneColour) return Route::General;
  return Route::SettledStrip;
}

bool SoftwareDevice::ResultsOpaque(const VertexBuffer& buffer) const {
  return pixel_.plainAlpha == 0xFF000000u || buffer.ColoursOf(layout_.diffuse, streamStride_).opaque;
}

void SoftwareDevice::DrawSettled(PartDraw draw, const uint8_t* v, UINT stride, size_t primitives,
                                 bool resultsOpaque) {
  RenewWvpLanes();  // read by both threads
  // Two parts need every result opaque: the private picture's 0 means "not drawn".
  if (!resultsOpaque || !worker_ || primitives < kTwoPartsFrom) {
    (this->*draw)(v, stride, 0, primitives, raster_);
    return;
  }
  if (secondPart_.Width() != raster_.Width() || secondPart_.Height() != raster_.Height()) {
    try {
      secondPart_.Resize(raster_.Width(), raster_.Height());
    } catch (const std::bad_alloc&) {
      secondPart_.Resize(0, 0);
      (this->*draw)(v, stride, 0, primitives, raster_);  // no memory for a second picture: one thread
      return;
    }
    secondPart_.Clear(0, 0, raster_.Width(), raster_.Height(), true, 0, false, 1.0f);
  }
  struct Parts {
    SoftwareDevice* device;
    PartDraw draw;
    const uint8_t* v;
    UINT stride;
    size_t half, count;
  } parts{this, draw, v, stride, primitives / 2, primitives};
  // Either thread may draw either part: the part, not the thread, picks the picture.
  worker_->ForEachPart(
      2,
      [](void* context, std::size_t index) {
        const Parts& p = *static_cast<Parts*>(context);
        SoftwareDevice& d = *p.device;
        if (index == 0) (d.*p.draw)(p.v, p.stride, 0, p.half, d.raster_);
        else (d.*p.draw)(p.v, p.stride, p.half, p.count, d.secondPart_);
      },
      &parts);
  worker_->ForEachPart(
      2,
      [](void* context, std::size_t index) {
        SoftwareDevice& d = *static_cast<SoftwareDevice*>(context);
        const int rows = d.raster_.Height(), from = rows / 2 * static_cast<int>(index);
        d.raster_.TakeWrittenPixels(d.secondPart_, from, index == 0 ? rows / 2 : rows);
      },
      this);
}

}  // namespace render
