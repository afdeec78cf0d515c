// D3DX matrix helpers against values worked out by hand (row vectors, translation in row 3).
#include <gtest/gtest.h>

#include <cmath>

#include "render/d3dx8.h"

namespace {

void ExpectMatrix(const D3DXMATRIX& m, const float (&expected)[4][4], float tolerance = 1e-4f) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(m.m[i][j], expected[i][j], tolerance) << "row " << i << " col " << j;
}

// v · M for a point (w = 1).
D3DXVECTOR3 Transform(const D3DXVECTOR3& v, const D3DXMATRIX& m, float* w = nullptr) {
  float out[4];
  for (int j = 0; j < 4; ++j) out[j] = v.x * m.m[0][j] + v.y * m.m[1][j] + v.z * m.m[2][j] + m.m[3][j];
  if (w) *w = out[3];
  return D3DXVECTOR3(out[0], out[1], out[2]);
}

TEST(D3DXLookAt, DefaultCameraOfTheViewerMatchesHandWorkedMatrix) {
  // Orbit angle 45 degrees (with the viewer's pi of 3.141592), radius 250, height 150.
  const double a = 45 * 3.141592 / 180;
  const D3DXVECTOR3 eye(static_cast<float>(std::cos(a) * 250), static_cast<float>(std::sin(a) * 250), 150.0f);
  EXPECT_NEAR(eye.x, 176.78f, 0.01f);
  EXPECT_NEAR(eye.y, 176.78f, 0.01f);
  const D3DXVECTOR3 at(0, 0, 0), up(0, 0, 1);
  D3DXMATRIX view;
  EXPECT_EQ(D3DXMatrixLookAtRH(&view, &eye, &at, &up), &view);
  // z = eye/|eye| (|eye| = sqrt(85000) = 291.5476), x = normalise(up × z), y = z × x.
  const float expected[4][4] = {{-0.707107f, -0.363803f, 0.606339f, 0},
                                {0.707107f, -0.363803f, 0.606339f, 0},
                                {0, 0.857493f, 0.514496f, 0},
                                {0, 0, -291.5476f, 1}};
  ExpectMatrix(view, expected, 2e-3f);
  // The eye goes to the origin and the look-at point onto -z.
  const D3DXVECTOR3 e = Transform(eye, view), t = Transform(at, view);
  EXPECT_NEAR(e.x, 0, 1e-3f);
  EXPECT_NEAR(e.z, 0, 1e-3f);
  EXPECT_NEAR(t.x, 0, 1e-3f);
  EXPECT_NEAR(t.y, 0, 1e-3f);
  EXPECT_NEAR(t.z, -291.5476f, 1e-2f);
}

TEST(D3DXLookAt, LeftHandedLooksAlongPlusZ) {
  const D3DXVECTOR3 eye(0, 0, -10), at(0, 0, 5), up(0, 1, 0);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  const float expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 10, 1}};
  ExpectMatrix(view, expected);
  D3DXMatrixLookAtRH(&view, &eye, &at, &up);
  // Right-handed: z points back at the eye, so x flips too.
  const float expectedRh[4][4] = {{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {0, 0, -10, 1}};
  ExpectMatrix(view, expectedRh);
}

TEST(D3DXPerspective, SixtyDegreesAtFourThirdsWithNearZero) {
  D3DXMATRIX rh, lh;
  D3DXMatrixPerspectiveFovRH(&rh, 1.0471976f, 640.0f / 480.0f, 0.0f, 1000.0f);
  // h = cot(30°) = 1.732051, w = h / (4/3) = 1.299038; far/(near-far) = -1, near·far/(near-far) = 0.
  const float expectedRh[4][4] = {{1.299038f, 0, 0, 0}, {0, 1.732051f, 0, 0}, {0, 0, -1, -1}, {0, 0, 0, 0}};
  ExpectMatrix(rh, expectedRh);
  D3DXMatrixPerspectiveFovLH(&lh, 1.0471976f, 640.0f / 480.0f, 1.0f, 11.0f);
  // far/(far-near) = 1.1, -near·far/(far-near) = -1.1.
  const float expectedLh[4][4] = {{1.299038f, 0, 0, 0}, {0, 1.732051f, 0, 0}, {0, 0, 1.1f, 1}, {0, 0, -1.1f, 0}};
  ExpectMatrix(lh, expectedLh);
}

