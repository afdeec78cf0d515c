// The recording wrapper: readable call entries in order, real pixels underneath, injected failures.
#include "recording_device.h"
#include "render_test_util.h"

namespace rendertest {
namespace {

class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d = new render::RecordingDirect3D();
    D3DPRESENT_PARAMETERS pp = Params(8, 4);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
              D3D_OK);
    ASSERT_EQ(device, d3d->LastDevice());
  }
  void TearDown() override {
    if (device) device->Release();
    d3d->Release();
  }
  render::RecordingDirect3D* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
};

TEST_F(Recording, EntriesAreReadableAndInOrder) {
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetVertexShader(0x142);
  device->SetTexture(0, nullptr);
  device->Clear(0, nullptr, 3, 0xFF140000, 1.0f, 0);
  const RECT r{0, 0, 640, 480};
  device->Present(&r, &r, nullptr, nullptr);
  const std::vector<std::string> want = {
      "CreateDevice(0, 1, 0x00000020, 8x4, format 22, count 1, swap 3, windowed 1, depth 1/80)",
      "SetRenderState(7, 1)",
      "SetTextureStageState(0, 1, 4)",
      "SetVertexShader(0x00000142)",
      "SetTexture(0, null)",
      "Clear(0, 3, 0xff140000, 1, 0)",
      "Present((0,0,640,480), (0,0,640,480))"};
  EXPECT_EQ(d3d->Log().Entries(), want);
}

TEST_F(Recording, CallsStillReachTheRealDevice) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  int w = 0, h = 0;
  const uint32_t* p = device->BackBufferPixels(&w, &h);
  EXPECT_EQ(p[0], 0xFF00FF00u);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->BeginScene();
  ScreenVertex v{2, 1, 0, 1, kWhite, 0, 0};
  device->SetVertexShader(kScreenFvf);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v);
  device->EndScene();
  EXPECT_EQ(p[1 * w + 2] | 0xFF000000u, kWhite);
  // The vertices passed are kept with the entry.
  const auto& calls = d3d->Log().Calls();
  const auto& draw = calls[calls.size() - 2];
  EXPECT_EQ(draw.text, "DrawPrimitiveUP(1, 1, 28)");
  ASSERT_EQ(draw.vertices.size(), sizeof v);
  EXPECT_EQ(std::memcmp(draw.vertices.data(), &v, sizeof v), 0);
}

TEST_F(Recording, ObjectsGetStableNames) {
  IDirect3DTexture8* t = nullptr;
  ASSERT_EQ(device->CreateTexture(2, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
  device->SetTexture(0, t);
  device->SetTexture(0, t);
  const auto entries = d3d->Log().EntriesStartingWith("SetTexture(");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], entries[1]);
  EXPECT_EQ(d3d->Log().CountStartingWith("CreateTexture(2, 2, 0, 0, 21, 1) -> tex"), 1u);
  device->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Recording, InjectedPresentFailureIsReturnedOnceThenCallsPassAgain) {
  d3d->Log().FailCall("Present", D3DERR_DEVICELOST, 1);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(d3d->Log().CountStartingWith("Present("), 2u);
}

TEST_F(Recording, InjectedCreateDeviceFailureGivesNoDevice) {
  d3d->Log().FailCall("CreateDevice", D3DERR_NOTAVAILABLE, 1);
  D3DPRESENT_PARAMETERS pp = Params(8, 4);
  IDirect3DDevice8* second = reinterpret_cast<IDirect3DDevice8*>(1);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &second),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(second, nullptr);
  // The fallback attempt succeeds.
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &second), D3D_OK);
  ASSERT_NE(second, nullptr);
  second->Release();
}

}  // namespace
}  // namespace rendertest
