// libs: plat_display PkgConfig::SDL2
// The blitters against SDL's own blits and memcpy on the same RGB565
// pixels. Read each pair as a ratio: ours / baseline.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "bench/bench_main.hpp"
#include "platform/display/surface.hpp"

namespace {
using plat::RECT;
using plat::Surface;

// A sprite as the battles draw them: a shape on a black (keyed) ground.
void PaintSprite(Surface& s) {
  const float cx = s.Width() / 2.0f, cy = s.Height() / 2.0f, r = std::min(cx, cy) * 0.9f;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const float dx = x - cx, dy = y - cy;
      s.Row(y)[x] = dx * dx + dy * dy < r * r ? static_cast<uint16_t>(0x8000 | (x * 31 + y * 17)) : 0;
    }
}

SDL_Surface* Wrap(Surface& s) {
  return SDL_CreateRGBSurfaceWithFormatFrom(s.Pixels(), s.Width(), s.Height(), 16, s.PitchPixels() * 2,
                                            SDL_PIXELFORMAT_RGB565);
}

struct Scene {
  Surface frame{640, 480};
  Surface sprite;
  SDL_Surface* sdlFrame;
  SDL_Surface* sdlSprite;
  Scene(int w, int h) : sprite(w, h) {
    PaintSprite(sprite);
    sprite.SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
    sdlFrame = Wrap(frame);
    sdlSprite = Wrap(sprite);
    SDL_SetColorKey(sdlSprite, SDL_TRUE, 0);
  }
  ~Scene() {
    SDL_FreeSurface(sdlFrame);
    SDL_FreeSurface(sdlSprite);
  }
};

// Positions walk the frame so the sprite lands everywhere, as in a battle.
int Step(int i, int range) { return (i * 37) % range; }

void KeyedOurs(benchmark::State& st, int w, int h) {
  Scene sc(w, h);
  int i = 0;
  for (auto _ : st) {
    const int x = Step(i, 640 - w + 1), y = Step(i * 3, 480 - h + 1);
    sc.frame.BltFast(x, y, &sc.sprite, nullptr, plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT);
    ++i;
    benchmark::ClobberMemory();
  }
}

void KeyedSdl(benchmark::State& st, int w, int h) {
  Scene sc(w, h);
  int i = 0;
  for (auto _ : st) {
    SDL_Rect to{Step(i, 640 - w + 1), Step(i * 3, 480 - h + 1), w, h};
    SDL_BlitSurface(sc.sdlSprite, nullptr, sc.sdlFrame, &to);
    ++i;
    benchmark::ClobberMemory();
  }
}

void BM_KeyedBltFast_80x60_Ours(benchmark::State& st) { KeyedOurs(st, 80, 60); }
void BM_KeyedBltFast_80x60_SDL(benchmark::State& st) { KeyedSdl(st, 80, 60); }
void BM_KeyedBltFast_640x480_Ours(benchmark::State& st) { KeyedOurs(st, 640, 480); }
void BM_KeyedBltFast_640x480_SDL(benchmark::State& st) { KeyedSdl(st, 640, 480); }

void BM_FrameCopy_Ours(benchmark::State& st) {
  Surface src(640, 480), dst(640, 480);
  PaintSprite(src);
  const RECT whole{0, 0, 640, 480};
  for (auto _ : st) {
    dst.BltFast(0, 0, &src, &whole, plat::DDBLTFAST_WAIT);
    benchmark::ClobberMemory();
  }
}

void BM_FrameCopy_Memcpy(benchmark::State& st) {
  Surface src(640, 480), dst(640, 480);
  PaintSprite(src);
  for (auto _ : st) {
    std::memcpy(dst.Pixels(), src.Pixels(), 640 * 480 * 2);
    benchmark::ClobberMemory();
  }
}

void BM_StretchHalf_Ours(benchmark::State& st) {
  Surface src(640, 480), dst(320, 240);
  PaintSprite(src);
  const RECT to{0, 0, 320, 240};
  for (auto _ : st) {
    dst.Blt(&to, &src, nullptr, plat::DDBLT_WAIT);
    benchmark::ClobberMemory();
  }
}

void BM_StretchHalf_SDL(benchmark::State& st) {
  Surface src(640, 480), dst(320, 240);
  PaintSprite(src);
  SDL_Surface* s = Wrap(src);
  SDL_Surface* d = Wrap(dst);
  SDL_Rect to{0, 0, 320, 240};
  for (auto _ : st) {
    SDL_BlitScaled(s, nullptr, d, &to);
    benchmark::ClobberMemory();
  }
  SDL_FreeSurface(s);
  SDL_FreeSurface(d);
}

BENCHMARK(BM_KeyedBltFast_80x60_Ours);
BENCHMARK(BM_KeyedBltFast_80x60_SDL);
BENCHMARK(BM_KeyedBltFast_640x480_Ours);
BENCHMARK(BM_KeyedBltFast_640x480_SDL);
BENCHMARK(BM_FrameCopy_Ours);
BENCHMARK(BM_FrameCopy_Memcpy);
BENCHMARK(BM_StretchHalf_Ours);
BENCHMARK(BM_StretchHalf_SDL);

}  // namespace

FW_BENCHMARK_MAIN()
