// The blitters against a plain reference loop: every destination pixel of
// the rectangle takes the source pixel under its centre, unless either lies
// outside its surface or the source pixel is a key colour.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/display/blit.hpp"
#include "platform/display/surface.hpp"

namespace {
using plat::RECT;
using plat::Surface;

enum class RefOp { Copy, Or };

void Reference(Surface& dst, const RECT& d, const Surface& src, const RECT& s, bool keyed, RefOp op) {
  const double dw = double(d.Right) - d.Left, dh = double(d.Bottom) - d.Top;
  const double sw = double(s.Right) - s.Left, sh = double(s.Bottom) - s.Top;
  for (int64_t j = 0; j < int64_t(dh); ++j)
    for (int64_t i = 0; i < int64_t(dw); ++i) {
      const int64_t dx = d.Left + i, dy = d.Top + j;
      if (dx < 0 || dy < 0 || dx >= dst.Width() || dy >= dst.Height()) continue;
      const int64_t sx = s.Left + int64_t(std::floor((i + 0.5) * sw / dw));
      const int64_t sy = s.Top + int64_t(std::floor((j + 0.5) * sh / dh));
      if (sx < 0 || sy < 0 || sx >= src.Width() || sy >= src.Height()) continue;
      const uint16_t p = src.Row(int(sy))[sx];
      if (keyed && p >= src.ColorKeyLow() && p <= src.ColorKeyHigh()) continue;
      uint16_t& out = dst.Row(int(dy))[dx];
      out = op == RefOp::Or ? uint16_t(out | p) : p;
    }
}

// Pictures with runs of a few colours, key colours among them.
void Paint(Surface& s, std::mt19937& rng, const std::vector<uint16_t>& palette) {
  std::uniform_int_distribution<size_t> pick(0, palette.size() - 1);
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.Row(y)[x] = palette[pick(rng)];
}

std::vector<uint16_t> Pixels(const Surface& s) { return std::vector<uint16_t>(s.Pixels(), s.Pixels() + s.Width() * s.Height()); }

void Copy(Surface& to, const Surface& from) { std::copy(from.Pixels(), from.Pixels() + from.Width() * from.Height(), to.Pixels()); }

const std::vector<uint16_t> kPalette{0x0000, 0x0001, 0xF800, 0x07E0, 0x001F, 0xFFFF, 0x1234, 0x0010, 0x0020, 0x8410};

TEST(DisplayBlit, RandomBlitsMatchTheReferenceLoop) {
  std::mt19937 rng(1234);
  auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 3000; ++round) {
    Surface src(coord(1, 37), coord(1, 29)), dst(coord(1, 45), coord(1, 33));
    Paint(src, rng, kPalette);
    Paint(dst, rng, {0x5555, 0xAAAA, 0x0F0F});
    const int keyKind = coord(0, 3);
    if (keyKind == 1) src.SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
    if (keyKind == 2) src.SetColorKey(plat::DDCKEY_SRCBLT | plat::DDCKEY_COLORSPACE, 0x0010, 0x1234);
    if (keyKind == 3) src.SetColorKey(plat::DDCKEY_SRCBLT, 0x0001, 0x0000);
    const bool keyed = keyKind != 0 && coord(0, 1) == 1;
    const RECT s{coord(-8, 30), coord(-8, 25), 0, 0};
    const RECT sr{s.Left, s.Top, s.Left + coord(1, 30), s.Top + coord(1, 25)};
    Surface expect(dst.Width(), dst.Height());
    Copy(expect, dst);
    const int kind = coord(0, 2);
    int32_t result;
    if (kind == 0) {
      const int x = coord(-40, 50), y = coord(-30, 40);
      const RECT d{x, y, x + (sr.Right - sr.Left), y + (sr.Bottom - sr.Top)};
      Reference(expect, d, src, sr, keyed, RefOp::Copy);
      result = dst.BltFast(x, y, &src, &sr, keyed ? plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT : 0);
    } else {
      const int x = coord(-40, 50), y = coord(-30, 40);
      // Every fourth stretch doubles the width exactly, as the battle's
      // half-size background is drawn.
      const int w = round % 4 == 0 ? 2 * (sr.Right - sr.Left) : coord(1, 70);
      const RECT d{x, y, x + w, y + coord(1, 60)};
      const bool paint = kind == 2;
      Reference(expect, d, src, sr, keyed, paint ? RefOp::Or : RefOp::Copy);
      const int32_t flags = (keyed ? plat::DDBLT_KEYSRC : 0) | plat::DDBLT_WAIT;
      if (paint) {
        plat::DDBLTFX fx;
        fx.lROP = plat::SRCPAINT;
        result = dst.BltFx(&d, &src, &sr, flags | plat::DDBLT_ROP, fx);
      } else {
        result = dst.Blt(&d, &src, &sr, flags);
      }
    }
    ASSERT_EQ(result, plat::DD_OK) << "round " << round;
    ASSERT_EQ(Pixels(dst), Pixels(expect)) << "round " << round << " kind " << kind << " key " << keyKind;
  }
}

