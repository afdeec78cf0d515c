#include "graphics_test_util.h"

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/frame_timer.h"

namespace graphicstest {

namespace {

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::string DdsBytes(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels) {
  std::string out = "DDS ";
  Put32(out, 124);                          // header size
  Put32(out, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
  Put32(out, height);
  Put32(out, width);
  Put32(out, width * 4);                    // pitch
  Put32(out, 0);                            // depth
  Put32(out, 0);                            // mip levels
  for (int i = 0; i < 11; ++i) Put32(out, 0);
  Put32(out, 32);                           // pixel format size
  Put32(out, 0x41);                         // RGB with alpha
  Put32(out, 0);                            // no FourCC
  Put32(out, 32);
  Put32(out, 0x00FF0000);
  Put32(out, 0x0000FF00);
  Put32(out, 0x000000FF);
  Put32(out, 0xFF000000);
  Put32(out, 0x1000);                       // texture
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (uint32_t p : pixels) Put32(out, p);
  return out;
}

TextureFolder::TextureFolder() {
  static std::atomic<int> counter{0};
  name_ = "graphics_test_textures_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
  path_ = FrameTimer::GetModuleDirectory() + "/" + name_;
  std::filesystem::create_directories(path_);
}

TextureFolder::~TextureFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TextureFolder::Write(const std::string& file, const std::string& bytes) {
  std::ofstream out(path_ + "/" + file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << "cannot write " << path_ << "/" << file;
  return name_ + "\\" + file;
}

uint32_t PixelAt(IDirect3DDevice8* device, int x, int y) {
  int w = 0, h = 0;
  const uint32_t* p = device->BackBufferPixels(&w, &h);
  if (!p || x < 0 || y < 0 || x >= w || y >= h) {
    ADD_FAILURE() << "pixel (" << x << ", " << y << ") outside the " << w << " x " << h << " back buffer";
    return 0;
  }
  return p[static_cast<size_t>(y) * w + x];
}

std::vector<std::string> Picture(IDirect3DDevice8* device, int left, int top, int width, int height,
                                 uint32_t background, uint32_t ink) {
  std::vector<std::string> rows;
  for (int y = top; y < top + height; ++y) {
    std::string row;
    for (int x = left; x < left + width; ++x) {
      const uint32_t p = PixelAt(device, x, y);
      row += p == background ? '.' : p == ink ? '#' : '?';
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace graphicstest
