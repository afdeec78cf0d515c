// The teardown gives everything back in a fixed order: textures (first to last), the GDI fonts, the
// display rate, then the font object, the sprite, the device and the Direct3D object.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "graphics_test_util.h"

namespace {

using graphicstest::RecordedGraphicsTest;
using graphicstest::Settings;

int HeldGdiFonts(const DirectGraphics& g) {
  int n = 0;
  for (HFONT f : g.gdiFonts) n += f != nullptr;
  return n;
}

// A texture that notes its release (and how many GDI fonts the object still holds at that moment).
class NotedTexture final : public IDirect3DTexture8 {
 public:
  NotedTexture(std::string name, render::CallLog& log, const DirectGraphics& owner)
      : name_(std::move(name)), log_(log), owner_(owner) {}
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    log_.Append("release " + name_ + " (gdi fonts " + std::to_string(HeldGdiFonts(owner_)) + ")");
    return --refs_;
  }
  DWORD GetLevelCount() override { return 1; }
  HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC* desc) override {
    *desc = D3DSURFACE_DESC{D3DFMT_A8R8G8B8, D3DRTYPE_SURFACE, 0, D3DPOOL_MANAGED, 0, D3DMULTISAMPLE_NONE, 8, 8};
    return D3D_OK;
  }
  HRESULT LockRect(UINT, D3DLOCKED_RECT*, const RECT*, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRect(UINT) override { return E_NOTIMPL; }
  ULONG refs_ = 1;

 private:
  std::string name_;
  render::CallLog& log_;
  const DirectGraphics& owner_;
};

// Stand-ins for the font and sprite objects that note their release and then release the real one.
class NotedFont final : public ID3DXFont {
 public:
  NotedFont(ID3DXFont* inner, render::CallLog& log, const DirectGraphics& owner)
      : inner_(inner), log_(log), owner_(owner) {}
  ULONG AddRef() override { return 2; }
  ULONG Release() override {
    log_.Append("release font (gdi fonts " + std::to_string(HeldGdiFonts(owner_)) + ")");
    inner_->Release();
    delete this;
    return 0;
  }
  HRESULT GetDevice(IDirect3DDevice8** d) override { return inner_->GetDevice(d); }
  HFONT GetGdiFont() override { return inner_->GetGdiFont(); }
  HRESULT OnLostDevice() override { return D3D_OK; }
  HRESULT OnResetDevice() override { return D3D_OK; }

 private:
  ID3DXFont* inner_;
  render::CallLog& log_;
  const DirectGraphics& owner_;
};

class NotedSprite final : public ID3DXSprite {
 public:
  NotedSprite(ID3DXSprite* inner, render::CallLog& log) : inner_(inner), log_(log) {}
  ULONG AddRef() override { return 2; }
  ULONG Release() override {
    log_.Append("release sprite");
    inner_->Release();
    delete this;
    return 0;
  }
  HRESULT GetDevice(IDirect3DDevice8** d) override { return inner_->GetDevice(d); }
  HRESULT Begin() override { return inner_->Begin(); }
  HRESULT Draw(IDirect3DTexture8* t, const RECT* r, const D3DXVECTOR2* s, const D3DXVECTOR2* c, float rot,
               const D3DXVECTOR2* tr, D3DCOLOR colour) override {
    return inner_->Draw(t, r, s, c, rot, tr, colour);
  }
  HRESULT End() override { return inner_->End(); }
  HRESULT OnLostDevice() override { return D3D_OK; }
  HRESULT OnResetDevice() override { return D3D_OK; }

 private:
  ID3DXSprite* inner_;
  render::CallLog& log_;
};

// The scripted backend, with its refresh-rate calls noted in the same log.
class NotingBackend : public platform::NullBackend {
 public:
  explicit NotingBackend(render::CallLog& log) : log_(log) {}
  bool TestRefreshRate(platform::WindowObject* w, int hz) override {
    if (!setting_) log_.Append("test " + std::to_string(hz) + " Hz");
    return NullBackend::TestRefreshRate(w, hz);
  }
  bool SetRefreshRate(platform::WindowObject* w, int hz) override {
    log_.Append("set " + std::to_string(hz) + " Hz");
    setting_ = true;  // the scripted backend checks the mode itself; that is not the caller's test
    const bool ok = NullBackend::SetRefreshRate(w, hz);
    setting_ = false;
    return ok;
  }

 private:
  render::CallLog& log_;
  bool setting_ = false;
};

TEST_F(RecordedGraphicsTest, TeardownReleasesEverythingInItsFixedOrder) {
  NotingBackend backend(*log);
  platform::InstallBackend(&backend);
  backend.refreshRate = 75;
  backend.availableRates = {60, 75};
  Settings s;
  s.fullScreen = 1;
  s.vsyncWait = 1;
  ASSERT_EQ(Open(s), GRAPHICS_OK);

  NotedTexture first("texture A", *log, *graphics), second("texture B", *log, *graphics);
  graphics->textures.resize(2);
  graphics->textures[0].name = "a";
  graphics->textures[0].texture = &first;
  graphics->textures[1].name = "b";
  graphics->textures[1].texture = &second;
  graphics->textureCount = 2;
  graphics->font = new NotedFont(graphics->font, *log, *graphics);
  graphics->sprite = new NotedSprite(graphics->sprite, *log);
  log->Clear();

  graphics.reset();
  platform::InstallBackend(&null.backend);

  EXPECT_THAT(Calls(), ::testing::ElementsAre("release texture A (gdi fonts 5)", "release texture B (gdi fonts 5)",
                                              "test 75 Hz", "set 75 Hz", "release font (gdi fonts 0)",
                                              "release sprite", "Release(dev1)", "Release(d3d)"));
  EXPECT_EQ(first.refs_, 0u);
  EXPECT_EQ(second.refs_, 0u);
}

TEST_F(RecordedGraphicsTest, TeardownWithoutInitTouchesNothing) {
  graphics = std::make_unique<DirectGraphics>(RecordingFactory());
  graphics.reset();
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(requestedVersions.empty());
}

TEST_F(RecordedGraphicsTest, TeardownAfterAFailedInitReleasesWhatWasMade) {
  Settings s;
  s.hardTl = 3;  // Direct3D object only
  ASSERT_EQ(Open(s), GRAPHICS_NO_SPRITE);
  log->Clear();
  graphics.reset();
  EXPECT_THAT(Calls(), ::testing::ElementsAre("Release(d3d)"));
}

}  // namespace
