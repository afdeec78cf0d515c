// Helpers for the graphics layer's tests: a DirectGraphics on a recording Direct3D (every device call
// in a CallLog), one on the real software device for pixels, texture files written beside the test
// program (where LoadTexture looks), and the back buffer as a text picture.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/direct_graphics.h"
#include "platform/null/null_backend.h"
#include "recording_device.h"

namespace graphicstest {

// Init arguments with the program's defaults: windowed 640 × 480, vsync wait on, fog on.
struct Settings {
  int32_t fullScreen = 0, width = 640, height = 480, bit = 0, vsyncWait = 1, drawLevel = 0, hardTl = 0, fog = 1,
          d3dxSprite = 0, noBackDraw = 0;
};

inline int32_t InitWith(DirectGraphics& graphics, const Settings& s, HWND window = nullptr) {
  return graphics.Init(window, s.fullScreen, s.width, s.height, s.bit, s.vsyncWait, s.drawLevel, s.hardTl, s.fog,
                       s.d3dxSprite, s.noBackDraw);
}

// A DirectGraphics whose Direct3D object records every call; the log is shared with the devices it makes.
class RecordedGraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetTextureBindingCache(); }

  Direct3DFactory RecordingFactory() {
    return [this](UINT sdkVersion) -> IDirect3D8* {
      requestedVersions.push_back(sdkVersion);
      return new render::RecordingDirect3D(log);
    };
  }
  // Creates and inits the object; the result code of Init.
  int32_t Open(const Settings& s = Settings()) {
    graphics = std::make_unique<DirectGraphics>(RecordingFactory());
    return InitWith(*graphics, s, window);
  }
  std::vector<std::string> Calls() const { return log->Entries(); }
  // A 32 × 32 texture made on the device; the log then forgets the calls made so far.
  IDirect3DTexture8* MakeTexture(UINT width = 32, UINT height = 32) {
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(graphics->device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    ownedTextures.push_back(texture);
    return texture;
  }
  void TearDown() override {
    for (IDirect3DTexture8* t : ownedTextures)
      if (t) t->Release();
    ownedTextures.clear();
    graphics.reset();
  }

  platform::ScopedNullBackend null;
  HWND window = nullptr;
  std::shared_ptr<render::CallLog> log = std::make_shared<render::CallLog>();
  std::vector<UINT> requestedVersions;
  std::unique_ptr<DirectGraphics> graphics;
  std::vector<IDirect3DTexture8*> ownedTextures;
};

// An A8R8G8B8 DDS file (no mip levels stored) as bytes; pixels row by row.
std::string DdsBytes(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels);

// A folder beside the test program (LoadTexture's base) that is removed with everything in it.
class TextureFolder {
 public:
  TextureFolder();
  ~TextureFolder();
  TextureFolder(const TextureFolder&) = delete;
  TextureFolder& operator=(const TextureFolder&) = delete;
  // Writes `bytes` as <folder>/<file>; returns the store name "<folder>\<file>" (a backslash, as the
  // program's own names use).
  std::string Write(const std::string& file, const std::string& bytes);
  const std::string& Name() const { return name_; }

 private:
  std::string name_;  // relative to the module directory
  std::string path_;  // absolute
};

// The back buffer rectangle (left, top, width, height) as rows of characters: '.' for `background`,
// '#' for `ink`, '?' for anything else.
std::vector<std::string> Picture(IDirect3DDevice8* device, int left, int top, int width, int height,
                                 uint32_t background, uint32_t ink);
uint32_t PixelAt(IDirect3DDevice8* device, int x, int y);

}  // namespace graphicstest
