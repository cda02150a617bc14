// The immediate-mode device and its rasteriser, checked pixel by pixel
// against plain formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/d3d/device.hpp"
#include "platform/d3d/texture.hpp"
#include "tests/platform/d3d_support.hpp"

namespace {

using d3dtest::MakeQuad;
using d3dtest::Pack;
using d3dtest::Rgb;
using d3dtest::Split;
using namespace plat;

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target = std::make_shared<Surface>(160, 120);
    device = d3d.CreateDevice(kHalDeviceGuid, target);
    ASSERT_TRUE(device);
  }
  void UseDepth() {
    auto z = d3d.CreateZBuffer(160, 120, d3d.EnumZBufferFormats(kHalDeviceGuid).front());
    ASSERT_EQ(d3d.AddAttachedSurface(target, z), D3D_OK);
    device = d3d.CreateDevice(kHalDeviceGuid, target);
  }
  // The battles' states: additive, texture modulated by the vertex colour.
  void BattleStates(bool linear = true) {
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    const uint32_t f = linear ? D3DTFG_LINEAR : D3DTFG_POINT;
    device->SetTextureStageState(0, D3DTSS_MINFILTER, f);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, f);
  }
  void Draw(int type, const D3DTLVERTEX* v, uint32_t n) {
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(type, D3DFVF_TLVERTEX, v, n, 0), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
  }
  void DrawQuad(float x0, float y0, float x1, float y1, uint32_t colour) {
    const auto q = MakeQuad(x0, y0, x1, y1, colour);
    Draw(D3DPT_TRIANGLESTRIP, q.v, 4);
  }
  uint16_t At(int x, int y) const { return target->Row(y)[x]; }

  Direct3D7 d3d{nullptr};
  SurfacePtr target;
  std::shared_ptr<Direct3DDevice7> device;
};

TEST_F(DeviceTest, AdditiveBlendingSaturatesEachChannelOnItsOwn) {
  BattleStates();
  const Rgb dst{20, 40, 10}, src{15, 30, 25};
  d3dtest::Fill(*target, Pack(dst));
  device->SetTexture(0, d3dtest::Solid(64, 64, Pack(src)));
  DrawQuad(10, 20, 42, 52, 0xFFFFFFFFu);
  // Red and blue overflow and stop at their maximum; green adds up.
  EXPECT_EQ(Split(At(10, 20)), (Rgb{31, 63, 31}));
  EXPECT_EQ(Split(At(41, 51)), (Rgb{31, 63, 31}));
  const Rgb low{3, 5, 2};
  d3dtest::Fill(*target, Pack(low));
  DrawQuad(10, 20, 42, 52, 0xFFFFFFFFu);
  EXPECT_EQ(Split(At(25, 30)), (Rgb{18, 35, 27}));
  // Exactly the quad's pixels, nothing around it.
  EXPECT_EQ(At(9, 30), Pack(low));
  EXPECT_EQ(At(42, 30), Pack(low));
  EXPECT_EQ(At(25, 19), Pack(low));
  EXPECT_EQ(At(25, 52), Pack(low));
  EXPECT_EQ(d3dtest::CountNot(*target, Pack(low)), 32 * 32);
}

TEST_F(DeviceTest, TextureIsModulatedByTheVertexColour) {
  BattleStates(false);
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  const Rgb texel{31, 63, 20};
  device->SetTexture(0, d3dtest::Solid(8, 8, Pack(texel)));
  const uint32_t r = 128, g = 64, b = 255;
  DrawQuad(0, 0, 16, 16, 0xFF000000u | (r << 16) | (g << 8) | b);
  // floor(texel * (m + 1) / 256) per channel.
  const Rgb expected{static_cast<int>(31 * (r + 1) / 256), static_cast<int>(63 * (g + 1) / 256),
                     static_cast<int>(20 * (b + 1) / 256)};
  EXPECT_EQ(Split(At(0, 0)), expected);
  EXPECT_EQ(Split(At(15, 15)), expected);
  // A colour op selecting the texture alone ignores the vertex colour.
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  DrawQuad(0, 0, 16, 16, 0xFF000000u);
  EXPECT_EQ(Split(At(5, 5)), texel);
  // Without a texture, the vertex colour alone.
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTexture(0, nullptr);
  DrawQuad(0, 0, 16, 16, 0xFF0080FFu);
  EXPECT_EQ(Split(At(5, 5)), (Rgb{0, 32, 31}));
}

