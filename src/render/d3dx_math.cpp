// D3DX matrix and vector helpers, by their documented formulas (row vectors, translation in row 3).
#include <cmath>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "render/d3dx8.h"

namespace {

// Matrices are written a whole row at a time, in one 16-byte store where the processor has them: the
// product below reads them a row at a time, and a wide load of a row still being written by narrower
// stores waits for those to finish (the scene builds and multiplies a translation for every point).
inline void StoreRow(float* row, float a, float b, float c, float d) {
#if defined(__SSE__)
  _mm_storeu_ps(row, _mm_setr_ps(a, b, c, d));
#else
  row[0] = a, row[1] = b, row[2] = c, row[3] = d;
#endif
}

}  // namespace

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
  StoreRow(out->m[0], 1, 0, 0, 0);
  StoreRow(out->m[1], 0, 1, 0, 0);
  StoreRow(out->m[2], 0, 0, 1, 0);
  StoreRow(out->m[3], 0, 0, 0, 1);
  return out;
}

float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) { return a->x * b->x + a->y * b->y + a->z * b->z; }

float D3DXVec3Length(const D3DXVECTOR3* v) { return std::sqrt(D3DXVec3Dot(v, v)); }

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  const D3DXVECTOR3 r(a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x);
  *out = r;
  return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
  const float len = D3DXVec3Length(v);
  if (len == 0.0f) {
    *out = D3DXVECTOR3(0, 0, 0);
    return out;
  }
  const D3DXVECTOR3 r(v->x / len, v->y / len, v->z / len);
  *out = r;
  return out;
}

namespace {

// Shared by both handednesses: `zaxis` already points the way the view looks (LH) or away from it (RH).
D3DXMATRIX* LookAt(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3& zaxis, const D3DXVECTOR3* up) {
  D3DXVECTOR3 z, x, y;
  D3DXVec3Normalize(&z, &zaxis);
  D3DXVec3Cross(&x, up, &z);
  D3DXVec3Normalize(&x, &x);
  D3DXVec3Cross(&y, &z, &x);
  D3DXMATRIX m;
  m.m[0][0] = x.x; m.m[0][1] = y.x; m.m[0][2] = z.x;
  m.m[1][0] = x.y; m.m[1][1] = y.y; m.m[1][2] = z.y;
  m.m[2][0] = x.z; m.m[2][1] = y.z; m.m[2][2] = z.z;
  m.m[3][0] = -D3DXVec3Dot(&x, eye);
  m.m[3][1] = -D3DXVec3Dot(&y, eye);
  m.m[3][2] = -D3DXVec3Dot(&z, eye);
  m.m[3][3] = 1.0f;
  *out = m;
  return out;
}

}  // namespace

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up) {
  return LookAt(out, eye, D3DXVECTOR3(at->x - eye->x, at->y - eye->y, at->z - eye->z), up);
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up) {
  return LookAt(out, eye, D3DXVECTOR3(eye->x - at->x, eye->y - at->y, eye->z - at->z), up);
}

namespace {

// The library's tangent, always: a compiler that sees a constant angle (the program's field of view,
// once optimisation reaches across files) may work the tangent out itself, correctly rounded, which
// can be an ulp away from the library's, and move a line end by a pixel. Every build draws the same.
float TanAtRunTime(float angle) {
  volatile float opaque = angle;
  return std::tan(opaque);
}

}  // namespace

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf) {
  const float h = 1.0f / TanAtRunTime(fovy / 2.0f), w = h / aspect;
  D3DXMATRIX m;
  m.m[0][0] = w;
  m.m[1][1] = h;
  m.m[2][2] = zf / (zf - zn);
  m.m[2][3] = 1.0f;
  m.m[3][2] = -zn * zf / (zf - zn);
  *out = m;
  return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf) {
  const float h = 1.0f / TanAtRunTime(fovy / 2.0f), w = h / aspect;
  D3DXMATRIX m;
  m.m[0][0] = w;
  m.m[1][1] = h;
  m.m[2][2] = zf / (zn - zf);
  m.m[2][3] = -1.0f;
  m.m[3][2] = zn * zf / (zn - zf);
  *out = m;
  return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
  StoreRow(out->m[0], 1, 0, 0, 0);
  StoreRow(out->m[1], 0, 1, 0, 0);
  StoreRow(out->m[2], 0, 0, 1, 0);
  StoreRow(out->m[3], x, y, z, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
  D3DXMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = m1->m[i][0] * m2->m[0][j] + m1->m[i][1] * m2->m[1][j] + m1->m[i][2] * m2->m[2][j] +
                  m1->m[i][3] * m2->m[3][j];
  *out = r;
  return out;
}
