// The three vertex layouts the program draws with and the argument record of BlitSprite. The layouts are
// read byte by byte by the device (DrawPrimitiveUP and the scene's vertex buffers), so their sizes and
// field orders are fixed.
#pragma once

#include <cstdint>

#include "render/d3d8.h"

// Screen-space vertex, already transformed: x and y in pixels, z 0, rhw 1.
struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;  // A8R8G8B8
  float u, v;
};
constexpr DWORD SCREEN_VERTEX_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x144
static_assert(sizeof(ScreenVertex) == 28);
static_assert(SCREEN_VERTEX_FVF == 0x144);

// World-space vertex, transformed by world × view × projection.
struct SceneVertex {
  float x, y, z;
  D3DCOLOR colour;  // A8R8G8B8
  float u, v;
};
constexpr DWORD SCENE_VERTEX_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x142
static_assert(sizeof(SceneVertex) == 24);
static_assert(SCENE_VERTEX_FVF == 0x142);

// A data value as a vertex coordinate: the nearest float, values beyond float's range held at its
// largest (so a row out there still lies in its direction from the eye).
inline float RowCoordinate(double value) {
  constexpr double kLargest = 3.4028234663852886e38;
  return static_cast<float>(value > kLargest ? kLargest : value < -kLargest ? -kLargest : value);
}

// A data row in a vertex buffer: a world-space position and its colour, no texture coordinates.
struct RowVertex {
  float x, y, z;
  D3DCOLOR colour;  // A8R8G8B8
};
constexpr DWORD ROW_VERTEX_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;  // 0x042
static_assert(sizeof(RowVertex) == 16);

// One textured screen rectangle: `source` (texels of level 0) drawn with its top-left corner at (x, y).
struct SpriteBlit {
  int32_t x = 0, y = 0;
  RECT source{0, 0, 0, 0};                  // left, top, right, bottom
  IDirect3DTexture8* texture = nullptr;     // borrowed (e.g. from GetTexture); null draws nothing
  D3DCOLOR colour = 0xFFFFFFFFu;            // multiplies the texel's colour and alpha
  bool noSprite = false;                    // true: never take the D3DX sprite path
};