TEST(DisplayBlit, ColourKeyRanges) {
  Surface src(6, 1), dst(6, 1);
  const uint16_t row[6] = {0x000F, 0x0010, 0x0018, 0x0020, 0x0021, 0x0000};
  std::copy(row, row + 6, src.Pixels());
  // A range applies only with the colour-space flag.
  src.SetColorKey(plat::DDCKEY_SRCBLT | plat::DDCKEY_COLORSPACE, 0x0010, 0x0020);
  dst.BltColorFill(nullptr, 0x7777);
  dst.BltFast(0, 0, &src, nullptr, plat::DDBLTFAST_SRCCOLORKEY);
  EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{0x000F, 0x7777, 0x7777, 0x7777, 0x0021, 0x0000}));
  // Without it the low value alone is the key: low 1, high 0 keys colour 1.
  src.SetColorKey(plat::DDCKEY_SRCBLT, 0x0010, 0x0020);
  dst.BltColorFill(nullptr, 0x7777);
  dst.BltFast(0, 0, &src, nullptr, plat::DDBLTFAST_SRCCOLORKEY);
  EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{0x000F, 0x7777, 0x0018, 0x0020, 0x0021, 0x0000}));
  src.SetColorKey(plat::DDCKEY_SRCBLT, 1, 0);
  EXPECT_EQ(src.ColorKeyLow(), 1);
  EXPECT_EQ(src.ColorKeyHigh(), 1);
  // Only source keys are taken.
  EXPECT_NE(src.SetColorKey(plat::DDCKEY_DESTBLT, 5, 5), plat::DD_OK);
  EXPECT_EQ(src.ColorKeyLow(), 1);
}

TEST(DisplayBlit, KeyedBlitFromASurfaceWithoutKeyDrawsNothing) {
  Surface src(4, 4), dst(4, 4);
  src.BltColorFill(nullptr, 0x1111);
  EXPECT_EQ(dst.BltFast(0, 0, &src, nullptr, plat::DDBLTFAST_SRCCOLORKEY), plat::DDERR_NOCOLORKEY);
  EXPECT_EQ(dst.Blt(nullptr, &src, nullptr, plat::DDBLT_KEYSRC), plat::DDERR_NOCOLORKEY);
  EXPECT_EQ(Pixels(dst), std::vector<uint16_t>(16, 0));
  // Without the key flag the copy is plain.
  EXPECT_EQ(dst.BltFast(0, 0, &src, nullptr, plat::DDBLTFAST_WAIT), plat::DD_OK);
  EXPECT_EQ(Pixels(dst), std::vector<uint16_t>(16, 0x1111));
}

