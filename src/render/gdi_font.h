// GDI font stand-ins: a font handle is a small object that holds the requested height and face name.
// Nothing draws with these fonts; the D3DX font object (d3dx8.h) keeps one, as the program expects.
#pragma once

#include <string>

#include "render/d3d8.h"

struct GdiFont {
  int height = 0;
  int weight = 0;
  DWORD charSet = 0;
  std::string faceName;
};
using HFONT = GdiFont*;
using HGDIOBJ = GdiFont*;  // fonts are the only GDI objects this program makes

constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD SHIFTJIS_CHARSET = 128;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD OUT_TT_PRECIS = 4;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD DEFAULT_QUALITY = 0;
constexpr DWORD DEFAULT_PITCH = 0;
constexpr DWORD FF_DONTCARE = 0;

// Returns a new font handle (never null for a sane height); free it with DeleteObject.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName);
// Frees a handle from CreateFontA; FALSE for a null handle.
BOOL DeleteObject(HGDIOBJ object);
