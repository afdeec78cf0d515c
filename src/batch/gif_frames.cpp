#include "batch/gif_frames.h"

#include <gif_lib.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "batch/gif_palette.h"
#include "render/colour_palette.h"

namespace batch {
namespace {

// What giflib writes before a frame: "GIF89a" and the logical screen descriptor without a global
// colour table. A frame's bytes are what follows, up to the trailer.
constexpr size_t kHeaderBytes = 13;
constexpr char kTrailer = 0x3B;

// The frame's bytes as giflib writes them, and whether memory for them ran out.
struct FrameBytes {
  std::string bytes;
  bool outOfMemory = false;
};

// Called from C, so nothing may be thrown through it: a string that cannot grow is a short write,
// which stops giflib.
int AppendTo(GifFileType* gif, const GifByteType* bytes, int length) {
  FrameBytes& frame = *static_cast<FrameBytes*>(gif->UserData);
  try {
    frame.bytes.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    frame.outOfMemory = true;
    return 0;
  }
  return length;
}

// giflib's reason, or "out of memory" when memory is what it lacked.
std::string GifFailure(const char* what, const FrameBytes& frame, int code) {
  if (frame.outOfMemory || code == E_GIF_ERR_NOT_ENOUGH_MEM) return std::string("out of memory to ") + what;
  return std::string("cannot ") + what + ": " + GifErrorString(code);
}

// The frame of `indices` through giflib, without the file's header and trailer, in `frame`.
bool WriteGifFrame(const Picture& picture, int delayCentiseconds, std::vector<uint8_t>& indices,
                   ColorMapObject* map, std::string& frame, std::string* error) {
  FrameBytes written;
  int status = 0;
  GifFileType* gif = EGifOpen(&written, AppendTo, &status);
  if (!gif) {
    if (error) *error = GifFailure("start a GIF frame", written, status);
    return false;
  }
  EGifSetGifVersion(gif, true);
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = delayCentiseconds;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const size_t extensionLength = EGifGCBToExtension(&control, extension);
  bool ok = EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, nullptr) == GIF_OK &&
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionLength), extension) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, picture.width, picture.height, false, map) == GIF_OK;
  for (int y = 0; ok && y < picture.height; ++y)
    ok = EGifPutLine(gif, indices.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width),
                     picture.width) == GIF_OK;
  const int lastError = gif->Error;
  ok = EGifCloseFile(gif, &status) == GIF_OK && ok;
  const std::string& bytes = written.bytes;
  if (!ok || bytes.size() < kHeaderBytes + 1 || bytes.back() != kTrailer) {
    if (error) *error = GifFailure("encode a GIF frame", written, lastError ? lastError : status);
    return false;
  }
  frame.assign(bytes, kHeaderBytes, bytes.size() - kHeaderBytes - 1);
  return true;
}

struct ColourMapDeleter {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

void PutLittleEndian16(std::string& out, int value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

}  // namespace

bool EncodeGifFrame(const Picture& picture, int delayCentiseconds, std::string& frame, std::string* error,
                    GifQuantizer* shared) {
  const size_t pixelCount = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
  std::vector<uint8_t> indices(pixelCount);
  std::vector<uint32_t> palette;
  if (!render::IndexByExactPalette(picture.pixels, picture.width, picture.height, picture.pitch, indices.data(),
                                   static_cast<size_t>(picture.width), palette)) {
    // Too many colours for a table of their own: the animation's palette, or one made of this picture's.
    std::unique_ptr<GifQuantizer> own;
    if (!shared) {
      ColourCounts counts;
      counts.Add(picture);
      own = std::make_unique<GifQuantizer>(MakeGifPalette(counts));
    }
    GifQuantizer& quantizer = shared ? *shared : *own;
    quantizer.Index(picture, indices.data());
    palette = quantizer.Palette();
  }
  // A colour table has a power of two entries, at least two; fewer bits a pixel compress better.
  int bits = 1;
  while ((1u << bits) < palette.size()) ++bits;
  std::unique_ptr<ColorMapObject, ColourMapDeleter> map(GifMakeMapObject(1 << bits, nullptr));
  if (!map) {
    if (error) *error = "out of memory for a GIF colour table";
    return false;
  }
  for (size_t i = 0; i < palette.size(); ++i)
    map->Colors[i] = GifColorType{static_cast<GifByteType>(palette[i] >> 16), static_cast<GifByteType>(palette[i] >> 8),
                                  static_cast<GifByteType>(palette[i])};
  return WriteGifFrame(picture, delayCentiseconds, indices, map.get(), frame, error);
}

std::string AssembleGif(const std::vector<std::string>& frames, int width, int height, bool loop) {
  std::string file = "GIF89a";
  PutLittleEndian16(file, width);
  PutLittleEndian16(file, height);
  // No global colour table, 8 bits of colour resolution, background 0, square pixels: as giflib writes it.
  file += {'\x70', '\0', '\0'};
  if (loop) {
    // The application extension that makes viewers play the frames again and again (0 times: endless).
    file += {'\x21', '\xFF', '\x0B'};
    file += "NETSCAPE2.0";
    file += {'\x03', '\x01', '\0', '\0', '\0'};
  }
  for (const std::string& frame : frames) file += frame;
  file += kTrailer;
  return file;
}

}  // namespace batch
