// libs: plat_d3d plat_display PkgConfig::SDL2
// The 3D layer against the blits it stands beside, on 640x480 RGB565:
// - 500 additive, textured, vertex-colour-modulated 32x32 quads (the
//   battles' effects) against 500 colour-keyed 32x32 BltFast sprites and
//   SDL's own colour-keyed blit of the same sprites;
// - a retained-mode scene of about 20,000 textured, Gouraud-lit triangles,
//   reported as frames per second (items per second of BM_RmScene).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/d3d/device.hpp"
#include "platform/d3d/texture.hpp"
#include "platform/display/surface.hpp"

namespace {

constexpr int kW = 640, kH = 480, kCount = 500, kSize = 32;

struct Positions {
  std::vector<int> x, y;
  Positions() {
    uint32_t seed = 12345;
    auto next = [&seed] {
      seed = seed * 1664525u + 1013904223u;
      return seed >> 8;
    };
    for (int i = 0; i < kCount; ++i) {
      x.push_back(static_cast<int>(next() % (kW - kSize)));
      y.push_back(static_cast<int>(next() % (kH - kSize)));
    }
  }
};
const Positions& Pos() {
  static Positions p;
  return p;
}

void FillPattern(plat::Surface& s) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const bool hole = ((x / 4) + (y / 4)) % 3 == 0;
      s.Row(y)[x] = hole ? 0 : static_cast<uint16_t>(((x * 2) << 11) | ((y * 3) << 5) | (x ^ y));
    }
}

void BM_BltFastColorKey(benchmark::State& state) {
  plat::Surface target(kW, kH);
  plat::Surface sprite(kSize, kSize);
  FillPattern(sprite);
  sprite.SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  const plat::RECT r{0, 0, kSize, kSize};
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i)
      target.BltFast(Pos().x[i], Pos().y[i], &sprite, &r, plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT);
    benchmark::DoNotOptimize(target.Pixels());
  }
}
BENCHMARK(BM_BltFastColorKey);

void BM_SdlBlitColorKey(benchmark::State& state) {
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, kSize, kSize, 16, SDL_PIXELFORMAT_RGB565);
  plat::Surface pattern(kSize, kSize);
  FillPattern(pattern);
  for (int y = 0; y < kSize; ++y)
    std::memcpy(static_cast<uint8_t*>(sprite->pixels) + y * sprite->pitch, pattern.Row(y), kSize * 2);
  SDL_SetColorKey(sprite, SDL_TRUE, 0);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      SDL_Rect d{Pos().x[i], Pos().y[i], kSize, kSize};
      SDL_BlitSurface(sprite, nullptr, target, &d);
    }
    benchmark::DoNotOptimize(target->pixels);
  }
  SDL_FreeSurface(sprite);
  SDL_FreeSurface(target);
}
BENCHMARK(BM_SdlBlitColorKey);

// The battles' effect quads: texture of the given side drawn at 32x32.
void Quads(benchmark::State& state, int textureSide, bool linear, bool rectanglePath, uint32_t colour) {
  auto target = std::make_shared<plat::Surface>(kW, kH);
  plat::Direct3D7 d3d(nullptr);
  auto device = d3d.CreateDevice(plat::kHalDeviceGuid, target);
  auto tex = plat::CreateTexture(textureSide, textureSide);
  FillPattern(*tex);
  device->SetRenderState(plat::D3DRENDERSTATE_SRCBLEND, plat::D3DBLEND_ONE);
  device->SetRenderState(plat::D3DRENDERSTATE_DESTBLEND, plat::D3DBLEND_ONE);
  device->SetRenderState(plat::D3DRENDERSTATE_ZENABLE, 0);
  device->SetRenderState(plat::D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  device->SetTextureStageState(0, plat::D3DTSS_COLORARG1, plat::D3DTA_TEXTURE);
  device->SetTextureStageState(0, plat::D3DTSS_COLORARG2, plat::D3DTA_DIFFUSE);
  device->SetTextureStageState(0, plat::D3DTSS_COLOROP, plat::D3DTOP_MODULATE);
  const int filter = linear ? plat::D3DTFG_LINEAR : plat::D3DTFG_POINT;
  device->SetTextureStageState(0, plat::D3DTSS_MINFILTER, static_cast<uint32_t>(filter));
  device->SetTextureStageState(0, plat::D3DTSS_MAGFILTER, static_cast<uint32_t>(filter));
  device->RasterizerForTests().EnableRectanglePath(rectanglePath);
  plat::D3DTLVERTEX q[4] = {{0, 1, 0.99f, 0.5f, colour, 0, 0, 1},
                            {0, 0, 0.99f, 0.5f, colour, 0, 0, 0},
                            {1, 1, 0.99f, 0.5f, colour, 0, 1, 1},
                            {1, 0, 0.99f, 0.5f, colour, 0, 1, 0}};
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      const float x0 = static_cast<float>(Pos().x[i]), y0 = static_cast<float>(Pos().y[i]);
      q[0].sx = q[1].sx = x0;
      q[2].sx = q[3].sx = x0 + kSize;
      q[1].sy = q[3].sy = y0;
      q[0].sy = q[2].sy = y0 + kSize;
      device->BeginScene();
      device->SetTexture(0, tex);
      device->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, plat::D3DFVF_TLVERTEX, q, 4, 0);
      device->EndScene();
    }
    benchmark::DoNotOptimize(target->Pixels());
  }
}
// The battles' case: the 64x64 texture buffer at quad size, linear filter.
void BM_AdditiveQuads_Tex64_Linear(benchmark::State& s) { Quads(s, 64, true, true, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex64_Linear);
void BM_AdditiveQuads_Tex64_Linear_Tinted(benchmark::State& s) { Quads(s, 64, true, true, 0xFFC08040u); }
BENCHMARK(BM_AdditiveQuads_Tex64_Linear_Tinted);
void BM_AdditiveQuads_Tex32_Linear(benchmark::State& s) { Quads(s, 32, true, true, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex32_Linear);
// A texture at an uneven scale: every texel pair looked up per column.
void BM_AdditiveQuads_Tex48_Linear(benchmark::State& s) { Quads(s, 48, true, true, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex48_Linear);
void BM_AdditiveQuads_Tex64_Point(benchmark::State& s) { Quads(s, 64, false, true, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex64_Point);
// The same quads through the general triangle path.
void BM_AdditiveQuads_Tex64_Linear_Triangles(benchmark::State& s) { Quads(s, 64, true, false, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex64_Linear_Triangles);

}  // namespace

BENCHMARK_MAIN();
