// Render states, texture binding, camera, world translation, fog, clear, present and the light, as the
// device sees them (recording device) and as the matrices come out.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "graphics_test_util.h"

namespace {

using graphicstest::RecordedGraphicsTest;
using graphicstest::Settings;
using ::testing::ElementsAre;

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

class RenderStatesTest : public RecordedGraphicsTest {
 protected:
  void SetUp() override {
    RecordedGraphicsTest::SetUp();
    ASSERT_EQ(Open(), GRAPHICS_OK);
    log->Clear();
  }
};

// The device's states after a call, not the order of the calls that set them: what draws later reads.
using StateValues = std::vector<std::pair<int, DWORD>>;
StateValues RenderStatesOf(IDirect3DDevice8* device, const StateValues& wanted) {
  StateValues got;
  for (const auto& [state, value] : wanted) {
    DWORD v = 0xDEADBEEF;
    device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &v);
    got.emplace_back(state, v);
  }
  return got;
}
StateValues StageStatesOf(IDirect3DDevice8* device, const StateValues& wanted) {
  StateValues got;
  for (const auto& [type, value] : wanted) {
    DWORD v = 0xDEADBEEF;
    device->GetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(type), &v);
    got.emplace_back(type, v);
  }
  return got;
}

// --- the fixed render states

TEST_F(RenderStatesTest, LitAndUnlitStatesLeaveTheDeviceInTheirStates) {
  const StateValues unlit = {{D3DRS_ZENABLE, 1},   {D3DRS_ZWRITEENABLE, 1}, {D3DRS_NORMALIZENORMALS, 1},
                             {D3DRS_DITHERENABLE, 1}, {D3DRS_CULLMODE, 3},  {D3DRS_LIGHTING, 0},
                             {D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                             {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}};
  graphics->SetRenderStates(false);
  EXPECT_EQ(RenderStatesOf(graphics->device, unlit), unlit);
  EXPECT_EQ(log->CountStartingWith("SetLight("), 0u);

  log->Clear();
  graphics->SetupLight();
  EXPECT_TRUE(Calls().empty());  // filling the light does not talk to the device
  const StateValues lit = {{D3DRS_ZENABLE, 1},         {D3DRS_ZWRITEENABLE, 1},
                           {D3DRS_NORMALIZENORMALS, 1},     {D3DRS_DITHERENABLE, 1},
                           {D3DRS_CULLMODE, 3},        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
                           {D3DRS_AMBIENT, 0xFF000000}, {D3DRS_SPECULARENABLE, 1},
                           {D3DRS_LIGHTING, 1},        {D3DRS_ALPHABLENDENABLE, 0},
                           {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}};
  graphics->SetRenderStates(true);
  EXPECT_EQ(RenderStatesOf(graphics->device, lit), lit);
  D3DLIGHT8 light{};
  BOOL enabled = FALSE;
  graphics->device->GetLight(0, &light);
  graphics->device->GetLightEnable(0, &enabled);
  // Of the light the device reads the ambient colour alone (the vertices have no normals).
  EXPECT_TRUE(enabled && light.Type == D3DLIGHT_DIRECTIONAL);
  EXPECT_EQ(light.Ambient.r + light.Ambient.g + light.Ambient.b, 3.0f);
}

TEST_F(RenderStatesTest, LitPointsComeOutBlackAndUnlitOnesInTheirOwnColour) {
  // With the default material and no normals, lighting leaves the ambient terms alone: black.
  graphics->SetupLight();
  for (bool lit : {false, true}) {
    SCOPED_TRACE(lit);
    graphics->SetRenderStates(lit);
    graphics->SetCamera(0, -10, 0, 0, 0, 0, 0, 0, 1, 1, 100, false);
    graphics->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060);
    graphics->device->BeginScene();
    graphics->DrawPoint(0, 0, 0, 0xFFFFC080);
    graphics->device->EndScene();
    EXPECT_EQ(graphicstest::PixelAt(graphics->device, 320, 240) & 0xFFFFFF, lit ? 0u : 0xFFC080u);
  }
}

TEST_F(RenderStatesTest, SetBlendFuncSetsBothFactors) {
  graphics->SetBlendFunc(D3DBLEND_ONE, D3DBLEND_ZERO);
  const StateValues wanted = {{D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ZERO}};
  EXPECT_EQ(RenderStatesOf(graphics->device, wanted), wanted);
}

// --- texture binding and its process-wide cache

