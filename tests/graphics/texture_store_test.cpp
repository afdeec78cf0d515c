// The texture store: files beside the program, names kept as given, failed loads, look-up and release.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstring>

#include "graphics_test_util.h"

namespace {

using graphicstest::RecordedGraphicsTest;
using graphicstest::TextureFolder;

std::string SolidDds(uint32_t width, uint32_t height, uint32_t colour) {
  return graphicstest::DdsBytes(width, height, std::vector<uint32_t>(width * height, colour));
}

class TextureStoreTest : public RecordedGraphicsTest {
 protected:
  void SetUp() override {
    RecordedGraphicsTest::SetUp();
    ASSERT_EQ(Open(), GRAPHICS_OK);
  }
  // Loads and reports the thrown text, or "" when nothing was thrown.
  std::string LoadCatching(const std::string& name) {
    try {
      graphics->LoadTexture(name.c_str(), D3DX_FILTER_POINT);
    } catch (char* text) {
      return text;
    }
    return "";
  }
  TextureFolder folder;
};

TEST_F(TextureStoreTest, LoadsAFileBesideTheProgramAndKeepsTheNameWithItsBackslash) {
  const std::string name = folder.Write("font.dds", SolidDds(16, 8, 0xFF00FF00));
  ASSERT_NE(name.find('\\'), std::string::npos);
  EXPECT_EQ(graphics->LoadTexture(name.c_str(), D3DX_FILTER_POINT), 0);
  EXPECT_EQ(graphics->textureCount, 1);
  ASSERT_EQ(graphics->textures.size(), 1u);
  EXPECT_EQ(graphics->textures[0].name, name);
  IDirect3DTexture8* texture = graphics->GetTexture(name.c_str());
  ASSERT_NE(texture, nullptr);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 16u);
  EXPECT_EQ(desc.Height, 8u);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(texture->GetLevelCount(), 5u);  // a full mip chain: 16x8 down to 1x1
}

TEST_F(TextureStoreTest, AMissingFileThrowsTheTextAsCharPointerAndKeepsTheFailedEntry) {
  const std::string name = folder.Name() + "\\missing.dds";
  bool caughtAsCharPointer = false;
  try {
    graphics->LoadTexture(name.c_str(), D3DX_FILTER_POINT);
  } catch (char* text) {
    caughtAsCharPointer = true;
    EXPECT_STREQ(text, "DDSファイルががが");
  }
  EXPECT_TRUE(caughtAsCharPointer);
  EXPECT_EQ(graphics->textureCount, 0);
  ASSERT_EQ(graphics->textures.size(), 1u);
  EXPECT_EQ(graphics->textures[0].name, name);
  EXPECT_EQ(graphics->textures[0].texture, nullptr);
  EXPECT_EQ(graphics->FindTexture(name.c_str()), 0);
  EXPECT_EQ(graphics->GetTexture(name.c_str()), nullptr);
}

TEST_F(TextureStoreTest, TheThrownTextIsAlsoCatchableAsAnUntypedPointer) {
  const std::string name = folder.Write("broken.dds", "DDS not really");
  const void* caught = nullptr;
  try {
    graphics->LoadTexture(name.c_str(), D3DX_FILTER_POINT);
  } catch (void* p) {
    caught = p;
  }
  ASSERT_NE(caught, nullptr);
  EXPECT_STREQ(static_cast<const char*>(caught), "DDSファイルががが");
}

TEST_F(TextureStoreTest, ALoadAfterAFailureFillsTheFailedEntryAndLeavesAnEmptyOneAtTheEnd) {
  const std::string good = folder.Write("good.dds", SolidDds(4, 4, 0xFFFFFFFF));
  EXPECT_EQ(LoadCatching(folder.Name() + "\\nothing.dds"), "DDSファイルががが");
  EXPECT_EQ(LoadCatching(good), "");
  EXPECT_EQ(graphics->textureCount, 1);
  ASSERT_EQ(graphics->textures.size(), 2u);
  EXPECT_EQ(graphics->textures[0].name, good);
  EXPECT_NE(graphics->textures[0].texture, nullptr);
  EXPECT_EQ(graphics->textures[1].name, "");
  EXPECT_EQ(graphics->textures[1].texture, nullptr);
  EXPECT_EQ(graphics->FindTexture(""), 1);  // the empty entry is searched too
  EXPECT_EQ(graphics->FindTexture((folder.Name() + "\\nothing.dds").c_str()), -1);
}

