// The D3DX-like helpers the program uses: matrix and vector math (row-vector convention, exactly the
// documented formulas), texture loading from image files, and the sprite and font objects.
// Implemented in d3dx_math.cpp, texture_loader.cpp, sprite.cpp and font.cpp.
#pragma once

#include "render/d3d8.h"
#include "render/gdi_font.h"

struct D3DXVECTOR2 {
  float x = 0, y = 0;
  D3DXVECTOR2() = default;
  D3DXVECTOR2(float x_, float y_) : x(x_), y(y_) {}
};

struct D3DXVECTOR3 : D3DVECTOR {
  D3DXVECTOR3() : D3DVECTOR{0, 0, 0} {}
  D3DXVECTOR3(float x_, float y_, float z_) : D3DVECTOR{x_, y_, z_} {}
  D3DXVECTOR3(const D3DVECTOR& v) : D3DVECTOR(v) {}
};

struct D3DXMATRIX : D3DMATRIX {
  D3DXMATRIX() : D3DMATRIX{} {}
  D3DXMATRIX(const D3DMATRIX& other) : D3DMATRIX(other) {}
  float& operator()(UINT row, UINT col) { return m[row][col]; }
  float operator()(UINT row, UINT col) const { return m[row][col]; }
};

constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr DWORD D3DX_FILTER_NONE = 1;
constexpr DWORD D3DX_FILTER_POINT = 2;
constexpr DWORD D3DX_FILTER_LINEAR = 3;
constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
constexpr DWORD D3DX_FILTER_BOX = 5;
constexpr DWORD D3DX_FILTER_MIRROR_U = 0x10000;
constexpr DWORD D3DX_FILTER_MIRROR_V = 0x20000;
constexpr DWORD D3DX_FILTER_DITHER = 0x80000;

constexpr HRESULT D3DXERR_INVALIDDATA = MAKE_D3DHRESULT(2905);

// --- math (each returns its pOut) ---
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf);
D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
// out = m1 · m2 (m1 applies first to row vectors); out may alias either argument.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);
// A zero vector normalises to (0, 0, 0).
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b);
float D3DXVec3Length(const D3DXVECTOR3* v);

// --- texture files ---
struct D3DXIMAGE_INFO {
  UINT Width, Height, Depth, MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  DWORD ImageFileFormat;
};
constexpr DWORD D3DXIFF_BMP = 0;
constexpr DWORD D3DXIFF_JPG = 1;
constexpr DWORD D3DXIFF_TGA = 2;
constexpr DWORD D3DXIFF_PNG = 3;
constexpr DWORD D3DXIFF_DDS = 4;

struct PALETTEENTRY {
  BYTE peRed, peGreen, peBlue, peFlags;
};

// DDS (uncompressed mask formats and DXT1/3/5) or PNG/JPEG/BMP/TGA into an A8R8G8B8 texture with the
// requested mip levels (0 or D3DX_DEFAULT = full chain) made with `mipFilter`. Width/height other than
// D3DX_DEFAULT resize with `filter`. A non-zero colour key makes matching texels transparent black.
// Missing, truncated, lying or oversized files give a negative result and no texture.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8* device, const char* srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                     DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                     PALETTEENTRY* palette, IDirect3DTexture8** texture);
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, const char* srcFile, IDirect3DTexture8** texture);

// --- sprite ---
class ID3DXSprite : public IUnknown {
 public:
  virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
  virtual HRESULT Begin() = 0;
  // Draws `srcRect` of level 0 (whole texture when null): scaled, rotated by `rotation` radians about
  // `rotationCenter` (after scaling), then moved by `translation`; texels modulated by `color`.
  virtual HRESULT Draw(IDirect3DTexture8* srcTexture, const RECT* srcRect, const D3DXVECTOR2* scaling,
                       const D3DXVECTOR2* rotationCenter, float rotation, const D3DXVECTOR2* translation,
                       D3DCOLOR color) = 0;
  virtual HRESULT End() = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};
using LPD3DXSPRITE = ID3DXSprite*;
HRESULT D3DXCreateSprite(IDirect3DDevice8* device, ID3DXSprite** sprite);

// --- font: holds its GDI font; nothing in the program draws with it ---
class ID3DXFont : public IUnknown {
 public:
  virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
  // Our extension: the GDI font the object was made from (still owned by the caller).
  virtual HFONT GetGdiFont() = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};
using LPD3DXFONT = ID3DXFont*;
// Fails (no object) for a null device or font handle.
HRESULT D3DXCreateFont(IDirect3DDevice8* device, HFONT font, ID3DXFont** result);
