// Sprite sheets: frame arithmetic, slices, scales and the blends.
#include <gtest/gtest.h>

#include "engine/sprite_sheets.hpp"
#include "platform/runtime/error.hpp"

namespace {
using fw::RECT;

// A 3 x 2 sheet of 10 x 8 frames; every pixel of frame n is n * 0x0101,
// except a black top-left corner pixel.
plat::SurfacePtr Sheet() {
  auto s = std::make_shared<plat::Surface>(30, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 30; ++x) {
      const int n = (y / 8) * 3 + x / 10 + 1;
      s->Row(y)[x] = (x % 10 == 0 && y % 8 == 0) ? 0 : static_cast<uint16_t>(n * 0x0101);
    }
  s->SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  return s;
}

plat::SurfacePtr Target() {
  auto t = std::make_shared<plat::Surface>(40, 30);
  t->BltColorFill(nullptr, 0x4000);
  return t;
}

TEST(DisplaySpriteSheets, AddSetsTheGridAndTotal) {
  fw::SufClips clips;
  int32_t total = 0;
  auto c = clips.Add("tanks", Sheet(), 3, 2, total);
  EXPECT_EQ(total, 6);  // the caller learns the count it gets
  EXPECT_EQ(c->Key, "TANKS");
  EXPECT_EQ(c->Total, 6);
  EXPECT_EQ(c->Index, 1);
  EXPECT_EQ(c->w, 30);
  EXPECT_EQ(c->H, 16);
  EXPECT_EQ(c->SurfaceDesc.lWidth, 30);
  EXPECT_EQ(c->DescRECT().Right, 10);
  EXPECT_EQ(c->DescRECT().Bottom, 8);
  EXPECT_FLOAT_EQ(c->ScaleX, 1.0f);
  total = 9;
  EXPECT_EQ(clips.Add("more", Sheet(), 3, 2, total)->Total, 6);
  EXPECT_EQ(total, 6);
  total = 4;
  EXPECT_EQ(clips.Add("some", Sheet(), 3, 2, total)->Total, 4);
  EXPECT_EQ(total, 4);
  // 30 / 4 = 7.5 rounds to 8: the scale keeps the true cell width.
  EXPECT_FLOAT_EQ(clips.Add("odd", Sheet(), 4, 2)->ScaleX, 7.5f / 8.0f);
  EXPECT_EQ(clips.Item("Tanks"), c);
  EXPECT_EQ(clips.Item("nothing"), nullptr);
  EXPECT_EQ(clips.Item(9), nullptr);
  EXPECT_THROW(clips.Add("TANKS", Sheet(), 3, 2), plat::RuntimeError);
  EXPECT_THROW(clips.Add("none", nullptr, 3, 2), plat::RuntimeError);
  EXPECT_THROW(clips.Add("flat", Sheet(), 0, 2), plat::RuntimeError);
  EXPECT_EQ(clips.Count(), 4);
  total = -1;
  auto factory = clips.Add4("f4", Sheet(), 3, 2, total);
  EXPECT_EQ(total, 6);
  EXPECT_TRUE(factory->Surface4);
  EXPECT_FALSE(factory->Surface);
}

TEST(DisplaySpriteSheets, FrameChoice) {
  fw::SufClips clips;
  auto c = clips.Add("s", Sheet(), 3, 2);
  auto t = Target();
  auto frameAt = [&](int frame) {
    t->BltColorFill(nullptr, 0x4000);
    c->BltFast(t, plat::DDBLTFAST_WAIT, 0, 0, frame);
    return t->Row(1)[1] / 0x0101;
  };
  EXPECT_EQ(frameAt(5), 5);  // column 1, row 1
  c->Index = 3;
  EXPECT_EQ(frameAt(0), 3);
  EXPECT_EQ(frameAt(9), 6);
  EXPECT_EQ(frameAt(-2), 1);
  c->Inc(true);
  EXPECT_EQ(c->Index, 4);
  c->Index = 6;
  c->Inc(true);
  EXPECT_EQ(c->Index, 1);
  c->Inc(false);
  EXPECT_EQ(c->Index, 6);
  EXPECT_EQ(c->Index2(2, 1), 5);
  EXPECT_THROW(c->BltFast(nullptr, 0, 0, 0, 1), plat::RuntimeError);
}

TEST(DisplaySpriteSheets, BltFastSlicesKeepTheFrameAtThePoint) {
  fw::SufClips clips;
  auto c = clips.Add("s", Sheet(), 3, 2);
  auto t = Target();
  // Frame 2 less its left 4 pixels: the rest starts at x = 5.
  c->BltFast(t, plat::DDBLTFAST_WAIT | plat::DDBLTFAST_SRCCOLORKEY, 5, 3, 2, 4, 0, 0, 0);
  EXPECT_EQ(t->Row(3)[4], 0x4000);
  EXPECT_EQ(t->Row(3)[5], 0x0202);
  EXPECT_EQ(t->Row(3)[10], 0x0202);
  EXPECT_EQ(t->Row(3)[11], 0x4000);
  // Cutting the right and bottom by 2 leaves 8 x 6.
  t->BltColorFill(nullptr, 0x4000);
  c->BltFast(t, plat::DDBLTFAST_WAIT, 0, 0, 4, 0, 0, 2, 2);
  EXPECT_EQ(t->Row(5)[7], 0x0404);
  EXPECT_EQ(t->Row(6)[7], 0x4000);
  EXPECT_EQ(t->Row(5)[8], 0x4000);
  // The key leaves the black corner out.
  EXPECT_EQ(t->Row(0)[0], 0x0000);
  t->BltColorFill(nullptr, 0x4000);
  c->BltFast(t, plat::DDBLTFAST_SRCCOLORKEY, 0, 0, 4);
  EXPECT_EQ(t->Row(0)[0], 0x4000);
}

TEST(DisplaySpriteSheets, BltStretchesIntoDescRect) {
  fw::SufClips clips;
  auto c = clips.Add("s", Sheet(), 3, 2);
  c->DescRECT(fw::SetRECT(0, 0, 20, 16));
  EXPECT_FLOAT_EQ(c->ScaleX, 0.5f);
  EXPECT_FLOAT_EQ(c->ScaleY, 0.5f);
  auto t = Target();
  c->Blt(t, plat::DDBLT_WAIT, 2, 1, 3);
  // The corner pixel doubles to 2 x 2 at (2, 1); the frame covers 20 x 16.
  EXPECT_EQ(t->Row(1)[2], 0x0000);
  EXPECT_EQ(t->Row(2)[3], 0x0000);
  EXPECT_EQ(t->Row(1)[4], 0x0303);
  EXPECT_EQ(t->Row(16)[21], 0x0303);
  EXPECT_EQ(t->Row(17)[21], 0x4000);
  EXPECT_EQ(t->Row(16)[22], 0x4000);
  // A slice cuts the same part of the picture on both sides: 4 destination
  // pixels are 2 source pixels.
  t->BltColorFill(nullptr, 0x4000);
  c->Blt(t, plat::DDBLT_WAIT, 0, 0, 3, 4, 0, 0, 0);
  EXPECT_EQ(t->Row(4)[3], 0x4000);
  EXPECT_EQ(t->Row(4)[4], 0x0303);
  EXPECT_EQ(t->Row(4)[19], 0x0303);
  EXPECT_EQ(t->Row(4)[20], 0x4000);
  // A zero-width DescRECT keeps the scale it had.
  c->DescRECT(fw::SetRECT(5, 0, 5, 8));
  EXPECT_FLOAT_EQ(c->ScaleX, 0.5f);
  EXPECT_FLOAT_EQ(c->ScaleY, 1.0f);
}

TEST(DisplaySpriteSheets, AdditiveAndOrBlends) {
  fw::SufClips clips;
  auto sheet = std::make_shared<plat::Surface>(4, 1);
  const uint16_t px[4] = {0xF800, 0x0001, 0x0000, 0x07E0};
  std::copy(px, px + 4, sheet->Pixels());
  sheet->SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  auto c = clips.Add("fx", sheet, 1, 1);
  auto t = std::make_shared<plat::Surface>(6, 1);
  const uint16_t under[6] = {0x0800, 0x0001, 0x1234, 0x07E0, 0x00FF, 0x5555};
  std::copy(under, under + 6, t->Pixels());
  int32_t frame = 0;
  c->BltAlpha(1, 0, t, frame);
  EXPECT_EQ(frame, 1);
  // Red onto 1 gives 0xF801; 1 onto 0x1234; black is skipped; greens saturate.
  EXPECT_EQ(t->Row(0)[1], 0xF801);
  EXPECT_EQ(t->Row(0)[2], 0x1235);
  EXPECT_EQ(t->Row(0)[3], 0x07E0);
  EXPECT_EQ(t->Row(0)[4], 0x07FF);
  EXPECT_EQ(t->Row(0)[0], 0x0800);
  // Off the surface's edges nothing is written.
  frame = 1;
  c->BltAlpha(-2, 0, t, frame);
  c->BltAlpha(5, 0, t, frame);
  EXPECT_EQ(t->Row(0)[5], 0x5555 | 0xF800);

  auto u = std::make_shared<plat::Surface>(4, 1);
  u->BltColorFill(nullptr, 0x0010);
  frame = 7;
  c->BltBlend(0, 0, u, frame);
  EXPECT_EQ(frame, 1);
  EXPECT_EQ(u->Row(0)[0], 0xF810);
  EXPECT_EQ(u->Row(0)[2], 0x0010);
  EXPECT_EQ(u->Row(0)[3], 0x07F0);

  auto v = std::make_shared<plat::Surface>(8, 2);
  frame = 1;
  c->BltAlphaScale(0, 0, v, fw::SetRECT(0, 0, 8, 2), frame);
  EXPECT_EQ(v->Row(1)[0], 0xF800);
  EXPECT_EQ(v->Row(1)[1], 0xF800);
  EXPECT_EQ(v->Row(0)[4], 0x0000);
  EXPECT_EQ(v->Row(0)[7], 0x07E0);
  // The target gives the size only: the stretched frame lands at (x, y).
  auto u2 = std::make_shared<plat::Surface>(8, 4);
  c->BltAlphaScale(2, 1, u2, fw::SetRECT(10, 5, 14, 7), frame);
  EXPECT_EQ(u2->Row(1)[2], 0xF800);
  EXPECT_EQ(u2->Row(2)[5], 0x07E0);
  EXPECT_EQ(u2->Row(3)[5], 0x0000);
}

}  // namespace
