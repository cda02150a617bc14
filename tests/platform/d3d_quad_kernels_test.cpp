// The rectangle kernels of additive, textured quads (the battles' effects),
// each instruction set's and the per-pixel ones every blend has, against a
// plain loop that samples, filters, tints and adds pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/d3d/raster.hpp"
#include "platform/display/surface.hpp"
#include "tests/platform/d3d_support.hpp"

namespace {

using d3dtest::Pack;
using d3dtest::Rgb;
using d3dtest::Split;
using namespace plat;

struct Case {
  int tw = 32, th = 32;
  float x0 = 0, y0 = 0, x1 = 32, y1 = 32;
  float u0 = 0, u1 = 1, v0 = 0, v1 = 1;
  int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;
  bool linear = true, wrap = false, keyed = false;
  // The strip from the top-left corner, row by row, rather than the
  // battles' order.
  bool rowOrder = false;
  int r = 255, g = 255, b = 255;

  std::string Describe() const {
    std::ostringstream s;
    s << "texture " << tw << "x" << th << " quad (" << x0 << "," << y0 << ")-(" << x1 << "," << y1 << ") uv (" << u0
      << "," << v0 << ")-(" << u1 << "," << v1 << ") clip (" << clipX0 << "," << clipY0 << ")-(" << clipX1 << ","
      << clipY1 << ") " << (linear ? "linear" : "point") << (wrap ? " wrap" : " clamp") << " tint " << r << "," << g
      << "," << b;
    return s.str();
  }
};

// Where one axis of pixels samples the texture: texel pair and the weight
// of the second, in 1/32, as the rectangle path places its samples (pixel
// centres at half-integers, texture coordinates spanning the texels edge to
// edge, linear samples half a texel back).
struct Sample {
  int a, b, w;
};
std::vector<Sample> Samples(int first, int count, float c0, float c1, float t0, float t1, int size, bool linear,
                            bool wrap) {
  const float offset = static_cast<float>(first) - c0, extent = c1 - c0;
  const double scale = (static_cast<double>(t1) - t0) / extent * size * 256.0;
  const double start = static_cast<double>(t0) * size * 256.0 + (offset + 0.5) * scale - (linear ? 128.0 : 0.0);
  std::vector<Sample> out;
  for (int i = 0; i < count; ++i) {
    const int f = static_cast<int>(std::floor(start + scale * i));
    const int whole = static_cast<int>(std::floor(f / 256.0));
    auto address = [&](int t) { return wrap ? ((t % size) + size) % size : std::clamp(t, 0, size - 1); };
    out.push_back({address(whole), address(whole + 1), linear ? (f - whole * 256) / 8 : 0});
  }
  return out;
}

// The first pixel whose centre is at or past v.
int FirstCentre(float v) { return static_cast<int>(std::ceil(v - 0.5f)); }

void Reference(const Case& c, const Surface& tex, Surface& target) {
  const int x0 = std::max(FirstCentre(std::min(c.x0, c.x1)), c.clipX0);
  const int x1 = std::min(FirstCentre(std::max(c.x0, c.x1)), c.clipX1);
  const int y0 = std::max(FirstCentre(std::min(c.y0, c.y1)), c.clipY0);
  const int y1 = std::min(FirstCentre(std::max(c.y0, c.y1)), c.clipY1);
  if (x0 >= x1 || y0 >= y1) return;
  // Texture coordinates of the quad's left and top edges.
  const float uL = c.x0 < c.x1 ? c.u0 : c.u1, uR = c.x0 < c.x1 ? c.u1 : c.u0;
  const float vT = c.y0 < c.y1 ? c.v0 : c.v1, vB = c.y0 < c.y1 ? c.v1 : c.v0;
  // Coordinates within 0..1 are clamped whatever the addressing.
  auto in01 = [](float t) { return t >= 0.0f && t <= 1.0f; };
  const bool wrap = c.wrap && !(in01(uL) && in01(uR) && in01(vT) && in01(vB));
  const auto cols = Samples(x0, x1 - x0, std::min(c.x0, c.x1), std::max(c.x0, c.x1), uL, uR, c.tw, c.linear, wrap);
  const auto rows = Samples(y0, y1 - y0, std::min(c.y0, c.y1), std::max(c.y0, c.y1), vT, vB, c.th, c.linear, wrap);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const Sample& sr = rows[static_cast<size_t>(y - y0)];
      const Sample& sc = cols[static_cast<size_t>(x - x0)];
      const Rgb t00 = Split(tex.Row(sr.a)[sc.a]), t01 = Split(tex.Row(sr.a)[sc.b]);
      const Rgb t10 = Split(tex.Row(sr.b)[sc.a]), t11 = Split(tex.Row(sr.b)[sc.b]);
      // Rows first, then columns, each rounded down.
      auto filter = [&](int Rgb::*ch) {
        const int left = (t00.*ch * (32 - sr.w) + t10.*ch * sr.w) / 32;
        const int right = (t01.*ch * (32 - sr.w) + t11.*ch * sr.w) / 32;
        return (left * (32 - sc.w) + right * sc.w) / 32;
      };
      const Rgb d = Split(target.Row(y)[x]);
      const Rgb s{filter(&Rgb::r) * (c.r + 1) / 256, filter(&Rgb::g) * (c.g + 1) / 256,
                  filter(&Rgb::b) * (c.b + 1) / 256};
      target.Row(y)[x] = Pack(Rgb{std::min(d.r + s.r, 31), std::min(d.g + s.g, 63), std::min(d.b + s.b, 31)});
    }
}