TEST_F(DeviceTest, AlphaBlendingMixesByTheSourceAlpha) {
  const Rgb dst{4, 10, 30}, src{28, 50, 2};
  d3dtest::Fill(*target, Pack(dst));
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTexture(0, nullptr);
  for (uint32_t alpha : {0u, 64u, 128u, 200u, 255u}) {
    d3dtest::Fill(*target, Pack(dst));
    const uint32_t colour = (alpha << 24) | (static_cast<uint32_t>(src.r) << 19) | (static_cast<uint32_t>(src.g) << 10) |
                            (static_cast<uint32_t>(src.b) << 3);
    DrawQuad(0, 0, 8, 8, colour);
    const int a256 = static_cast<int>(alpha + (alpha >> 7)), a5 = (a256 + 4) >> 3;
    auto mix = [a5](int d, int s) { return (d * (32 - a5) + s * a5) / 32; };
    EXPECT_EQ(Split(At(3, 3)), (Rgb{mix(dst.r, src.r), mix(dst.g, src.g), mix(dst.b, src.b)})) << alpha;
  }
  // With the texture's alpha key, key-coloured texels leave the target as
  // it was.
  auto tex = CreateTexture(2, 1);
  tex->Row(0)[0] = 0;
  tex->Row(0)[1] = Pack(src);
  tex->SetAlphaKey(0);
  device->SetTexture(0, tex);
  d3dtest::Fill(*target, Pack(dst));
  DrawQuad(0, 0, 8, 4, 0xFFFFFFFFu);
  EXPECT_EQ(Split(At(1, 1)), dst);
  EXPECT_EQ(Split(At(6, 1)), src);
}

TEST_F(DeviceTest, QuadsAreClippedAtEveryViewportEdge) {
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  D3DVIEWPORT7 vp{20, 10, 100, 80, 0.0f, 1.0f};
  ASSERT_EQ(device->SetViewport(vp), D3D_OK);
  const uint16_t white = 0xFFFF;
  struct Case {
    float x0, y0, x1, y1;
    int ex0, ey0, ex1, ey1;  // expected covered pixels, inclusive
  };
  const Case cases[] = {
      {5, 30, 40, 50, 20, 30, 39, 49},      // left edge
      {100, 30, 150, 50, 100, 30, 119, 49},  // right edge
      {40, -20, 60, 25, 40, 10, 59, 24},     // top edge
      {40, 70, 60, 200, 40, 70, 59, 89},     // bottom edge
      {-50, -50, 400, 400, 20, 10, 119, 89}  // all four
  };
  for (bool rectangles : {true, false}) {
    device->RasterizerForTests().EnableRectanglePath(rectangles);
    for (const Case& c : cases) {
      d3dtest::Fill(*target, 0);
      DrawQuad(c.x0, c.y0, c.x1, c.y1, 0xFFFFFFFFu);
      int x0, y0, x1, y1;
      ASSERT_TRUE(d3dtest::BoundsNot(*target, 0, x0, y0, x1, y1));
      EXPECT_EQ(x0, c.ex0);
      EXPECT_EQ(y0, c.ey0);
      EXPECT_EQ(x1, c.ex1);
      EXPECT_EQ(y1, c.ey1);
      EXPECT_EQ(d3dtest::CountNot(*target, 0), (c.ex1 - c.ex0 + 1) * (c.ey1 - c.ey0 + 1));
      EXPECT_EQ(At(c.ex0, c.ey0), white);
    }
  }
  // Clearing stays inside the viewport too.
  d3dtest::Fill(*target, 0);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
  EXPECT_EQ(d3dtest::CountNot(*target, 0), 100 * 80);
  EXPECT_EQ(At(20, 10), 0xF800);
  // A viewport outside the target is refused.
  EXPECT_NE(device->SetViewport(D3DVIEWPORT7{100, 0, 100, 10, 0, 1}), D3D_OK);
}