TEST_F(RenderStatesTest, BindTextureSetsTextureFormatAndStageStates) {
  IDirect3DTexture8* texture = MakeTexture();
  log->Clear();
  graphics->BindTexture(0, texture, 0x144);
  IDirect3DBaseTexture8* bound = nullptr;
  graphics->device->GetTexture(0, &bound);
  EXPECT_EQ(bound, texture);
  if (bound) bound->Release();
  DWORD format = 0;
  graphics->device->GetVertexShader(&format);
  EXPECT_EQ(format, 0x144u);
  const StateValues stage = {{D3DTSS_ALPHAOP, D3DTOP_MODULATE},   {D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
                             {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},   {D3DTSS_COLOROP, D3DTOP_MODULATE},
                             {D3DTSS_COLORARG1, D3DTA_TEXTURE},   {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
                             {D3DTSS_MIPFILTER, D3DTEXF_POINT},   {D3DTSS_MAGFILTER, D3DTEXF_POINT},
                             {D3DTSS_MINFILTER, D3DTEXF_POINT}};
  EXPECT_EQ(StageStatesOf(graphics->device, stage), stage);
}

TEST_F(RenderStatesTest, BindTextureWithTheSameTextureAgainChangesNothingEvenTheFormat) {
  IDirect3DTexture8* texture = MakeTexture();
  graphics->BindTexture(0, texture, 0x144);
  log->Clear();
  graphics->BindTexture(0, texture, 0x142);
  graphics->BindTexture(1, texture, 0x142);
  EXPECT_TRUE(Calls().empty());
  DWORD format = 0;
  graphics->device->GetVertexShader(&format);
  EXPECT_EQ(format, 0x144u);  // the device keeps the first format
}

TEST_F(RenderStatesTest, BindTextureWithNullBeforeAnyBindingMakesNoCall) {
  graphics->BindTexture(0, nullptr, 0x142);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(RenderStatesTest, BindTextureSwitchesBetweenTexturesAndBackToNull) {
  IDirect3DTexture8* a = MakeTexture();
  IDirect3DTexture8* b = MakeTexture();
  log->Clear();
  graphics->BindTexture(0, a, 0x144);
  graphics->BindTexture(0, b, 0x144);
  graphics->BindTexture(0, nullptr, 0x142);
  graphics->BindTexture(0, nullptr, 0x142);
  EXPECT_THAT(log->EntriesStartingWith("SetTexture("), ElementsAre("SetTexture(0, tex1)", "SetTexture(0, tex2)",
                                                                   "SetTexture(0, null)"));
  EXPECT_EQ(log->CountStartingWith("SetTextureStageState("), 27u);
}

TEST_F(RenderStatesTest, TheBindingCacheIsSharedByEveryDirectGraphics) {
  IDirect3DTexture8* texture = MakeTexture();
  graphics->BindTexture(0, texture, 0x144);
  // A second object on its own device still believes the texture is bound: one value per process.
  render::RecordingDirect3D* other = new render::RecordingDirect3D(log);
  DirectGraphics second([other](UINT) { return other; });
  ASSERT_EQ(graphicstest::InitWith(second, Settings()), GRAPHICS_OK);
  log->Clear();
  second.BindTexture(0, texture, 0x144);
  EXPECT_TRUE(Calls().empty());
  ResetTextureBindingCache();
  second.BindTexture(0, texture, 0x144);
  EXPECT_EQ(log->CountStartingWith("SetTexture("), 1u);
  second.device->SetTexture(0, nullptr);  // the texture belongs to the first device
  ResetTextureBindingCache();
}

// --- fog

TEST_F(RenderStatesTest, SetFogSetsLinearTableFogWithFloatBits) {
  struct Case {
    bool on;
    float start, end;
    D3DCOLOR colour;
  };
  for (const Case& c : {Case{false, 0.0f, 800.0f, 0xFF000000}, Case{true, 12.5f, 99.0f, 0xFF102030}}) {
    graphics->SetFog(c.on, c.start, c.end, c.colour);
    const StateValues wanted = {{D3DRS_FOGENABLE, c.on ? 1u : 0u}, {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
                                {D3DRS_FOGTABLEMODE, D3DFOG_LINEAR}, {D3DRS_FOGSTART, Bits(c.start)},
                                {D3DRS_FOGEND, Bits(c.end)},        {D3DRS_FOGCOLOR, c.colour}};
    EXPECT_EQ(RenderStatesOf(graphics->device, wanted), wanted);
  }
}

TEST_F(RecordedGraphicsTest, SetFogMakesNoCallAtAllWhenFogIsOff) {
  Settings s;
  s.fog = 0;
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  log->Clear();
  graphics->SetFog(true, 0.0f, 800.0f, 0xFF000000);
  EXPECT_TRUE(Calls().empty());
}

// --- clear and present

TEST_F(RenderStatesTest, ClearCoversTheWholeTargetWithDepthOne) {
  graphics->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF140000);
  EXPECT_THAT(Calls(), ElementsAre("Clear(0, 3, 0xff140000, 1, 0)"));
  EXPECT_EQ(graphicstest::PixelAt(graphics->device, 0, 0), 0xFF140000u);
  EXPECT_EQ(graphicstest::PixelAt(graphics->device, 639, 479), 0xFF140000u);
}

TEST_F(RenderStatesTest, PresentThatSucceedsMakesNoReset) {
  graphics->Present(RECT{0, 0, 640, 480}, RECT{0, 0, 640, 480});
  EXPECT_THAT(Calls(), ElementsAre("Present((0,0,640,480), (0,0,640,480))"));
}

TEST_F(RenderStatesTest, AFailedPresentIsFollowedByExactlyOneResetWithTheSetUpParameters) {
  log->FailCall("Present", D3DERR_DEVICELOST, 1);
  graphics->Present(RECT{0, 0, 640, 480}, RECT{0, 0, 640, 480});
  EXPECT_THAT(Calls(), ElementsAre("Present((0,0,640,480), (0,0,640,480))",
                                   "Reset(640x480, format 22, swap 3, windowed 1)"));
  log->Clear();
  graphics->Present(RECT{0, 0, 640, 480}, RECT{0, 0, 640, 480});  // the next frame presents anew
  EXPECT_THAT(Calls(), ElementsAre("Present((0,0,640,480), (0,0,640,480))"));
}

TEST_F(RenderStatesTest, AFailingResetChangesNothingFurther) {
  log->FailCall("Present", D3DERR_DEVICELOST, 1);
  log->FailCall("Reset", D3DERR_DEVICENOTRESET, 1);
  graphics->Present(RECT{0, 0, 640, 480}, RECT{0, 0, 320, 240});
  EXPECT_THAT(Calls(), ElementsAre("Present((0,0,640,480), (0,0,320,240))",
                                   "Reset(640x480, format 22, swap 3, windowed 1)"));
}

// --- camera and world

// The expected matrices, written out from the look-at and perspective formulas in doubles.
struct Expected {
  double view[4][4];
  double projection[4][4];
};

Expected CameraMatrices(const double eye[3], const double at[3], const double up[3], double zn, double zf,
                        double aspect, bool leftHanded) {
  auto normalise = [](double v[3]) {
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i) v[i] /= n;
  };
  auto cross = [](const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
  };
  auto dot = [](const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
  double z[3], x[3], y[3];
  for (int i = 0; i < 3; ++i) z[i] = leftHanded ? at[i] - eye[i] : eye[i] - at[i];
  normalise(z);
  cross(up, z, x);
  normalise(x);
  cross(z, x, y);
  Expected e{};
  for (int r = 0; r < 3; ++r) {
    e.view[r][0] = x[r];
    e.view[r][1] = y[r];
    e.view[r][2] = z[r];
  }
  e.view[3][0] = -dot(x, eye);
  e.view[3][1] = -dot(y, eye);
  e.view[3][2] = -dot(z, eye);
  e.view[3][3] = 1.0;
  const double h = 1.0 / std::tan(1.0471976 / 2.0), w = h / aspect;
  e.projection[0][0] = w;
  e.projection[1][1] = h;
  if (leftHanded) {
    e.projection[2][2] = zf / (zf - zn);
    e.projection[2][3] = 1.0;
    e.projection[3][2] = -zn * zf / (zf - zn);
  } else {
    e.projection[2][2] = zf / (zn - zf);
    e.projection[2][3] = -1.0;
    e.projection[3][2] = zn * zf / (zn - zf);
  }
  return e;
}

void ExpectMatrix(const D3DMATRIX& actual, const double expected[4][4]) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual.m[r][c], expected[r][c], 1e-4 * (1.0 + std::fabs(expected[r][c]))) << r << "," << c;
}

TEST_F(RenderStatesTest, SetCameraSetsViewThenProjectionForBothHands) {
  const double eye[3] = {176.78, 176.78, 150.0}, at[3] = {10.0, -5.0, 2.0}, up[3] = {0.0, 0.0, 1.0};
  for (bool leftHanded : {false, true}) {
    SCOPED_TRACE(leftHanded ? "left-handed" : "right-handed");
    log->Clear();
    graphics->SetCamera(176.78f, 176.78f, 150.0f, 10.0f, -5.0f, 2.0f, 0.0f, 0.0f, 1.0f, 3, 1000, leftHanded);
    const auto sets = log->EntriesStartingWith("SetTransform(");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].rfind("SetTransform(2, ", 0), 0u);
    EXPECT_EQ(sets[1].rfind("SetTransform(3, ", 0), 0u);
    const Expected e = CameraMatrices(eye, at, up, 3.0, 1000.0, 640.0 / 480.0, leftHanded);
    D3DMATRIX view, projection;
    graphics->device->GetTransform(D3DTS_VIEW, &view);
    graphics->device->GetTransform(D3DTS_PROJECTION, &projection);
    ExpectMatrix(view, e.view);
    ExpectMatrix(projection, e.projection);
  }
}

