#include "batch/webp_frames.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdint>
#include <memory>

namespace batch {
namespace {

// The fastest lossless effort: a turntable's frames are many, and the scene's few colours leave
// little for more effort to find.
constexpr int kLosslessLevel = 0;

struct MuxDeleter {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

}  // namespace

bool EncodeWebpFrame(const Picture& picture, std::string& frame, std::string* error) {
  WebPConfig config;
  WebPPicture image;
  if (!WebPConfigInit(&config) || !WebPConfigLosslessPreset(&config, kLosslessLevel) || !WebPPictureInit(&image)) {
    if (error) *error = "the WebP library does not match its headers";
    return false;
  }
  image.use_argb = 1;
  image.width = picture.width;
  image.height = picture.height;
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  image.writer = WebPMemoryWrite;
  image.custom_ptr = &writer;
  // A8R8G8B8 in memory is B, G, R, A byte by byte; the X of BGRX is read as opaque.
  const bool ok = WebPPictureImportBGRX(&image, reinterpret_cast<const uint8_t*>(picture.pixels),
                                        picture.pitch * static_cast<int>(sizeof(uint32_t))) &&
                  WebPEncode(&config, &image);
  const bool noMemory = image.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ||
                        image.error_code == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY;
  if (ok) frame.assign(reinterpret_cast<const char*>(writer.mem), writer.size);
  else if (error && noMemory) *error = "out of memory for a WebP frame";
  else if (error) *error = "cannot encode a WebP frame (libwebp error " + std::to_string(image.error_code) + ")";
  WebPPictureFree(&image);
  WebPMemoryWriterClear(&writer);
  return ok;
}

bool AssembleWebp(const std::vector<std::string>& frames, const std::vector<int>& durationsMs, int width, int height,
                  std::string& file, std::string* error) {
  std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxNew());
  // No muxer at all is no memory for one; later steps say so themselves.
  WebPMuxError result = mux ? WEBP_MUX_OK : WEBP_MUX_MEMORY_ERROR;
  for (size_t i = 0; result == WEBP_MUX_OK && i < frames.size(); ++i) {
    WebPMuxFrameInfo info{};
    info.bitstream.bytes = reinterpret_cast<const uint8_t*>(frames[i].data());
    info.bitstream.size = frames[i].size();
    info.duration = durationsMs[i];
    info.id = WEBP_CHUNK_ANMF;
    // Every frame covers the whole canvas: nothing of the one before shows through.
    info.dispose_method = WEBP_MUX_DISPOSE_NONE;
    info.blend_method = WEBP_MUX_NO_BLEND;
    result = WebPMuxPushFrame(mux.get(), &info, 0);
  }
  WebPMuxAnimParams params{};
  params.bgcolor = 0xFF000000u;
  params.loop_count = 0;  // endless
  if (result == WEBP_MUX_OK) result = WebPMuxSetAnimationParams(mux.get(), &params);
  if (result == WEBP_MUX_OK) result = WebPMuxSetCanvasSize(mux.get(), width, height);
  WebPData assembled;
  WebPDataInit(&assembled);
  if (result == WEBP_MUX_OK) result = WebPMuxAssemble(mux.get(), &assembled);
  const bool ok = result == WEBP_MUX_OK;
  if (ok) file.assign(reinterpret_cast<const char*>(assembled.bytes), assembled.size);
  else if (error && result == WEBP_MUX_MEMORY_ERROR) *error = "out of memory to put the WebP frames together";
  else if (error) *error = "cannot put the WebP frames together";
  WebPDataClear(&assembled);
  return ok;
}

}  // namespace batch
