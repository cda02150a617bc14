// libs: plat_input PkgConfig::SDL2
// Presenting one 640x480 frame to the window that covers the display,
// against copying the frame once with memcpy. Three kinds of frame: all of
// it new (a battle), a pointer-sized part new (a menu waiting for the
// player), nothing new. SDL's renderers, accelerated (a software OpenGL
// driver on a machine without a GPU) and software, present the same frames
// beside it: they were the alternatives the window's path was chosen from.
// Run under an X server (DISPLAY set, e.g. Xvfb) to include the display
// server's side; without one SDL's dummy driver stands in.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench_main.hpp"
#include "platform/input/window.hpp"

namespace {
constexpr int kW = 640, kH = 480;

std::vector<uint16_t> Frame(int seed) {
  std::vector<uint16_t> f(kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) f[y * kW + x] = static_cast<uint16_t>((x * 7 + y * 13 + seed * 101) & 0xFFFF);
  return f;
}

// What changes between two frames.
enum class Change { Whole, Pointer, None };

void Alter(std::vector<uint16_t>& f, Change c, int i) {
  if (c == Change::Whole) {
    for (auto& p : f) p = static_cast<uint16_t>(p + 0x0821);
  } else if (c == Change::Pointer) {
    const int x0 = (i * 37) % (kW - 32), y0 = (i * 23) % (kH - 32);
    for (int y = y0; y < y0 + 32; ++y)
      for (int x = x0; x < x0 + 32; ++x) f[y * kW + x] = static_cast<uint16_t>(f[y * kW + x] ^ 0xFFFF);
  }
}

plat::Window& OpenWindow() {
  plat::Window& w = plat::Window::Instance();
  if (!w.IsOpen()) {
    w.Create("bench");
    w.Show();
  }
  return w;
}

void BM_FrameCopy_Memcpy(benchmark::State& st) {
  std::vector<uint16_t> a = Frame(0), b(kW * kH);
  for (auto _ : st) {
    std::memcpy(b.data(), a.data(), a.size() * 2);
    benchmark::ClobberMemory();
  }
}

void PresentOurs(benchmark::State& st, Change c) {
  plat::Window& w = OpenWindow();
  std::vector<uint16_t> f = Frame(1);
  w.Present(f.data(), kW, kH, kW);
  int i = 0;
  for (auto _ : st) {
    Alter(f, c, i++);
    w.Present(f.data(), kW, kH, kW);
  }
  int ww = 0, wh = 0;
  w.ShownSize(&ww, &wh);
  st.counters["window_w"] = ww;
  st.counters["window_h"] = wh;
}
void BM_Present_Ours_WholeFrameNew(benchmark::State& st) { PresentOurs(st, Change::Whole); }
void BM_Present_Ours_PointerNew(benchmark::State& st) { PresentOurs(st, Change::Pointer); }
void BM_Present_Ours_NothingNew(benchmark::State& st) { PresentOurs(st, Change::None); }

// The renderer path: a window of the same size with a streaming texture
// scaled into it on every frame.
void PresentRenderer(benchmark::State& st, Uint32 flags, Change c) {
  plat::Window& ours = OpenWindow();
  int ww = 0, wh = 0;
  ours.ShownSize(&ww, &wh);
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  SDL_Window* win = SDL_CreateWindow("renderer", 0, 0, ww, wh, SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS);
  SDL_Renderer* r = win ? SDL_CreateRenderer(win, -1, flags) : nullptr;
  SDL_Texture* t = r ? SDL_CreateTexture(r, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, kW, kH) : nullptr;
  if (!t) {
    st.SkipWithError("no such renderer here");
  } else {
    SDL_RenderSetLogicalSize(r, kW, kH);
    std::vector<uint16_t> f = Frame(2);
    int i = 0;
    for (auto _ : st) {
      Alter(f, c, i++);
      SDL_UpdateTexture(t, nullptr, f.data(), kW * 2);
      SDL_RenderClear(r);
      SDL_RenderCopy(r, t, nullptr, nullptr);
      SDL_RenderPresent(r);
    }
  }
  if (t) SDL_DestroyTexture(t);
  if (r) SDL_DestroyRenderer(r);
  if (win) SDL_DestroyWindow(win);
}
void BM_Present_SdlAccelerated_WholeFrameNew(benchmark::State& st) {
  PresentRenderer(st, SDL_RENDERER_ACCELERATED, Change::Whole);
}
void BM_Present_SdlAccelerated_PointerNew(benchmark::State& st) {
  PresentRenderer(st, SDL_RENDERER_ACCELERATED, Change::Pointer);
}
void BM_Present_SdlSoftware_WholeFrameNew(benchmark::State& st) {
  PresentRenderer(st, SDL_RENDERER_SOFTWARE, Change::Whole);
}
void BM_Present_SdlSoftware_PointerNew(benchmark::State& st) {
  PresentRenderer(st, SDL_RENDERER_SOFTWARE, Change::Pointer);
}

BENCHMARK(BM_FrameCopy_Memcpy);
BENCHMARK(BM_Present_Ours_WholeFrameNew);
BENCHMARK(BM_Present_Ours_PointerNew);
BENCHMARK(BM_Present_Ours_NothingNew);
BENCHMARK(BM_Present_SdlAccelerated_WholeFrameNew);
BENCHMARK(BM_Present_SdlAccelerated_PointerNew);
BENCHMARK(BM_Present_SdlSoftware_WholeFrameNew);
BENCHMARK(BM_Present_SdlSoftware_PointerNew);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const int status = fwbench::RunWithDeadline(argc, argv);
  plat::Window::Instance().Destroy();
  plat::QuitPlatform();
  return status;
}