TEST(DisplayBlit, ClippingAtEachEdgeKeepsTheRestInPlace) {
  Surface src(4, 4), dst(6, 6);
  for (int i = 0; i < 16; ++i) src.Pixels()[i] = uint16_t(i + 1);
  // Left: columns 2 and 3 of the source land at x 0 and 1.
  dst.BltFast(-2, 0, &src, nullptr, 0);
  EXPECT_EQ(dst.Row(0)[0], 3);
  EXPECT_EQ(dst.Row(0)[1], 4);
  EXPECT_EQ(dst.Row(0)[2], 0);
  // Right: only the first column fits at x 5.
  dst.BltFast(5, 0, &src, nullptr, 0);
  EXPECT_EQ(dst.Row(3)[5], 13);
  // Top and bottom.
  dst.BltColorFill(nullptr, 0);
  dst.BltFast(0, -3, &src, nullptr, 0);
  EXPECT_EQ(dst.Row(0)[0], 13);
  EXPECT_EQ(dst.Row(1)[0], 0);
  dst.BltFast(0, 5, &src, nullptr, 0);
  EXPECT_EQ(dst.Row(5)[1], 2);
  // Entirely outside: nothing, and no error.
  const auto before = Pixels(dst);
  EXPECT_EQ(dst.BltFast(6, 0, &src, nullptr, 0), plat::DD_OK);
  EXPECT_EQ(dst.BltFast(-4, -4, &src, nullptr, 0), plat::DD_OK);
  EXPECT_EQ(dst.BltFast(INT32_MAX - 1, 0, &src, nullptr, 0), plat::DD_OK);
  EXPECT_EQ(Pixels(dst), before);
  // A source rectangle reaching past the source is cut to it.
  const RECT past{2, 2, 9, 9};
  dst.BltFast(0, 0, &src, &past, 0);
  EXPECT_EQ(dst.Row(0)[0], 11);
  EXPECT_EQ(dst.Row(1)[1], 16);
  EXPECT_EQ(dst.Row(2)[2], 0);
}

TEST(DisplayBlit, EmptyOrInvertedRectanglesAreRefused) {
  Surface src(4, 4), dst(4, 4);
  src.BltColorFill(nullptr, 0x2222);
  const RECT empty{1, 1, 1, 3}, inverted{3, 3, 1, 1};
  EXPECT_EQ(dst.BltFast(0, 0, &src, &empty, 0), plat::DDERR_INVALIDRECT);
  EXPECT_EQ(dst.Blt(&inverted, &src, nullptr, 0), plat::DDERR_INVALIDRECT);
  EXPECT_EQ(dst.BltColorFill(&inverted, 0x3333), plat::DDERR_INVALIDRECT);
  EXPECT_EQ(dst.BltFast(0, 0, nullptr, nullptr, 0), plat::DDERR_INVALIDPARAMS);
  EXPECT_EQ(Pixels(dst), std::vector<uint16_t>(16, 0));
}

TEST(DisplayBlit, StretchUpAndDown) {
  Surface small(3, 2), big(6, 4);
  for (int i = 0; i < 6; ++i) small.Pixels()[i] = uint16_t(10 + i);
  big.Blt(nullptr, &small, nullptr, plat::DDBLT_WAIT);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(big.Row(y)[x], small.Row(y / 2)[x / 2]) << x << "," << y;
  // Halving takes the second pixel of each pair: the one under the centre.
  Surface frame(640, 480), half(320, 240);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) frame.Row(y)[x] = uint16_t(x * 7 + y * 13);
  half.Blt(nullptr, &frame, nullptr, plat::DDBLT_WAIT);
  for (int y = 0; y < 240; y += 17)
    for (int x = 0; x < 320; x += 13) EXPECT_EQ(half.Row(y)[x], frame.Row(2 * y + 1)[2 * x + 1]);
}

TEST(DisplayBlit, FillsAreClipped) {
  Surface s(5, 4);
  const RECT r{3, -2, 9, 2};
  EXPECT_EQ(s.BltColorFill(&r, 0xABCD), plat::DD_OK);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(s.Row(y)[x], (x >= 3 && y < 2) ? 0xABCD : 0) << x << "," << y;
  s.BltColorFill(nullptr, 0x0101);
  EXPECT_EQ(Pixels(s), std::vector<uint16_t>(20, 0x0101));
}