void Draw(const Case& c, const TextureSurface& tex, Surface& target, bool widest, bool additive) {
  Rasterizer raster;
  raster.SetTarget(&target, nullptr);
  raster.SetClip(c.clipX0, c.clipY0, c.clipX1, c.clipY1);
  RasterState st;
  st.texture = &tex;
  st.linearFilter = c.linear;
  st.wrap = c.wrap;
  // An additive blend takes no alpha: a key changes nothing.
  st.textureAlpha = c.keyed;
  st.alphaKey = tex.Row(0)[0];
  st.blend = true;
  st.srcBlend = D3DBLEND_ONE;
  st.dstBlend = D3DBLEND_ONE;
  raster.SetState(st);
  raster.UseKernels(widest, additive);
  auto vertex = [&](float x, float y, float u, float v) {
    RasterVertex r;
    r.x = x;
    r.y = y;
    r.z = 0.99f;
    r.rhw = 0.5f;
    r.r = static_cast<float>(c.r);
    r.g = static_cast<float>(c.g);
    r.b = static_cast<float>(c.b);
    r.u = u;
    r.v = v;
    return r;
  };
  // The battles' strip: bottom-left, top-left, bottom-right, top-right.
  const RasterVertex bl = vertex(c.x0, c.y1, c.u0, c.v1), tl = vertex(c.x0, c.y0, c.u0, c.v0);
  const RasterVertex br = vertex(c.x1, c.y1, c.u1, c.v1), tr = vertex(c.x1, c.y0, c.u1, c.v0);
  const RasterVertex battle[4] = {bl, tl, br, tr}, rows[4] = {tl, tr, bl, br};
  raster.DrawStripQuad(c.rowOrder ? rows : battle);
}

