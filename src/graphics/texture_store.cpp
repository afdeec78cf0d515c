// The texture store of DirectGraphics: textures loaded from files beside the program, kept in load
// order under the name they were loaded by.
#include "graphics/texture_store.h"

#include <string>

#include "graphics/direct_graphics.h"
#include "platform/frame_timer.h"

namespace {

// Thrown as char* (not const char*) on a failed load; the catcher may also take it as void*.
char textureLoadError[] = "DDSファイルががが";

}  // namespace

int32_t DirectGraphics::LoadTexture(const char* name, uint32_t filter) {
  textures.emplace_back();
  // The entry at textureCount is the one just appended unless an earlier load failed: then the failed
  // entry is reused and the new empty one stays at the end.
  TextureEntry& entry = textures[static_cast<size_t>(textureCount)];
  entry.name = name ? name : "";
  entry.texture = nullptr;

  // Names are relative to the program's folder and may use '\' as the separator; the stored name
  // keeps them, the path on disk turns them into '/'. Any length works.
  std::string path = FrameTimer::GetModuleDirectory();
  path += '/';
  for (const char* c = name ? name : ""; *c; ++c) path += (*c == '\\') ? '/' : *c;

  IDirect3DTexture8* texture = nullptr;
  const HRESULT hr = D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                                                  D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, filter, filter, 0, nullptr,
                                                  nullptr, &texture);
  if (hr != S_OK) {
    if (texture) texture->Release();  // a loader that fails keeps nothing of ours
    throw textureLoadError;
  }
  entry.texture = texture;
  ++textureCount;
  return 0;
}

int32_t DirectGraphics::FindTexture(const char* name) {
  // Runs for every character of bitmap text: compare in place, no copies.
  if (!name) name = "";
  for (size_t i = 0; i < textures.size(); ++i)
    if (textures[i].name == name) return static_cast<int32_t>(i);
  return -1;
}

IDirect3DTexture8* DirectGraphics::GetTexture(const char* name) {
  const int32_t index = FindTexture(name);
  return index < 0 ? nullptr : textures[static_cast<size_t>(index)].texture;
}

void DirectGraphics::ReleaseTextures() {
  if (textures.empty()) return;
  // First to last, in load order.
  for (TextureEntry& entry : textures) {
    if (entry.texture) {
      entry.texture->Release();
      entry.texture = nullptr;
    }
  }
  textures.clear();
  textureCount = 0;
}