TEST_F(DeviceTest, TheRectanglePathDrawsWhatTheTrianglesDraw) {
  // A smooth texture: neighbouring texels differ by at most one step, so
  // where the two paths round a sample position differently the pixels
  // differ by one step at most; any wrong mapping shows as more.
  auto tex = CreateTexture(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) tex->Row(y)[x] = Pack(Rgb{x / 2, y, (x + y) / 4});
  auto other = std::make_shared<Surface>(160, 120);
  for (float size : {32.0f, 40.0f, 64.0f, 17.0f}) {
    for (uint32_t colour : {0xFFFFFFFFu, 0xFFC08040u}) {
      for (bool linear : {true, false}) {
        BattleStates(linear);
        device->SetTexture(0, tex);
        for (bool rectangles : {true, false}) {
          d3dtest::Fill(*target, 0x0841);
          device->RasterizerForTests().EnableRectanglePath(rectangles);
          DrawQuad(-7.3f, 13.6f, -7.3f + size * 1.37f, 13.6f + size, colour);
          if (rectangles) std::copy(target->Pixels(), target->Pixels() + 160 * 120, other->Pixels());
        }
        int worst = 0, coverage = 0;
        for (int i = 0; i < 160 * 120; ++i) {
          const Rgb a = Split(other->Pixels()[i]), b = Split(target->Pixels()[i]);
          worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
          coverage += (other->Pixels()[i] == 0x0841) != (target->Pixels()[i] == 0x0841);
        }
        EXPECT_LE(worst, 1) << size << " " << colour << " " << linear;
        EXPECT_EQ(coverage, 0) << size << " " << colour << " " << linear;
      }
    }
  }
}

TEST_F(DeviceTest, TrianglesSharingAnEdgeDrawEachPixelOnce) {
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
  d3dtest::Fill(*target, 0);
  // A slanted quad as a fan of four triangles around an inner point: every
  // pixel inside gets the colour added exactly once.
  const uint32_t c = 0xFF080808u;
  const D3DTLVERTEX fan[] = {{60.3f, 50.7f, 0, 1, c, 0, 0, 0}, {20.1f, 10.2f, 0, 1, c, 0, 0, 0},
                             {120.6f, 30.9f, 0, 1, c, 0, 0, 0}, {100.2f, 110.4f, 0, 1, c, 0, 0, 0},
                             {10.5f, 90.8f, 0, 1, c, 0, 0, 0},  {20.1f, 10.2f, 0, 1, c, 0, 0, 0}};
  Draw(D3DPT_TRIANGLEFAN, fan, 6);
  const uint16_t once = Pack(Rgb{1, 2, 1});
  int covered = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) {
      const uint16_t p = At(x, y);
      ASSERT_TRUE(p == 0 || p == once) << x << "," << y;
      covered += p == once;
    }
  // The quadrilateral's area, by the shoelace formula.
  const float xs[] = {20.1f, 120.6f, 100.2f, 10.5f}, ys[] = {10.2f, 30.9f, 110.4f, 90.8f};
  float area = 0;
  for (int i = 0; i < 4; ++i) area += xs[i] * ys[(i + 1) % 4] - xs[(i + 1) % 4] * ys[i];
  EXPECT_NEAR(covered, std::fabs(area) / 2, 2 + std::fabs(area) * 0.01f);
}

TEST_F(DeviceTest, NearerTriangleWinsWhateverTheOrder) {
  UseDepth();
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  auto tri = [](float z, uint32_t c, float dx) {
    return std::array<D3DTLVERTEX, 3>{D3DTLVERTEX{10 + dx, 10, z, 1, c, 0, 0, 0},
                                      D3DTLVERTEX{90 + dx, 10, z, 1, c, 0, 0, 0},
                                      D3DTLVERTEX{50 + dx, 90, z, 1, c, 0, 0, 0}};
  };
  const auto nearRed = tri(0.2f, 0xFFFF0000u, 0), farBlue = tri(0.8f, 0xFF0000FFu, 30);
  for (bool nearFirst : {true, false}) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    const auto& first = nearFirst ? nearRed : farBlue;
    const auto& second = nearFirst ? farBlue : nearRed;
    Draw(D3DPT_TRIANGLELIST, first.data(), 3);
    Draw(D3DPT_TRIANGLELIST, second.data(), 3);
    EXPECT_EQ(At(60, 20), 0xF800) << nearFirst;  // overlap: red is nearer
    EXPECT_EQ(At(100, 20), 0x001F) << nearFirst;  // blue alone
    EXPECT_EQ(At(20, 15), 0xF800) << nearFirst;  // red alone
  }
  // With depth testing off, the last one drawn shows.
  device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
  Draw(D3DPT_TRIANGLELIST, farBlue.data(), 3);
  EXPECT_EQ(At(60, 20), 0x001F);
}

