// PNG files of pictures: an A8R8G8B8 framebuffer written as an 8-bit PNG without alpha (the picture as
// the window shows it). The batch renderer and the viewer's screenshot key both write through here.
// Paired with png_file.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/whole_file_writer.h"

namespace render {

// Encodes pictures to PNG bytes. A picture of at most 256 colours (the scene's usual few: background,
// white, green, black) is written with a palette, one byte a pixel; any other as RGB. Deflate runs
// at its fastest level. One encoder keeps its buffers and compressor from picture to picture, which
// matters when a turntable writes dozens; it is not for use by two threads at once.
class PngEncoder {
 public:
  PngEncoder();
  ~PngEncoder();
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // The PNG of `width` × `height` pixels whose rows lie `pitch` pixels apart, in `out` (replaced).
  // False only for what PNG cannot hold (sizes of zero, negative or too large) or a compressor failure.
  bool Encode(const uint32_t* pixels, int width, int height, int pitch, std::vector<uint8_t>& out);

 private:
  struct Compressor;
  bool BuildPalettedRows(const uint32_t* pixels, int width, int height, int pitch);
  void BuildRgbRows(const uint32_t* pixels, int width, int height, int pitch);

  std::unique_ptr<Compressor> compressor_;
  std::vector<uint8_t> rows_;        // filter byte + pixels, row after row
  std::vector<uint32_t> palette_;    // 0x00RRGGBB, in order of first appearance
  std::vector<uint8_t> compressed_;
};

// Writes the PNG to `path` as WriteWholeFile does (a plain file through a temporary file and a rename,
// so a reader never sees a half-written picture; a link's target, a device or FIFO in place; never
// over one of `options.inputs` or a read-only file). On failure `error` says why, with the path.
// `encoder` may be null (a fresh one is used).
bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height, int pitch,
                  std::string* error, PngEncoder* encoder = nullptr,
                  const platform::posix::WholeFileOptions& options = {});

}  // namespace render
