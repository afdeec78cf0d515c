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

// --- the fixed render states

TEST_F(RenderStatesTest, UnlitStatesSwitchLightingOffAndBlendingOnInThisOrder) {
  graphics->SetRenderStates(false);
  EXPECT_THAT(Calls(), ElementsAre("SetRenderState(7, 1)", "SetRenderState(14, 1)", "SetRenderState(143, 1)",
                                   "SetRenderState(26, 1)", "SetRenderState(22, 3)", "SetRenderState(137, 0)",
                                   "SetRenderState(27, 1)", "SetRenderState(19, 5)", "SetRenderState(20, 6)"));
}

TEST_F(RenderStatesTest, LitStatesHandOverTheStoredLightAndSwitchBlendingOff) {
  graphics->SetupLight();
  EXPECT_TRUE(Calls().empty());  // filling the light does not talk to the device
  graphics->SetRenderStates(true);
  EXPECT_THAT(Calls(),
              ElementsAre("SetRenderState(7, 1)", "SetRenderState(14, 1)", "SetRenderState(143, 1)",
                          "SetRenderState(26, 1)", "SetRenderState(22, 3)", "SetRenderState(9, 2)",
                          "SetRenderState(139, 4278190080)",
                          "SetLight(0, type 3, diffuse (1.5,1.5,1.5,0), specular (0,0,0,0), ambient (1,1,1,0), "
                          "direction (-0.57735,-0.57735,-0.57735))",
                          "LightEnable(0, 1)", "SetRenderState(29, 1)", "SetRenderState(137, 1)",
                          "SetRenderState(27, 0)", "SetRenderState(19, 5)", "SetRenderState(20, 6)"));
}

TEST_F(RenderStatesTest, SetupLightFillsADirectionalLightOfUnitLength) {
  graphics->light.Range = 99.0f;  // cleared first
  graphics->SetupLight();
  const D3DLIGHT8& l = graphics->light;
  EXPECT_EQ(l.Type, D3DLIGHT_DIRECTIONAL);
  EXPECT_FLOAT_EQ(l.Diffuse.r, 1.5f);
  EXPECT_FLOAT_EQ(l.Diffuse.a, 0.0f);
  EXPECT_FLOAT_EQ(l.Ambient.g, 1.0f);
  EXPECT_FLOAT_EQ(l.Specular.b, 0.0f);
  const float d = -1.0f / std::sqrt(3.0f);
  EXPECT_NEAR(l.Direction.x, d, 1e-6);
  EXPECT_NEAR(l.Direction.y, d, 1e-6);
  EXPECT_NEAR(l.Direction.z, d, 1e-6);
  EXPECT_EQ(l.Range, 0.0f);
  EXPECT_EQ(l.Position.x, 0.0f);
}

TEST_F(RenderStatesTest, SetBlendFuncSetsSourceThenDestination) {
  graphics->SetBlendFunc(D3DBLEND_ONE, D3DBLEND_ZERO);
  EXPECT_THAT(Calls(), ElementsAre("SetRenderState(19, 2)", "SetRenderState(20, 1)"));
}

// --- texture binding and its process-wide cache

TEST_F(RenderStatesTest, BindTextureSetsTextureFormatAndStageStatesOnce) {
  IDirect3DTexture8* texture = MakeTexture();
  log->Clear();
  graphics->BindTexture(0, texture, 0x144);
  EXPECT_THAT(Calls(), ElementsAre("SetTexture(0, tex1)", "SetVertexShader(0x00000144)",
                                   "SetTextureStageState(0, 4, 4)", "SetTextureStageState(0, 5, 2)",
                                   "SetTextureStageState(0, 6, 0)", "SetTextureStageState(0, 1, 4)",
                                   "SetTextureStageState(0, 2, 2)", "SetTextureStageState(0, 3, 0)",
                                   "SetTextureStageState(0, 18, 1)", "SetTextureStageState(0, 16, 1)",
                                   "SetTextureStageState(0, 17, 1)"));
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
  graphics->SetFog(false, 0.0f, 800.0f, 0xFF000000);
  EXPECT_THAT(Calls(), ElementsAre("SetRenderState(28, 0)", "SetRenderState(140, 0)", "SetRenderState(35, 3)",
                                   "SetRenderState(36, " + std::to_string(Bits(0.0f)) + ")",
                                   "SetRenderState(37, " + std::to_string(Bits(800.0f)) + ")",
                                   "SetRenderState(34, 4278190080)"));
  log->Clear();
  graphics->SetFog(true, 12.5f, 99.0f, 0xFF102030);
  EXPECT_THAT(Calls(), ElementsAre("SetRenderState(28, 1)", "SetRenderState(140, 0)", "SetRenderState(35, 3)",
                                   "SetRenderState(36, " + std::to_string(Bits(12.5f)) + ")",
                                   "SetRenderState(37, " + std::to_string(Bits(99.0f)) + ")",
                                   "SetRenderState(34, " + std::to_string(0xFF102030u) + ")"));
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