TEST_F(RecordedGraphicsTest, SetCameraTakesTheAspectFromTheConfiguredSizeNotTheWindow) {
  Settings s;
  s.width = 800;
  s.height = 400;
  ASSERT_EQ(Open(s), GRAPHICS_OK);
  graphics->config.Width = 640;  // what the camera reads, whatever the back buffer is
  graphics->config.Height = 480;
  graphics->SetCamera(0, -10, 0, 0, 0, 0, 0, 0, 1, 0, 1000, false);
  D3DMATRIX projection;
  graphics->device->GetTransform(D3DTS_PROJECTION, &projection);
  const double h = 1.0 / std::tan(1.0471976 / 2.0);
  EXPECT_NEAR(projection.m[1][1], h, 1e-5);
  EXPECT_NEAR(projection.m[0][0], h * 3.0 / 4.0, 1e-5);
}

TEST_F(RenderStatesTest, TranslateWorldMultipliesOnTheRightAndLeavesTheDeviceAlone) {
  D3DXMatrixIdentity(&graphics->worldMatrix);
  graphics->worldMatrix.m[0][0] = 2.0f;  // a scale first, so the order of the product shows
  graphics->TranslateWorld(1.0f, 2.0f, 3.0f);
  graphics->TranslateWorld(10.0f, 0.0f, -1.0f);
  EXPECT_TRUE(Calls().empty());
  const D3DXMATRIX& m = graphics->worldMatrix;
  EXPECT_FLOAT_EQ(m.m[0][0], 2.0f);  // scale × translation keeps the scale, moves by the sums
  EXPECT_FLOAT_EQ(m.m[3][0], 11.0f);
  EXPECT_FLOAT_EQ(m.m[3][1], 2.0f);
  EXPECT_FLOAT_EQ(m.m[3][2], 2.0f);
  EXPECT_FLOAT_EQ(m.m[3][3], 1.0f);
  EXPECT_FLOAT_EQ(m.m[0][3], 0.0f);
}

