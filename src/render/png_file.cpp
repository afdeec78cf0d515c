#include "render/png_file.h"

#include <zlib.h>

#include <cstring>
#include <new>

#include "render/colour_palette.h"

namespace render {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kColourTypeRgb = 2, kColourTypePalette = 3;
// Large enough for any picture the device can make; keeps every size computation far from overflow.
constexpr int kMaxSide = 1 << 16;

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

// Length, type, data, and the CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t length) {
  PutBigEndian(out, static_cast<uint32_t>(length));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (length > 0) out.insert(out.end(), data, data + length);
  const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + length));
  PutBigEndian(out, static_cast<uint32_t>(crc));
}

}  // namespace

// The deflate stream, set up once and reset for each picture.
struct PngEncoder::Compressor {
  z_stream stream{};
  bool ready = false;
  Compressor() {
    const int result = deflateInit(&stream, Z_BEST_SPEED);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();  // as every other allocation of the encoder
    ready = result == Z_OK;
  }
  ~Compressor() {
    if (ready) deflateEnd(&stream);
  }
};

PngEncoder::PngEncoder() : compressor_(std::make_unique<Compressor>()) {}
PngEncoder::~PngEncoder() = default;

bool PngEncoder::BuildPalettedRows(const uint32_t* pixels, int width, int height, int pitch) {
  const size_t rowBytes = 1 + static_cast<size_t>(width);
  rows_.resize(rowBytes * static_cast<size_t>(height));
  // Each row's first byte is its filter, none.
  for (int y = 0; y < height; ++y) rows_[rowBytes * static_cast<size_t>(y)] = 0;
  return IndexByExactPalette(pixels, width, height, pitch, rows_.data() + 1, rowBytes, palette_);
}

void PngEncoder::BuildRgbRows(const uint32_t* pixels, int width, int height, int pitch) {
  const size_t rowBytes = 1 + 3 * static_cast<size_t>(width);
  rows_.resize(rowBytes * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rows_.data() + rowBytes * static_cast<size_t>(y);
    const uint32_t* source = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    *row++ = 0;  // filter: none
    for (int x = 0; x < width; ++x, row += 3) {
      const uint32_t p = source[x];
      row[0] = static_cast<uint8_t>(p >> 16);
      row[1] = static_cast<uint8_t>(p >> 8);
      row[2] = static_cast<uint8_t>(p);
    }
  }
}

bool PngEncoder::Encode(const uint32_t* pixels, int width, int height, int pitch, std::vector<uint8_t>& out) {
  out.clear();
  if (!pixels || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || pitch < width ||
      !compressor_->ready)
    return false;

  const bool paletted = BuildPalettedRows(pixels, width, height, pitch);
  if (!paletted) BuildRgbRows(pixels, width, height, pitch);

  z_stream& z = compressor_->stream;
  if (deflateReset(&z) != Z_OK) return false;
  compressed_.resize(deflateBound(&z, static_cast<uLong>(rows_.size())));
  z.next_in = rows_.data();
  z.avail_in = static_cast<uInt>(rows_.size());
  z.next_out = compressed_.data();
  z.avail_out = static_cast<uInt>(compressed_.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) return false;
  const size_t compressedLength = z.total_out;

  out.reserve(compressedLength + 3 * palette_.size() + 64);
  out.insert(out.end(), std::begin(kSignature), std::end(kSignature));
  std::vector<uint8_t> chunk;
  PutBigEndian(chunk, static_cast<uint32_t>(width));
  PutBigEndian(chunk, static_cast<uint32_t>(height));
  // 8 bits, the colour type, deflate, the adaptive filter set, no interlace.
  chunk.insert(chunk.end(), {8, paletted ? kColourTypePalette : kColourTypeRgb, 0, 0, 0});
  PutChunk(out, "IHDR", chunk.data(), chunk.size());
  if (paletted) {
    chunk.clear();
    for (uint32_t colour : palette_)
      chunk.insert(chunk.end(), {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                                 static_cast<uint8_t>(colour)});
    PutChunk(out, "PLTE", chunk.data(), chunk.size());
  }
  PutChunk(out, "IDAT", compressed_.data(), compressedLength);
  PutChunk(out, "IEND", nullptr, 0);
  return true;
}

bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height, int pitch,
                  std::string* error, PngEncoder* encoder,
                  const platform::posix::WholeFileOptions& options) {
  std::string ignored;
  std::string& why = error ? *error : ignored;
  const std::string picture = "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " as PNG";
  std::unique_ptr<PngEncoder> own;
  std::vector<uint8_t> bytes;
  // The encoder's buffers grow with the picture: without memory for them the picture is not written,
  // and the caller (the viewer's screenshot, the render tool) goes on to say so.
  try {
    if (!encoder) {
      own = std::make_unique<PngEncoder>();
      encoder = own.get();
    }
    if (!encoder->Encode(pixels, width, height, pitch, bytes)) {
      why = "cannot encode " + picture;
      return false;
    }
  } catch (const std::bad_alloc&) {
    why = "out of memory to encode " + picture;
    return false;
  }

  return platform::posix::WriteWholeFile(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), options, &why);
}

}  // namespace render
