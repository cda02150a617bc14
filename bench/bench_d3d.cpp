// libs: plat_d3d plat_display PkgConfig::SDL2
// The 3D layer against the blits it stands beside, on 640x480 RGB565:
// - 500 additive, textured, vertex-colour-modulated 32x32 quads (the
//   battles' effects) against 500 colour-keyed 32x32 BltFast sprites and
//   SDL's own colour-keyed blit of the same sprites: the textures drawn
//   1:1 must take at most twice as long as BltFast;
// - a retained-mode scene of about 20,000 textured, Gouraud-lit triangles,
//   reported as frames per second (items per second of BM_RmScene).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_main.hpp"
#include "platform/d3d/device.hpp"
#include "platform/d3d/rm.hpp"
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
void Quads(benchmark::State& state, int textureSide, bool linear, bool rectanglePath, uint32_t colour,
           bool widestKernels = true) {
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
  device->RasterizerForTests().UseKernels(widestKernels, true);
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
// The texture at its own size: texel centres fall on pixel centres.
void BM_AdditiveQuads_Tex32_Linear(benchmark::State& s) { Quads(s, 32, true, true, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex32_Linear);
void BM_AdditiveQuads_Tex32_Linear_Tinted(benchmark::State& s) { Quads(s, 32, true, true, 0xFF8040C0u); }
BENCHMARK(BM_AdditiveQuads_Tex32_Linear_Tinted);
// A texture at an uneven scale: every texel pair looked up per column.
void BM_AdditiveQuads_Tex48_Linear(benchmark::State& s) { Quads(s, 48, true, true, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex48_Linear);
void BM_AdditiveQuads_Tex64_Point(benchmark::State& s) { Quads(s, 64, false, true, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex64_Point);
// The plain kernels, as on processors without AVX2.
void BM_AdditiveQuads_Tex32_Linear_Plain(benchmark::State& s) { Quads(s, 32, true, true, 0xFFFFFFFFu, false); }
BENCHMARK(BM_AdditiveQuads_Tex32_Linear_Plain);
void BM_AdditiveQuads_Tex32_Linear_Tinted_Plain(benchmark::State& s) { Quads(s, 32, true, true, 0xFF8040C0u, false); }
BENCHMARK(BM_AdditiveQuads_Tex32_Linear_Tinted_Plain);
void BM_AdditiveQuads_Tex64_Linear_Plain(benchmark::State& s) { Quads(s, 64, true, true, 0xFFFFFFFFu, false); }
BENCHMARK(BM_AdditiveQuads_Tex64_Linear_Plain);
// The same quads through the general triangle path.
void BM_AdditiveQuads_Tex64_Linear_Triangles(benchmark::State& s) { Quads(s, 64, true, false, 0xFFFFFFFFu); }
BENCHMARK(BM_AdditiveQuads_Tex64_Linear_Triangles);

// ------------------------------------------------------------ retained mode

// A hall: a tiled floor and four walls in one model, and sixteen round
// machines, each a model of its own in a frame of its own, as the factory
// places them: about 20,000 triangles in all, every one textured.
struct Model {
  plat::xfile::Scene scene;
  int triangles = 0;

  Model() {
    scene.nodes.resize(1);
    scene.nodes[0].transform = plat::IdentityMatrix();
    scene.materials.resize(1);
  }

  // A grid of quads from 'origin' along u and v; front faces towards 'out'.
  void Grid(plat::D3DVECTOR origin, plat::D3DVECTOR u, plat::D3DVECTOR v, int nu, int nv, float tile,
            plat::D3DVECTOR out) {
    plat::xfile::Mesh m;
    for (int j = 0; j <= nv; ++j)
      for (int i = 0; i <= nu; ++i) {
        m.positions.push_back(origin + u * (static_cast<float>(i) / nu) + v * (static_cast<float>(j) / nv));
        m.normals.push_back(plat::Normalize(out));
        m.uvs.push_back(tile * i / nu);
        m.uvs.push_back(tile * j / nv);
      }
    for (int j = 0; j < nv; ++j)
      for (int i = 0; i < nu; ++i) {
        const uint32_t a = static_cast<uint32_t>(j * (nu + 1) + i), b = a + 1, c = a + static_cast<uint32_t>(nu + 1),
                       d = c + 1;
        Triangle(m, a, c, d, out);
        Triangle(m, a, d, b, out);
      }
    Add(std::move(m));
  }

  // A sphere of rings x segments quads.
  void Ball(plat::D3DVECTOR centre, float radius, int rings, int segments) {
    plat::xfile::Mesh m;
    for (int r = 0; r <= rings; ++r)
      for (int s = 0; s <= segments; ++s) {
        const float th = 3.14159265f * r / rings, ph = 2 * 3.14159265f * s / segments;
        const plat::D3DVECTOR n{std::sin(th) * std::cos(ph), std::cos(th), std::sin(th) * std::sin(ph)};
        m.positions.push_back(centre + n * radius);
        m.normals.push_back(n);
        m.uvs.push_back(2.0f * s / segments);
        m.uvs.push_back(1.0f * r / rings);
      }
    for (int r = 0; r < rings; ++r)
      for (int s = 0; s < segments; ++s) {
        const uint32_t a = static_cast<uint32_t>(r * (segments + 1) + s), b = a + 1,
                       c = a + static_cast<uint32_t>(segments + 1), d = c + 1;
        const plat::D3DVECTOR mid = m.positions[a] - centre;
        Triangle(m, a, c, d, mid);
        Triangle(m, a, d, b, mid);
      }
    Add(std::move(m));
  }

  static void Triangle(plat::xfile::Mesh& m, uint32_t a, uint32_t b, uint32_t c, plat::D3DVECTOR out) {
    const plat::D3DVECTOR n = plat::Cross(m.positions[b] - m.positions[a], m.positions[c] - m.positions[a]);
    // Front faces run clockwise: their cross product points outwards.
    if (plat::Dot(n, out) < 0) std::swap(b, c);
    m.triangles.insert(m.triangles.end(), {a, b, c});
  }

  void Add(plat::xfile::Mesh m) {
    triangles += static_cast<int>(m.triangles.size() / 3);
    m.material = 0;
    scene.nodes[0].meshes.push_back(static_cast<uint32_t>(scene.meshes.size()));
    scene.meshes.push_back(std::move(m));
  }

};

struct Hall {
  Model room, machine;
  Hall() {
    using plat::Vec;
    room.Grid(Vec(-30, 0, -30), Vec(60, 0, 0), Vec(0, 0, 60), 60, 60, 15, Vec(0, 1, 0));   // floor
    room.Grid(Vec(-30, 0, 30), Vec(60, 0, 0), Vec(0, 20, 0), 30, 20, 8, Vec(0, 0, -1));    // far wall
    room.Grid(Vec(-30, 0, -30), Vec(0, 0, 60), Vec(0, 20, 0), 30, 20, 8, Vec(1, 0, 0));    // left wall
    room.Grid(Vec(30, 0, -30), Vec(0, 0, 60), Vec(0, 20, 0), 30, 20, 8, Vec(-1, 0, 0));    // right wall
    room.Grid(Vec(-30, 0, -30), Vec(60, 0, 0), Vec(0, 20, 0), 30, 20, 8, Vec(0, 0, 1));    // near wall
    machine.Ball(Vec(0, 0, 0), 3.0f, 16, 20);
  }
  int Triangles() const { return room.triangles + 16 * machine.triangles; }
};

void RmScene(benchmark::State& state, int textureQuality) {
  static const Hall hall;
  plat::Direct3DRM3 rm;
  auto scene = rm.CreateFrame(nullptr);
  auto camera = rm.CreateFrame(scene);
  camera->SetPosition(nullptr, 0, 9, -27);
  camera->AddRotation(plat::D3DRMCOMBINE_BEFORE, 1, 0, 0, 0.3f);
  auto target = std::make_shared<plat::Surface>(kW, kH);
  auto device = rm.CreateDeviceFromSurface(plat::kHalDeviceGuid, nullptr, target, 0);
  device->SetTextureQuality(textureQuality);
  auto viewport = rm.CreateViewport(device, camera, 0, 0, kW, kH);
  viewport->SetBack(1000.0f);
  auto tex = plat::CreateTexture(128, 128);
  FillPattern(*tex);
  auto room = rm.CreateMeshBuilder();
  room->Build(hall.room.scene, 0, true, rm);
  room->SetTexture(tex);
  rm.CreateFrame(scene)->AddVisual(room);
  auto machine = rm.CreateMeshBuilder();
  machine->Build(hall.machine.scene, 0, true, rm);
  machine->SetTexture(tex);
  for (int i = 0; i < 16; ++i) {
    auto f = rm.CreateFrame(scene);
    f->SetPosition(nullptr, -21.0f + 14.0f * (i % 4), 3.0f, -12.0f + 12.0f * (i / 4));
    f->AddVisual(machine);
  }
  // The hall's kinds of light.
  auto sun = rm.CreateFrame(scene);
  sun->SetOrientation(nullptr, 0.3f, -1, 0.5f, 0, 1, 0);
  sun->AddLight(rm.CreateLightRGB(plat::D3DRMLIGHT_DIRECTIONAL, 0.6f, 0.6f, 0.6f));
  scene->AddLight(rm.CreateLightRGB(plat::D3DRMLIGHT_AMBIENT, 0.2f, 0.2f, 0.2f));
  auto lamp = rm.CreateFrame(scene);
  lamp->SetPosition(nullptr, 0, 10, 0);
  lamp->AddLight(rm.CreateLightRGB(plat::D3DRMLIGHT_POINT, 0.8f, 0.8f, 0.8f));
  auto spot = rm.CreateFrame(scene);
  spot->SetPosition(nullptr, 0, 15, 0);
  spot->SetOrientation(nullptr, 0, -1, 0.2f, 0, 0, 1);
  spot->AddLight(rm.CreateLightRGB(plat::D3DRMLIGHT_SPOT, 0.5f, 1.0f, 1.0f));
  for (auto _ : state) {
    viewport->Clear(plat::D3DRMCLEAR_ALL);
    viewport->Render(scene);
    benchmark::DoNotOptimize(target->Pixels());
  }
  state.counters["triangles"] = hall.Triangles();
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
void BM_RmScene_Nearest(benchmark::State& s) { RmScene(s, plat::D3DRMTEXTURE_NEAREST); }
BENCHMARK(BM_RmScene_Nearest)->Unit(benchmark::kMillisecond);
void BM_RmScene_Linear(benchmark::State& s) { RmScene(s, plat::D3DRMTEXTURE_LINEAR); }
BENCHMARK(BM_RmScene_Linear)->Unit(benchmark::kMillisecond);

}  // namespace

FW_BENCHMARK_MAIN()