TEST(DisplayBlit, OverlappingBlitWithinOneSurfaceReadsTheOldPixels) {
  std::mt19937 rng(7);
  for (int dx : {-3, -1, 1, 2}) {
    Surface s(12, 9), expect(12, 9), original(12, 9);
    Paint(s, rng, kPalette);
    Copy(original, s);
    Copy(expect, s);
    const RECT from{2, 1, 10, 8};
    Reference(expect, RECT{2 + dx, 1 + dx, 10 + dx, 8 + dx}, original, from, false, RefOp::Copy);
    s.BltFast(2 + dx, 1 + dx, &s, &from, 0);
    EXPECT_EQ(Pixels(s), Pixels(expect)) << dx;
  }
}

TEST(DisplayBlit, RasterOperations) {
  Surface src(2, 1), dst(2, 1);
  src.Pixels()[0] = 0x0F00;
  src.Pixels()[1] = 0x0000;
  dst.BltColorFill(nullptr, 0x00F0);
  src.SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  plat::DDBLTFX fx;
  fx.lROP = plat::SRCPAINT;
  EXPECT_EQ(dst.BltFx(nullptr, &src, nullptr, plat::DDBLT_ROP | plat::DDBLT_KEYSRC, fx), plat::DD_OK);
  EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{0x0FF0, 0x00F0}));
  fx.lROP = 0x660046;  // SRCINVERT is not supported
  EXPECT_EQ(dst.BltFx(nullptr, &src, nullptr, plat::DDBLT_ROP, fx), plat::DDERR_NORASTEROPHW);
  fx.lROP = plat::SRCCOPY;
  EXPECT_EQ(dst.BltFx(nullptr, &src, nullptr, plat::DDBLT_ROP, fx), plat::DD_OK);
  EXPECT_EQ(Pixels(dst), (std::vector<uint16_t>{0x0F00, 0x0000}));
}

TEST(DisplayBlit, IntersectRectTreatsTouchingAsApart) {
  RECT out{1, 2, 3, 4};
  EXPECT_FALSE(plat::IntersectRect(out, RECT{0, 0, 10, 10}, RECT{10, 0, 20, 10}));
  EXPECT_EQ(out.Right, 0);
  EXPECT_TRUE(plat::IntersectRect(out, RECT{0, 0, 10, 10}, RECT{5, -5, 20, 3}));
  EXPECT_EQ(out.Left, 5);
  EXPECT_EQ(out.Top, 0);
  EXPECT_EQ(out.Right, 10);
  EXPECT_EQ(out.Bottom, 3);
  EXPECT_FALSE(plat::IntersectRect(out, RECT{0, 0, 0, 10}, RECT{0, 0, 10, 10}));
}

}  // namespace

namespace {

// The additive blend of a picture onto a frame: each channel the sum, held
// at its largest value; every width, so both the vector and the tail work.
TEST(DisplayBlit, AddSaturatedAddsEachChannelAndHoldsItsTop) {
  std::mt19937 rng(4);
  for (int width = 1; width < 70; width += 3) {
    std::vector<uint16_t> dst(static_cast<size_t>(width) * 3), src(dst.size());
    for (auto& p : dst) p = static_cast<uint16_t>(rng());
    for (auto& p : src) p = static_cast<uint16_t>(rng());
    dst[0] = 0xF8AD;
    src[0] = 0x0000;
    const std::vector<uint16_t> before = dst;
    plat::blit::AddSaturated(plat::blit::Rows{dst.data(), width, src.data(), width, width, 3});
    for (size_t i = 0; i < dst.size(); ++i) {
      const int r = std::min(31, (before[i] >> 11) + (src[i] >> 11));
      const int g = std::min(63, ((before[i] >> 5) & 63) + ((src[i] >> 5) & 63));
      const int b = std::min(31, (before[i] & 31) + (src[i] & 31));
      ASSERT_EQ(dst[i], (r << 11) | (g << 5) | b) << "width " << width << " at " << i << " " << before[i] << "+"
                                                  << src[i];
    }
  }
}

}  // namespace