// Draws the case with every kernel choice and expects the reference's pixels.
void Check(const Case& c, std::mt19937& rng) {
  constexpr int kW = 200, kH = 150;
  TextureSurface tex(c.tw, c.th);
  Surface before(kW, kH);
  std::uniform_int_distribution<int> any(0, 0xFFFF);
  for (int y = 0; y < c.th; ++y)
    for (int x = 0; x < c.tw; ++x) tex.Row(y)[x] = static_cast<uint16_t>(any(rng));
  // Dark and bright targets, so that sums both stay below and saturate.
  const int bright = std::uniform_int_distribution<int>(0, 1)(rng);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) before.Row(y)[x] = static_cast<uint16_t>(any(rng) & (bright ? 0xFFFF : 0x738E));
  Surface expected(kW, kH);
  std::copy(before.Pixels(), before.Pixels() + kW * kH, expected.Pixels());
  Reference(c, tex, expected);
  for (bool widest : {true, false})
    for (bool additive : {true, false}) {
      Surface got(kW, kH);
      std::copy(before.Pixels(), before.Pixels() + kW * kH, got.Pixels());
      Draw(c, tex, got, widest, additive);
      int wrong = 0, firstX = -1, firstY = -1;
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
          if (got.Row(y)[x] != expected.Row(y)[x] && wrong++ == 0) {
            firstX = x;
            firstY = y;
          }
      ASSERT_EQ(wrong, 0) << (widest ? "widest " : "plain ") << (additive ? "additive" : "per-pixel")
                          << " kernels, " << c.Describe() << "; first at " << firstX << "," << firstY;
    }
}

TEST(QuadKernels, TheBattlesQuadsMatchTheReference) {
  std::mt19937 rng(7);
  // Texture drawn 1:1, halved and at one and a half, white and tinted, at
  // whole and uneven positions, inside and across the clip edges.
  for (int side : {32, 64, 48, 16, 33})
    for (uint32_t tint : {0xFFFFFFu, 0xFF8040u, 0x40C0FFu})
      for (float x : {10.0f, 10.5f, -9.0f, 180.0f})
        for (float y : {20.0f, 130.25f, -3.0f})
          for (bool linear : {true, false}) {
            Case c;
            c.tw = c.th = side;
            c.x0 = x;
            c.y0 = y;
            c.x1 = x + 32;
            c.y1 = y + 32;
            c.clipX1 = 200;
            c.clipY1 = 150;
            c.linear = linear;
            c.r = static_cast<int>(tint >> 16);
            c.g = static_cast<int>((tint >> 8) & 255);
            c.b = static_cast<int>(tint & 255);
            Check(c, rng);
          }
}

TEST(QuadKernels, RandomQuadsMatchTheReference) {
  std::mt19937 rng(2024);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  // Positions and coordinates on a grid of eighths and thirds: where a
  // sample falls is then a matter of the arithmetic, not of luck.
  auto coordinate = [&](int lo, int hi) { return static_cast<float>(pick(lo * 8, hi * 8)) / 8.0f; };
  for (int i = 0; i < 600; ++i) {
    Case c;
    const int sides[] = {1, 2, 7, 16, 31, 32, 48, 64, 100, 128};
    c.tw = sides[pick(0, 9)];
    c.th = pick(0, 3) ? c.tw : sides[pick(0, 9)];
    const int w = pick(0, 2) ? (pick(0, 1) ? c.tw : c.tw / 2 + 1) : pick(1, 90);
    const int h = pick(0, 2) ? (pick(0, 1) ? c.th : c.th / 2 + 1) : pick(1, 90);
    c.x0 = coordinate(-40, 190);
    c.y0 = coordinate(-40, 140);
    c.x1 = c.x0 + static_cast<float>(pick(0, 1) ? w : -w) + (pick(0, 3) ? 0.0f : coordinate(0, 1));
    c.y1 = c.y0 + static_cast<float>(pick(0, 1) ? h : -h) + (pick(0, 3) ? 0.0f : coordinate(0, 1));
    if (pick(0, 3) == 0) {
      // Mirrored, shifted or repeated texture coordinates.
      const float spans[] = {-1.0f, 1.0f, 2.0f, 1.0f / 3.0f, 1.5f};
      c.u0 = static_cast<float>(pick(-3, 3)) / 4.0f;
      c.v0 = static_cast<float>(pick(-3, 3)) / 4.0f;
      c.u1 = c.u0 + spans[pick(0, 4)];
      c.v1 = c.v0 + spans[pick(0, 4)];
      c.wrap = pick(0, 1);
    }
    c.clipX0 = pick(0, 3) ? 0 : pick(0, 100);
    c.clipY0 = pick(0, 3) ? 0 : pick(0, 75);
    c.clipX1 = pick(0, 3) ? 200 : pick(c.clipX0, 200);
    c.clipY1 = pick(0, 3) ? 150 : pick(c.clipY0, 150);
    c.linear = pick(0, 3) != 0;
    c.keyed = pick(0, 1);
    c.rowOrder = pick(0, 3) == 0;
    if (pick(0, 1)) {
      c.r = pick(0, 255);
      c.g = pick(0, 255);
      c.b = pick(0, 255);
    }
    Check(c, rng);
    if (HasFatalFailure()) return;
  }
}