TEST_F(DeviceTest, CounterClockwiseTrianglesAreCulledByDefault) {
  const D3DTLVERTEX cw[] = {{10, 10, 0, 1, 0xFFFFFFFFu, 0, 0, 0}, {50, 10, 0, 1, 0xFFFFFFFFu, 0, 0, 0},
                            {10, 50, 0, 1, 0xFFFFFFFFu, 0, 0, 0}};
  const D3DTLVERTEX ccw[] = {cw[0], cw[2], cw[1]};
  Draw(D3DPT_TRIANGLELIST, ccw, 3);
  EXPECT_EQ(d3dtest::CountNot(*target, 0), 0);
  Draw(D3DPT_TRIANGLELIST, cw, 3);
  EXPECT_GT(d3dtest::CountNot(*target, 0), 0);
  d3dtest::Fill(*target, 0);
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  Draw(D3DPT_TRIANGLELIST, ccw, 3);
  EXPECT_GT(d3dtest::CountNot(*target, 0), 0);
}

TEST_F(DeviceTest, LinearFilterHalvingATextureAveragesTexelPairs) {
  BattleStates(true);
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  // Columns alternate between two greens; halved, each pixel averages a
  // pair of columns and a pair of rows.
  auto tex = CreateTexture(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) tex->Row(y)[x] = Pack(Rgb{0, x % 2 ? 40 : 10, y % 2 ? 20 : 0});
  device->SetTexture(0, tex);
  for (bool rectangles : {true, false}) {
    device->RasterizerForTests().EnableRectanglePath(rectangles);
    DrawQuad(0, 0, 4, 4, 0xFFFFFFFFu);
    EXPECT_EQ(Split(At(1, 2)), (Rgb{0, 25, 10}));
    // Drawn at its own size, every texel comes through unchanged.
    DrawQuad(10, 0, 18, 8, 0xFFFFFFFFu);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(At(10 + x, 3), tex->Row(3)[x]);
  }
}

TEST_F(DeviceTest, TextureCoordinatesFollowThePerspective) {
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  auto tex = CreateTexture(2, 1);
  tex->Row(0)[0] = 0xF800;
  tex->Row(0)[1] = 0x001F;
  device->SetTexture(0, tex);
  // The right edge is four times as far away: texture u = 0.5 falls where
  // u * rhw, interpolated on the screen, is half of rhw.
  const float w0 = 1.0f, w1 = 0.25f;
  const D3DTLVERTEX q[] = {{0, 40, 0.5f, w0, 0xFFFFFFFFu, 0, 0, 1},
                           {0, 0, 0.5f, w0, 0xFFFFFFFFu, 0, 0, 0},
                           {160, 40, 0.5f, w1, 0xFFFFFFFFu, 0, 1, 1},
                           {160, 0, 0.5f, w1, 0xFFFFFFFFu, 0, 1, 0}};
  Draw(D3DPT_TRIANGLESTRIP, q, 4);
  // t * w1 / ((1 - t) * w0 + t * w1) = 0.5  =>  t = w0 / (w0 + w1)
  const int boundary = static_cast<int>(160 * w0 / (w0 + w1));
  EXPECT_EQ(At(boundary - 2, 20), 0xF800);
  EXPECT_EQ(At(boundary + 2, 20), 0x001F);
}

TEST_F(DeviceTest, DrawingNeedsAScene) {
  const auto q = MakeQuad(0, 0, 10, 10, 0xFFFFFFFFu);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, q.v, 4, 0), D3DERR_SCENE_NOT_IN_SCENE);
  EXPECT_EQ(d3dtest::CountNot(*target, 0), 0);
  EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
  // Only pre-transformed vertices, only triangles.
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x112, q.v, 4, 0), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_LINELIST, D3DFVF_TLVERTEX, q.v, 4, 0), D3DERR_INVALIDPRIMITIVETYPE);
  EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(DeviceTest, WildCoordinatesNeitherCrashNorStray) {
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const D3DTLVERTEX bad[] = {{nan, 10, 0, 1, 0xFFFFFFFFu, 0, 0, 0}, {50, inf, 0, 1, 0xFFFFFFFFu, 0, 0, 0},
                             {10, 50, 0, 1, 0xFFFFFFFFu, 0, 0, 0}};
  Draw(D3DPT_TRIANGLELIST, bad, 3);
  EXPECT_EQ(d3dtest::CountNot(*target, 0), 0);
  // A triangle far larger than the target fills it exactly.
  const D3DTLVERTEX huge[] = {{-1e7f, -1e7f, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0}, {1e7f, -1e7f, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0},
                              {0, 1e7f, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0}};
  Draw(D3DPT_TRIANGLELIST, huge, 3);
  EXPECT_EQ(d3dtest::CountNot(*target, 0xFFFF), 0);
  // Depth beyond 0..1 is cut away.
  d3dtest::Fill(*target, 0);
  const D3DTLVERTEX deep[] = {{0, 0, 2.0f, 1, 0xFFFFFFFFu, 0, 0, 0}, {100, 0, 2.0f, 1, 0xFFFFFFFFu, 0, 0, 0},
                              {0, 100, 2.0f, 1, 0xFFFFFFFFu, 0, 0, 0}};
  Draw(D3DPT_TRIANGLELIST, deep, 3);
  EXPECT_EQ(d3dtest::CountNot(*target, 0), 0);
}