TEST_F(RenderStatesTest, TranslateWorldFromTheIdentityGivesTheProductsBitsForEveryOffset) {
  // The identity start has a short route; it must leave exactly what the matrix product leaves,
  // signed zeros and non-finite offsets included.
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const float offsets[] = {0.0f, -0.0f, 1.5f, -7.25f, 1e-40f, -1e-40f, 3e38f, -3e38f, inf, -inf, nan};
  D3DXMATRIX negativeZeroIdentity;
  D3DXMatrixIdentity(&negativeZeroIdentity);
  negativeZeroIdentity.m[0][1] = -0.0f;  // equal to the identity by value, not by bits
  for (int start = 0; start < 2; ++start)
    for (float x : offsets)
      for (float y : {0.0f, -0.0f, 2.0f, inf})
        for (float z : {-0.0f, -3.0f, nan}) {
          D3DXMATRIX begin;
          D3DXMatrixIdentity(&begin);
          if (start == 1) begin = negativeZeroIdentity;
          D3DXMATRIX translation, expected;
          D3DXMatrixTranslation(&translation, x, y, z);
          D3DXMatrixMultiply(&expected, &begin, &translation);
          graphics->worldMatrix = begin;
          graphics->TranslateWorld(x, y, z);
          for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
              ASSERT_EQ(Bits(graphics->worldMatrix.m[i][j]), Bits(expected.m[i][j]))
                  << "start " << start << " offset (" << x << ", " << y << ", " << z << ") at " << i << "," << j;
        }
  EXPECT_TRUE(Calls().empty());
}

}  // namespace