// Strips that are no axis-aligned rectangle with its texture along the
// axes go through the triangles whether the rectangle path is on or not.
TEST(QuadKernels, StripsThatAreNoRectanglesTakeTheTriangles) {
  auto tex = std::make_unique<TextureSurface>(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) tex->Row(y)[x] = static_cast<uint16_t>(x * 2000 + y * 37);
  auto vertex = [](float x, float y, float u, float v) {
    RasterVertex r;
    r.x = x;
    r.y = y;
    r.u = u;
    r.v = v;
    r.r = 200;
    return r;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  struct Strip {
    const char* what;
    RasterVertex v[4];
  };
  std::vector<Strip> strips = {
      {"skewed", {vertex(10, 40, 0, 1), vertex(12, 10, 0, 0), vertex(40, 40, 1, 1), vertex(40, 10, 1, 0)}},
      {"u along y", {vertex(10, 40, 0, 1), vertex(10, 10, 0.5f, 0), vertex(40, 40, 1, 1), vertex(40, 10, 1, 0)}},
      {"v along x", {vertex(10, 40, 0, 1), vertex(10, 10, 0, 0), vertex(40, 40, 1, 0.5f), vertex(40, 10, 1, 0)}},
      {"edge shared along a side",
       {vertex(10, 40, 0, 1), vertex(10, 10, 0, 0), vertex(40, 10, 1, 0), vertex(40, 40, 1, 1)}},
      // Both triangles without area: nothing at all is drawn.
      {"two corners alike", {vertex(10, 40, 0, 1), vertex(10, 40, 0, 1), vertex(40, 10, 1, 0), vertex(40, 10, 1, 0)}},
      {"NaN u", {vertex(10, 40, nan, 1), vertex(10, 10, nan, 0), vertex(40, 40, 1, 1), vertex(40, 10, 1, 0)}},
      {"infinite v", {vertex(10, 40, 0, inf), vertex(10, 10, 0, 0), vertex(40, 40, 1, inf), vertex(40, 10, 1, 0)}},
      {"NaN x", {vertex(nan, 40, 0, 1), vertex(10, 10, 0, 0), vertex(40, 40, 1, 1), vertex(40, 10, 1, 0)}},
  };
  Strip colours{"one corner's colour", {vertex(10, 40, 0, 1), vertex(10, 10, 0, 0), vertex(40, 40, 1, 1),
                                         vertex(40, 10, 1, 0)}};
  colours.v[3].g = 7;
  strips.push_back(colours);
  Strip depth = strips.back();
  depth.what = "depth beyond the far plane";
  depth.v[3].g = 255;
  depth.v[2].z = 1.5f;
  strips.push_back(depth);
  for (const Strip& s : strips) {
    Surface drawn[2] = {Surface(64, 64), Surface(64, 64)};
    for (int rect = 0; rect < 2; ++rect) {
      Rasterizer raster;
      raster.SetTarget(&drawn[rect], nullptr);
      RasterState st;
      st.texture = tex.get();
      st.linearFilter = true;
      st.blend = true;
      st.srcBlend = st.dstBlend = D3DBLEND_ONE;
      raster.SetState(st);
      raster.EnableRectanglePath(rect == 1);
      raster.DrawStripQuad(s.v);
    }
    EXPECT_TRUE(std::equal(drawn[0].Pixels(), drawn[0].Pixels() + 64 * 64, drawn[1].Pixels())) << s.what;
  }
}

}  // namespace
