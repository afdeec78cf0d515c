// World-space drawing through the program's camera: a right-handed view and projection with the near
// plane at 0, so every depth is 1.0 and lines through the eye must be clipped before the divide.
#include <cmath>

#include "render_test_util.h"

namespace rendertest {
namespace {

class SceneProjection : public DeviceFixture {
 protected:
  void SetUp() override {
    Open(64, 48);
    // Eye on +x looking at the origin, z up; fov 60 degrees, aspect 4:3, near 0, far 1000.
    D3DXVECTOR3 eye(100, 0, 0), at(0, 0, 0), up(0, 0, 1);
    D3DXMATRIX view, proj, world;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&proj, 1.0471976f, 64.0f / 48.0f, 0.0f, 1000.0f);
    D3DXMatrixIdentity(&world);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &proj);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetVertexShader(kSceneFvf);
  }
  void WorldPoint(float x, float y, float z) {
    SceneVertex v{x, y, z, kWhite, 0, 0};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v), D3D_OK);
  }
  void WorldLine(float x0, float y0, float z0, float x1, float y1, float z1) {
    SceneVertex v[2] = {{x0, y0, z0, kWhite, 0, 1}, {x1, y1, z1, kWhite, 1, 1}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 1, v, sizeof v[0]), D3D_OK);
  }
};

TEST_F(SceneProjection, OriginLandsOnTheCentrePixelAndPassesTheClearedDepth) {
  WorldPoint(0, 0, 0);
  // x = (1 + 0) * 64 / 2 = 32, y = 24: exactly on a pixel centre.
  EXPECT_EQ(Pixel(32, 24) | 0xFF000000u, kWhite);
  EXPECT_EQ(CountNot(kBlack), 1);
  // The same spot again in another colour: depth 1.0 equals the cleared depth, and LESSEQUAL passes.
  SceneVertex v{0, 0, 0, 0xFF00FF00, 0, 0};
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
  EXPECT_EQ(Pixel(32, 24) | 0xFF000000u, 0xFF00FF00u);
}

TEST_F(SceneProjection, PointsOutsideTheFrustumDrawNothing) {
  WorldPoint(200, 0, 0);     // behind the eye
  WorldPoint(100, 0, 0);     // at the eye
  WorldPoint(0, 500, 0);     // far to the side
  WorldPoint(0, 0, -500);    // far below
  EXPECT_EQ(CountNot(kBlack), 0);
}

TEST_F(SceneProjection, WithNearZeroTheFarPlaneClipsNothing) {
  // z equals w at every distance in front of the eye, so a point 2100 away still has depth 1.0.
  WorldPoint(-2000, 0, 0);
  EXPECT_EQ(Pixel(32, 24) | 0xFF000000u, kWhite);
}

TEST_F(SceneProjection, LineFromBehindTheEyeIsClippedWithoutStrayPixels) {
  // From behind the eye, through it, to the origin: only the part in front shows, which projects onto
  // the centre pixel's neighbourhood; nothing may appear elsewhere and nothing may be NaN-garbage.
  WorldLine(300, 0, 0, 0, 0, 0);
  const int lit = CountNot(kBlack);
  EXPECT_GE(lit, 1);
  EXPECT_LE(lit, 2);
  EXPECT_EQ(Pixel(32, 24) | 0xFF000000u, kWhite);
}

TEST_F(SceneProjection, AxisLineThroughTheEyeSideIsClippedAtTheViewEdges) {
  // The x axis from -999 to 999 passes through the eye at x = 100: its visible part runs from the
  // centre down the view axis; a y-axis line crosses the whole view horizontally.
  WorldLine(0, -999, 0, 0, 999, 0);
  int w = 0, h = 0;
  const uint32_t* p = device->BackBufferPixels(&w, &h);
  for (int x = 0; x < w; ++x) EXPECT_EQ(p[24 * w + x] | 0xFF000000u, kWhite) << "column " << x;
  EXPECT_EQ(CountNot(kBlack), w);
}

TEST_F(SceneProjection, WorldTranslationMovesAVertexBufferPoint) {
  IDirect3DVertexBuffer8* vb = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(48, 0, kSceneFvf, D3DPOOL_MANAGED, &vb), D3D_OK);
  BYTE* data = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
  SceneVertex two[2] = {{0, 0, 0, kWhite, 0, 0}, {0, 0, 0, kWhite, 0, 0}};
  std::memcpy(data, two, sizeof two);
  vb->Unlock();
  device->SetStreamSource(0, vb, sizeof(SceneVertex));
  // Two points: at the origin and moved left in view (world -y is screen left for this camera).
  for (float y : {0.0f, 10.0f}) {
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 0, y, 0);
    device->SetTransform(D3DTS_WORLD, &world);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3D_OK);
  }
  EXPECT_EQ(Pixel(32, 24) | 0xFF000000u, kWhite);
  EXPECT_EQ(CountNot(kBlack), 2);
  // Drawing past the end of the buffer is refused.
  EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 1, 2), D3DERR_INVALIDCALL);
  device->SetStreamSource(0, nullptr, 0);
  vb->Release();
}

TEST_F(SceneProjection, LitVerticesWithoutNormalsComeOutBlack) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  WorldPoint(0, 0, 0);
  EXPECT_EQ(Pixel(32, 24) | 0xFF000000u, kBlack);
}

TEST_F(SceneProjection, LinearFogFadesTowardsTheFogColour) {
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
  device->SetRenderState(D3DRS_FOGCOLOR, 0xFFFF0000);
  float start = 0.0f, end = 200.0f;  // the origin is 100 away: half fog
  DWORD s, e;
  std::memcpy(&s, &start, 4);
  std::memcpy(&e, &end, 4);
  device->SetRenderState(D3DRS_FOGSTART, s);
  device->SetRenderState(D3DRS_FOGEND, e);
  WorldPoint(0, 0, 0);
  const uint32_t p = Pixel(32, 24);
  EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 255, 1);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 2);
}

}  // namespace
}  // namespace rendertest