TEST_F(TextureStoreTest, NamesAreComparedExactlyAndTheFirstOfTwoEqualNamesWins) {
  const std::string lower = folder.Write("a.dds", SolidDds(2, 2, 0xFF0000FF));
  const std::string upper = folder.Write("A.dds", SolidDds(4, 4, 0xFFFF0000));
  graphics->LoadTexture(lower.c_str(), D3DX_FILTER_POINT);
  graphics->LoadTexture(upper.c_str(), D3DX_FILTER_POINT);
  graphics->LoadTexture(lower.c_str(), D3DX_FILTER_POINT);
  EXPECT_EQ(graphics->textureCount, 3);
  EXPECT_EQ(graphics->FindTexture(lower.c_str()), 0);
  EXPECT_EQ(graphics->FindTexture(upper.c_str()), 1);
  EXPECT_EQ(graphics->GetTexture(lower.c_str()), graphics->textures[0].texture);
  EXPECT_NE(graphics->textures[2].texture, graphics->textures[0].texture);
  // Same bytes but shorter, or with '/' in place of '\': different names.
  EXPECT_EQ(graphics->FindTexture(lower.substr(0, lower.size() - 1).c_str()), -1);
  std::string slashed = lower;
  slashed[slashed.find('\\')] = '/';
  EXPECT_EQ(graphics->FindTexture(slashed.c_str()), -1);
}

TEST_F(TextureStoreTest, GetTextureOfAnUnknownNameGivesNoTexture) {
  EXPECT_EQ(graphics->GetTexture("data\\font.dds"), nullptr);
  EXPECT_EQ(graphics->FindTexture("data\\font.dds"), -1);
}

TEST_F(TextureStoreTest, ReleaseTexturesGivesEveryReferenceBackAndEmptiesTheStore) {
  const std::string a = folder.Write("a.dds", SolidDds(2, 2, 0xFF0000FF));
  const std::string b = folder.Write("b.dds", SolidDds(2, 2, 0xFF00FF00));
  graphics->LoadTexture(a.c_str(), D3DX_FILTER_POINT);
  graphics->LoadTexture(b.c_str(), D3DX_FILTER_POINT);
  IDirect3DTexture8* first = graphics->textures[0].texture;
  IDirect3DTexture8* second = graphics->textures[1].texture;
  first->AddRef();  // keep both alive to read their counts afterwards
  second->AddRef();
  graphics->ReleaseTextures();
  EXPECT_EQ(first->Release(), 0u);  // the store's reference was given back, ours was the last
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_TRUE(graphics->textures.empty());
  EXPECT_EQ(graphics->textureCount, 0);
  EXPECT_EQ(graphics->FindTexture(a.c_str()), -1);
  EXPECT_EQ(graphics->FindTexture(""), -1);
}

TEST_F(TextureStoreTest, ReleaseTexturesOnAnEmptyStoreMakesNoCall) {
  log->Clear();
  graphics->ReleaseTextures();
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(graphics->textureCount, 0);
}

TEST_F(TextureStoreTest, ReleaseTexturesAfterAFailedLoadSkipsTheEmptyEntry) {
  const std::string good = folder.Write("good.dds", SolidDds(2, 2, 0xFFFFFFFF));
  graphics->LoadTexture(good.c_str(), D3DX_FILTER_POINT);
  EXPECT_EQ(LoadCatching(folder.Name() + "\\gone.dds"), "DDSファイルががが");
  graphics->ReleaseTextures();
  EXPECT_TRUE(graphics->textures.empty());
  EXPECT_EQ(graphics->textureCount, 0);
}

TEST(TextureEntry, CopiesShareTheTextureWithoutTakingAReference) {
  platform::ScopedNullBackend null;
  DirectGraphics graphics;
  ASSERT_EQ(graphicstest::InitWith(graphics, graphicstest::Settings()), GRAPHICS_OK);
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(graphics.device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  {
    TextureEntry entry;
    entry.texture = texture;
    entry.name = "x";
    TextureEntry copy = entry;
    EXPECT_EQ(copy.texture, texture);
    EXPECT_EQ(copy.name, "x");
  }  // both entries gone: the texture must still be alive with its one reference
  texture->AddRef();
  EXPECT_EQ(texture->Release(), 1u);
  EXPECT_EQ(texture->Release(), 0u);
}

}  // namespace