TEST(Direct3DObject, OffersDepthFormatsAndDevicesOfBothKinds) {
  Direct3D7 d3d(nullptr);
  const auto formats = d3d.EnumZBufferFormats("iid_idirect3dhaldevice");
  ASSERT_EQ(formats.size(), 3u);
  EXPECT_EQ(formats[0].lZBufferBitDepth, 16u);
  EXPECT_TRUE(d3d.EnumZBufferFormats("IID_Unknown").empty());
  auto target = std::make_shared<Surface>(32, 16);
  EXPECT_EQ(d3d.CreateDevice("IID_Unknown", target), nullptr);
  auto rgb = d3d.CreateDevice("IID_IDIRECT3DRGBDEVICE", target);
  ASSERT_TRUE(rgb);
  EXPECT_EQ(rgb->GetDeviceGuid(), kRgbDeviceGuid);
  EXPECT_FALSE(rgb->IsHardware());
  EXPECT_EQ(rgb->GetZBuffer(), nullptr);
  EXPECT_EQ(rgb->GetRenderState(D3DRENDERSTATE_ZENABLE), 0u);
  // A depth buffer must match its target's size.
  auto wrong = d3d.CreateZBuffer(16, 16, formats[0]);
  EXPECT_NE(d3d.AddAttachedSurface(target, wrong), D3D_OK);
  auto right = d3d.CreateZBuffer(32, 16, formats[0]);
  ASSERT_EQ(d3d.AddAttachedSurface(target, right), D3D_OK);
  auto hal = d3d.CreateDevice(kHalDeviceGuid, target);
  EXPECT_EQ(hal->GetZBuffer(), right);
  EXPECT_EQ(hal->GetRenderState(D3DRENDERSTATE_ZENABLE), 1u);
  EXPECT_TRUE(hal->GetCaps().dpcTriCaps.dwDestBlendCaps & D3DPBLENDCAPS_ONE);
}

}  // namespace

namespace {

// Depth fills are put off until the buffer is read; whatever is read must
// be what the fills, in their order, would have left.
TEST(ZBufferFills, ReadsSeeEveryFillInOrder) {
  plat::ZBuffer z(8, 6, 16);
  const uint32_t far = static_cast<uint32_t>(z.Scale());
  EXPECT_EQ(z.Row(5)[7], far);  // a new buffer stands at the far depth
  z.Fill(0, 0, 8, 6, 0.5f);
  z.Fill(2, 1, 4, 3, 0.0f);
  z.Fill(-5, 4, 100, 100, 1.0f);  // clipped to the buffer
  const plat::ZBuffer& view = z;
  const uint32_t half = static_cast<uint32_t>(0.5f * z.Scale());
  EXPECT_EQ(view.Row(0)[0], half);
  EXPECT_EQ(view.Row(1)[2], 0u);
  EXPECT_EQ(view.Row(2)[3], 0u);
  EXPECT_EQ(view.Row(2)[4], half);
  EXPECT_EQ(view.Row(4)[0], far);
  EXPECT_EQ(view.Row(5)[7], far);
  // A whole fill after partial ones leaves only itself.
  z.Fill(1, 1, 2, 2, 0.0f);
  z.Fill(0, 0, 8, 6, 0.25f);
  EXPECT_EQ(z.Row(1)[1], static_cast<uint32_t>(0.25f * z.Scale()));
  // Many small fills before a read all land.
  for (int i = 0; i < 200; ++i) z.Fill(i % 8, i % 6, i % 8 + 1, i % 6 + 1, (i % 3) / 2.0f);
  for (int i = 200 - 24; i < 200; ++i)  // the last fill of each cell it touches wins
    EXPECT_EQ(z.Row(i % 6)[i % 8], static_cast<uint32_t>((i % 3) / 2.0f * z.Scale())) << i;
}

}  // namespace
