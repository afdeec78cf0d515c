// The graphics layer's calls: a frame of 150 000 DrawPoint calls and one of 150 000 DrawLine calls (a
// call a row on the general route: the picture the scene's row buffer is held to, not its way to
// draw), and a screenful of bitmap-text sprites.
#include <benchmark/benchmark.h>

#include <cmath>

#include "graphics/direct_graphics.h"
#include "platform/null/null_backend.h"

namespace {

constexpr int kRows = 150000;

struct Frame {
  platform::ScopedNullBackend null;
  DirectGraphics graphics;
  Frame() {
    graphics.Init(nullptr, 0, 640, 480, 0, 1, 0, 0, 1, 0, 0);
    graphics.SetRenderStates(false);
    graphics.SetCamera(176.78f, 176.78f, 150.0f, 0, 0, 0, 0, 0, 1, 0, 1000, false);
    D3DXMatrixIdentity(&graphics.worldMatrix);
    graphics.device->SetTransform(D3DTS_WORLD, &graphics.worldMatrix);
  }
};

// Rows on a spiral that fills the view, as a data file might.
double Coordinate(int i, int axis) {
  const double t = i * 0.001;
  return axis == 0 ? 80.0 * std::cos(t * 7.0) : axis == 1 ? 80.0 * std::sin(t * 5.0) : 60.0 * std::sin(t);
}

void BM_DrawPointFrame(benchmark::State& state) {
  Frame f;
  for (auto _ : state) {
    f.graphics.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF140000);
    f.graphics.device->BeginScene();
    for (int i = 0; i < kRows; ++i)
      f.graphics.DrawPoint(Coordinate(i, 0), Coordinate(i, 1), Coordinate(i, 2), 0xFFFFFFFF);
    f.graphics.device->EndScene();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_DrawPointFrame)->Unit(benchmark::kMillisecond);

void BM_DrawLineFrame(benchmark::State& state) {
  Frame f;
  for (auto _ : state) {
    f.graphics.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF140000);
    f.graphics.device->BeginScene();
    for (int i = 1; i < kRows; ++i)
      f.graphics.DrawLine(Coordinate(i - 1, 0), Coordinate(i - 1, 1), Coordinate(i - 1, 2), Coordinate(i, 0),
                          Coordinate(i, 1), Coordinate(i, 2), 0xFFFFFFFF);
    f.graphics.device->EndScene();
  }
  state.SetItemsProcessed(state.iterations() * (kRows - 1));
}
BENCHMARK(BM_DrawLineFrame)->Unit(benchmark::kMillisecond);

// 80 × 30 glyphs of 8 × 16 from one texture: the cache makes every sprite after the first one bind-free.
void BM_TextScreenOfSprites(benchmark::State& state) {
  Frame f;
  IDirect3DTexture8* texture = nullptr;
  f.graphics.device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
  f.graphics.device->BeginScene();
  for (auto _ : state) {
    for (int row = 0; row < 30; ++row)
      for (int col = 0; col < 80; ++col) {
        SpriteBlit b;
        b.x = col * 8;
        b.y = row * 16;
        b.source = RECT{(col % 32) * 8, (row % 16) * 16, (col % 32) * 8 + 8, (row % 16) * 16 + 16};
        b.texture = texture;
        f.graphics.BlitSprite(b);
      }
  }
  f.graphics.device->EndScene();
  f.graphics.device->SetTexture(0, nullptr);
  texture->Release();
  state.SetItemsProcessed(state.iterations() * 80 * 30);
}
BENCHMARK(BM_TextScreenOfSprites)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
