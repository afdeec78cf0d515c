// Loading texture files into device textures: DDS and PNG, full mip chains, failures without a texture.
#include <stb/stb_image_write.h>

#include "dds_builder.h"
#include "render_test_util.h"
#include "../support/temp_dir.h"

namespace rendertest {
namespace {

class TextureLoader : public DeviceFixture {
 protected:
  void SetUp() override { Open(4, 4); }
  HRESULT Load(const std::string& path, IDirect3DTexture8** t, DWORD filter = D3DX_FILTER_POINT) {
    return D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_A8R8G8B8,
                                        D3DPOOL_MANAGED, filter, filter, 0, nullptr, nullptr, t);
  }
  std::vector<uint32_t> Level(IDirect3DTexture8* t, UINT level) {
    D3DSURFACE_DESC d;
    EXPECT_EQ(t->GetLevelDesc(level, &d), D3D_OK);
    D3DLOCKED_RECT r;
    EXPECT_EQ(t->LockRect(level, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
    std::vector<uint32_t> out(d.Width * d.Height);
    for (UINT y = 0; y < d.Height; ++y)
      std::memcpy(&out[y * d.Width], static_cast<uint8_t*>(r.pBits) + y * r.Pitch, d.Width * 4);
    t->UnlockRect(level);
    return out;
  }
  testsupport::TempDir dir;
};

TEST_F(TextureLoader, DdsGetsAFullPointFilteredMipChain) {
  DdsFields f;
  f.width = 4;
  f.height = 2;
  const std::vector<uint32_t> texels = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004,
                                        0xFF000005, 0xFF000006, 0xFF000007, 0xFF000008};
  testsupport::WriteFile(dir / "t.dds", DdsHeader(f) + Texels(texels, 4));
  IDirect3DTexture8* t = nullptr;
  ASSERT_EQ(Load(dir / "t.dds", &t), D3D_OK);
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->GetLevelCount(), 3u);  // 4×2, 2×1, 1×1
  D3DSURFACE_DESC d;
  ASSERT_EQ(t->GetLevelDesc(0, &d), D3D_OK);
  EXPECT_EQ(d.Width, 4u);
  EXPECT_EQ(d.Height, 2u);
  EXPECT_EQ(d.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(d.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(Level(t, 0), texels);
  // Point filtering keeps one source texel per level texel, no averages.
  EXPECT_EQ(Level(t, 1), (std::vector<uint32_t>{0xFF000001, 0xFF000003}));
  EXPECT_EQ(Level(t, 2), (std::vector<uint32_t>{0xFF000001}));
  t->Release();
}

TEST_F(TextureLoader, BoxFilterAveragesTheMipLevels) {
  DdsFields f;
  testsupport::WriteFile(dir / "t.dds", DdsHeader(f) + Texels({0xFF000000, 0xFF0000FF, 0xFF0000FF, 0xFF000000}, 4));
  IDirect3DTexture8* t = nullptr;
  ASSERT_EQ(Load(dir / "t.dds", &t, D3DX_FILTER_BOX), D3D_OK);
  EXPECT_EQ(Level(t, 1), (std::vector<uint32_t>{0xFF000080}));
  t->Release();
}

TEST_F(TextureLoader, PngIsDecodedThroughTheImageLibrary) {
  const uint8_t rgba[2 * 1 * 4] = {255, 0, 0, 255, 0, 0, 255, 128};
  ASSERT_NE(stbi_write_png((dir / "t.png").c_str(), 2, 1, 4, rgba, 8), 0);
  IDirect3DTexture8* t = nullptr;
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device, (dir / "t.png").c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                                         D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_POINT, D3DX_FILTER_POINT, 0,
                                         &info, nullptr, &t),
            D3D_OK);
  EXPECT_EQ(info.Width, 2u);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
  EXPECT_EQ(Level(t, 0), (std::vector<uint32_t>{0xFFFF0000, 0x800000FF}));
  t->Release();
}

TEST_F(TextureLoader, TgaAndBmpAreDecodedAsWell) {
  const uint8_t rgb[2 * 1 * 3] = {255, 0, 0, 0, 255, 0};
  ASSERT_NE(stbi_write_tga((dir / "t.tga").c_str(), 2, 1, 3, rgb), 0);
  ASSERT_NE(stbi_write_bmp((dir / "t.bmp").c_str(), 2, 1, 3, rgb), 0);
  for (const char* name : {"t.tga", "t.bmp"}) {
    IDirect3DTexture8* t = nullptr;
    ASSERT_EQ(Load(dir / name, &t), D3D_OK) << name;
    EXPECT_EQ(Level(t, 0), (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00})) << name;
    t->Release();
  }
}

// Image types that are no texture file never reach the image library: its PNM reader read past the
// end of this 13-byte file, which declares a 642 x 642 grey image (found by fuzzing).
TEST_F(TextureLoader, OtherImageTypesAreRefusedBeforeDecoding) {
  testsupport::WriteFile(dir / "short.pgm", std::string("P552\x0c" "642\x0c" "642\xd3", 13));
  testsupport::WriteFile(dir / "t.gif", std::string("GIF89a\x02\x00\x01\x00\x00\x00\x00", 13) + std::string(20, '\0'));
  testsupport::WriteFile(dir / "t.psd", std::string("8BPS\0\1", 6) + std::string(40, '\0'));
  for (const char* name : {"short.pgm", "t.gif", "t.psd"}) {
    IDirect3DTexture8* t = nullptr;
    EXPECT_LT(Load(dir / name, &t), 0) << name;
    EXPECT_EQ(t, nullptr) << name;
  }
}

TEST_F(TextureLoader, MissingCorruptAndTruncatedFilesFailWithoutATexture) {
  testsupport::WriteFile(dir / "junk.dds", "DDS this is not a texture at all");
  testsupport::WriteFile(dir / "junk.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, 'x'));
  DdsFields f;
  testsupport::WriteFile(dir / "short.dds", DdsHeader(f) + Texels({1, 2, 3}, 4));
  for (const char* name : {"missing.dds", "junk.dds", "junk.png", "short.dds"}) {
    IDirect3DTexture8* t = reinterpret_cast<IDirect3DTexture8*>(&f);  // must be overwritten with null
    EXPECT_LT(Load(dir / name, &t), 0) << name;
    EXPECT_EQ(t, nullptr) << name;
  }
  IDirect3DTexture8* t = nullptr;
  EXPECT_LT(Load(dir.Path(), &t), 0);  // a folder is not a file
}

TEST_F(TextureLoader, ManagedTexturesSurviveReset) {
  DdsFields f;
  testsupport::WriteFile(dir / "t.dds", DdsHeader(f) + Texels({0xFFFFFFFF, 0xFF00FF00, 0xFF00FF00, 0xFFFFFFFF}, 4));
  IDirect3DTexture8* t = nullptr;
  ASSERT_EQ(Load(dir / "t.dds", &t), D3D_OK);
  device->EndScene();
  D3DPRESENT_PARAMETERS pp = Params(4, 4);
  ASSERT_EQ(device->Reset(&pp), D3D_OK);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetTexture(0, t);
  device->BeginScene();
  ScreenQuad(0, 0, 2, 2, kWhite);
  EXPECT_EQ(Pixel(1, 0) | 0xFF000000u, 0xFF00FF00u);
  device->SetTexture(0, nullptr);
  t->Release();
}

}  // namespace
}  // namespace rendertest
