// GDI font handles: plain heap objects holding what they were created with.
#include "render/gdi_font.h"

#include <new>

HFONT CreateFontA(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD charSet, DWORD, DWORD, DWORD,
                  DWORD, const char* faceName) {
  GdiFont* font = new (std::nothrow) GdiFont();
  if (!font) return nullptr;
  font->height = height;
  font->weight = weight;
  font->charSet = charSet;
  if (faceName) font->faceName = faceName;
  return font;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (!object) return FALSE;
  delete object;
  return TRUE;
}
