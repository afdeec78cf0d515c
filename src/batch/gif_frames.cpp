#include "batch/gif_frames.h"

#include <gif_lib.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "render/colour_palette.h"

namespace batch {
namespace {

// What giflib writes before a frame: "GIF89a" and the logical screen descriptor without a global
// colour table. A frame's bytes are what follows, up to the trailer.
constexpr size_t kHeaderBytes = 13;
constexpr char kTrailer = 0x3B;

// The fixed table: the scene's background, axes and box grey exactly (they cover most of a picture),
// then 6 levels of red and blue and 7 of green, to which the eye is keenest.
constexpr uint32_t kSceneColours[] = {0x140000, 0x008040, 0x808080};
constexpr int kRedLevels = 6, kGreenLevels = 7, kBlueLevels = 6;
constexpr int kFixedColours = 3 + kRedLevels * kGreenLevels * kBlueLevels;  // 255

int Level(uint32_t channel, int levels) { return static_cast<int>((channel * (levels - 1) + 127) / 255); }
uint32_t Channel(int level, int levels) {
  return static_cast<uint32_t>((level * 255 + (levels - 1) / 2) / (levels - 1));
}

uint8_t FixedIndex(uint32_t colour) {
  for (uint8_t i = 0; i < 3; ++i)
    if (colour == kSceneColours[i]) return i;
  const int r = Level(colour >> 16 & 0xFF, kRedLevels), g = Level(colour >> 8 & 0xFF, kGreenLevels),
            b = Level(colour & 0xFF, kBlueLevels);
  return static_cast<uint8_t>(3 + (r * kGreenLevels + g) * kBlueLevels + b);
}

uint32_t FixedEntry(int index) {
  if (index < 3) return kSceneColours[index];
  const int cube = index - 3;
  return Channel(cube / (kGreenLevels * kBlueLevels), kRedLevels) << 16 |
         Channel(cube / kBlueLevels % kGreenLevels, kGreenLevels) << 8 | Channel(cube % kBlueLevels, kBlueLevels);
}

void IndexByFixedTable(const Picture& picture, std::vector<uint8_t>& indices, std::vector<uint32_t>& palette) {
  palette.resize(kFixedColours);
  for (int i = 0; i < kFixedColours; ++i) palette[static_cast<size_t>(i)] = FixedEntry(i);
  uint32_t lastColour = 0xFFFFFFFFu;
  uint8_t lastIndex = 0;
  for (int y = 0; y < picture.height; ++y) {
    const uint32_t* row = picture.pixels + static_cast<size_t>(y) * static_cast<size_t>(picture.pitch);
    uint8_t* out = indices.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width);
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t colour = row[x] & 0x00FFFFFFu;
      if (colour != lastColour) {
        lastColour = colour;
        lastIndex = FixedIndex(colour);
      }
      out[x] = lastIndex;
    }
  }
}

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

uint32_t FixedGifColour(uint32_t colour) { return FixedEntry(FixedIndex(colour & 0x00FFFFFFu)); }

bool EncodeGifFrame(const Picture& picture, int delayCentiseconds, std::string& frame, std::string* error) {
  const size_t pixelCount = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
  std::vector<uint8_t> indices(pixelCount);
  std::vector<uint32_t> palette;
  if (!render::IndexByExactPalette(picture.pixels, picture.width, picture.height, picture.pitch, indices.data(),
                                   static_cast<size_t>(picture.width), palette))
    IndexByFixedTable(picture, indices, palette);
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
