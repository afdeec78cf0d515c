// One entry of DirectGraphics' texture store: a texture and the name it was loaded under. The store
// itself (LoadTexture, FindTexture, GetTexture, ReleaseTextures) is part of DirectGraphics and lives in
// texture_store.cpp.
#pragma once

#include <string>

#include "render/d3d8.h"

// The entry does not own its texture: copying copies the reference without taking a new one, and
// destroying an entry frees only the name. DirectGraphics::ReleaseTextures gives the references back.
struct TextureEntry {
  TextureEntry() = default;
  TextureEntry(const TextureEntry&) = default;
  TextureEntry& operator=(const TextureEntry&) = default;
  TextureEntry(TextureEntry&&) = default;
  TextureEntry& operator=(TextureEntry&&) = default;
  virtual ~TextureEntry() = default;

  IDirect3DTexture8* texture = nullptr;  // null while not loaded
  std::string name;                      // exactly as the caller gave it (backslashes kept)
};