TEST(D3DXPerspective, AConstantFieldOfViewGivesTheRunTimeLibrarysTangent) {
  // The viewer passes its field of view as a constant; the matrix must not depend on whether the
  // compiler works the tangent out itself (it may round differently), or pictures differ by build.
  volatile float opaque = 1.0471976f;
  const float fov = opaque;
  const float h = 1.0f / std::tan(fov / 2.0f);
  D3DXMATRIX rh, lh;
  D3DXMatrixPerspectiveFovRH(&rh, 1.0471976f, 640.0f / 480.0f, 0.0f, 1000.0f);
  D3DXMatrixPerspectiveFovLH(&lh, 1.0471976f, 640.0f / 480.0f, 0.0f, 1000.0f);
  EXPECT_EQ(rh.m[1][1], h);
  EXPECT_EQ(lh.m[1][1], h);
  EXPECT_EQ(rh.m[0][0], h / (640.0f / 480.0f));
}

TEST(D3DXPerspective, RightHandedMapsNearToDepthZeroAndFarToOne) {
  D3DXMATRIX p;
  D3DXMatrixPerspectiveFovRH(&p, 1.0f, 1.0f, 2.0f, 50.0f);
  float w = 0;
  D3DXVECTOR3 nearPoint = Transform(D3DXVECTOR3(0, 0, -2), p, &w);
  EXPECT_NEAR(nearPoint.z / w, 0.0f, 1e-6f);
  D3DXVECTOR3 farPoint = Transform(D3DXVECTOR3(0, 0, -50), p, &w);
  EXPECT_NEAR(farPoint.z / w, 1.0f, 1e-6f);
}

TEST(D3DXMultiply, FirstArgumentAppliesFirst) {
  D3DXMATRIX translate, rotate, tr, rt;
  D3DXMatrixTranslation(&translate, 1, 0, 0);
  // 90 degrees about z: x goes to y.
  D3DXMatrixIdentity(&rotate);
  rotate.m[0][0] = 0;
  rotate.m[0][1] = 1;
  rotate.m[1][0] = -1;
  rotate.m[1][1] = 0;
  D3DXMatrixMultiply(&tr, &translate, &rotate);
  D3DXMatrixMultiply(&rt, &rotate, &translate);
  const D3DXVECTOR3 a = Transform(D3DXVECTOR3(0, 0, 0), tr), b = Transform(D3DXVECTOR3(0, 0, 0), rt);
  EXPECT_NEAR(a.x, 0, 1e-6f);
  EXPECT_NEAR(a.y, 1, 1e-6f);
  EXPECT_NEAR(b.x, 1, 1e-6f);
  EXPECT_NEAR(b.y, 0, 1e-6f);
}

TEST(D3DXMultiply, OutputMayAliasAnInput) {
  D3DXMATRIX m, t;
  D3DXMatrixTranslation(&m, 1, 2, 3);
  D3DXMatrixTranslation(&t, 10, 20, 30);
  D3DXMatrixMultiply(&m, &m, &t);  // the viewer's worldMatrix = worldMatrix × translation
  const float expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {11, 22, 33, 1}};
  ExpectMatrix(m, expected, 0);
}

TEST(D3DXVector, NormaliseGivesUnitLengthAndZeroStaysZero) {
  D3DXVECTOR3 v(-1, -1, -1), n;
  D3DXVec3Normalize(&n, &v);
  EXPECT_NEAR(n.x, -0.57735f, 1e-5f);
  EXPECT_NEAR(n.y, -0.57735f, 1e-5f);
  EXPECT_NEAR(n.z, -0.57735f, 1e-5f);
  D3DXVECTOR3 zero(0, 0, 0);
  D3DXVec3Normalize(&n, &zero);
  EXPECT_EQ(n.x, 0.0f);
  EXPECT_EQ(n.y, 0.0f);
  EXPECT_EQ(n.z, 0.0f);
}

}  // namespace
