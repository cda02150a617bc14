// The scrolling tile map: drawing, scrolling, hit tests.
#include <gtest/gtest.h>

#include <cstdlib>

#include "data/scroll_map.hpp"
#include "engine/helpers.hpp"
#include "tests/data/data_diamond_sheet.hpp"

namespace {

constexpr int kW = datatest::kTileW, kH = datatest::kTileH;
constexpr int kFrames = datatest::kSheetFrames;
using datatest::DiamondSheet;
using datatest::FrameColour;

int16_t CellValue(int x, int y) { return static_cast<int16_t>(1 * 256 + 1 + (x + 3 * y) % kFrames - 32768); }

fw::CellMap TestMap(int upperX, int upperY) {
  fw::CellMap map(upperX, upperY);
  for (int y = 0; y <= upperY; ++y)
    for (int x = 0; x <= upperX; ++x) map.Set(x, y, CellValue(x, y));
  return map;
}

// A view of a 31 x 61 cell map through an 800 x 600 buffer with a border of
// 80 x 60 around a 640 x 480 target.
struct View {
  View(int32_t mapPosX, int32_t mapPosY, int boldW = 80, int boldH = 60) {
    map.Init(buffer, target, kW, kH, boldW, boldH, 30, 60);
    map.srcClips->Add("GR", DiamondSheet(), 1, kFrames);
    map.SetKeyIndex(1, "GR");
    map.MapPosX(mapPosX);
    map.MapPosY(mapPosY);
    map.SetMap(TestMap(30, 60));
  }
  uint16_t Px(int x, int y) const { return buffer->Row(y)[x]; }
  // The diamond centre of buffer cell (c, r).
  uint16_t Centre(int c, int r) const { return Px(c * kW + (r % 2 ? kW / 2 : 0) + kW / 2, r * kH / 2 + kH / 2); }

  plat::SurfacePtr buffer = std::make_shared<plat::Surface>(800, 600);
  plat::SurfacePtr target = std::make_shared<plat::Surface>(640, 480);
  fw::ScrollMapObj map;
};

int Differences(const View& a, const View& b, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += a.Px(x, y) != b.Px(x, y);
  return n;
}

TEST(DataScrollMap, MakeMapDrawsNineColumnsAndTwentyNineStaggeredRows) {
  View v(0, 0);
  for (int r = 0; r <= 28; ++r)
    for (int c = 0; c <= 8; ++c) ASSERT_EQ(v.Centre(c, r), FrameColour(fw::LoByte(CellValue(c, r)))) << c << "," << r;
  EXPECT_EQ(v.Px(9 * kW + kW / 2, kH / 2), 0);  // column 9 is not drawn
  EXPECT_NE(v.Px(kW / 2, 599), 0);               // the tip of row 28
  EXPECT_EQ(v.Px(kW, 599), 0);                   // row 29 is not drawn
  // Odd rows start half a tile to the right: row 1's left tip is at x 40.
  EXPECT_EQ(v.Px(kW / 2 + 2, kH), FrameColour(fw::LoByte(CellValue(0, 1))));
  EXPECT_EQ(v.Px(kW / 2 - 2, kH), 0);
}

TEST(DataScrollMap, CellsThatCannotBeDrawnAreLeftAlone) {
  fw::ScrollMapObj m;
  auto buffer = std::make_shared<plat::Surface>(800, 600);
  m.Init(buffer, std::make_shared<plat::Surface>(640, 480), kW, kH, 0, 0, 3, 3);
  m.srcClips->Add("GR", DiamondSheet(), 1, kFrames);
  m.SetKeyIndex(1, "GR");
  fw::CellMap map(3, 3);
  map.Set(0, 0, CellValue(0, 0));
  map.Set(1, 0, static_cast<int16_t>(2 * 256 + 1 - 32768));  // key byte without a sheet
  m.SetMap(map);
  EXPECT_NE(buffer->Row(kH / 2)[kW / 2], 0);
  EXPECT_EQ(buffer->Row(kH / 2)[kW + kW / 2], 0);
  EXPECT_EQ(m.GetMap(1, 0), map.At(1, 0));
  EXPECT_EQ(m.GetMap(4, 0), 0);
  EXPECT_EQ(m.GetMap(-1, 2), 0);
  fw::CellMap out;
  m.GetAllMap(out);
  EXPECT_TRUE(out == map);
  EXPECT_EQ(m.MapSizeX(), 3);
  EXPECT_THROW(m.SetKeyIndex(0, "X"), plat::RuntimeError);
}

TEST(DataScrollMap, RefreshWithinATileCopiesTheWindow) {
  View v(0, 0);
  v.map.OffsetX(3);
  v.map.OffsetY(-2);
  v.map.Refresh();
  EXPECT_EQ(v.map.SmallMoveX(), 3);
  EXPECT_EQ(v.map.SmallMoveY(), -2);
  EXPECT_EQ(v.map.MapPosX(), 0);
  int wrong = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) wrong += v.target->Row(y)[x] != v.Px(x + 83, y + 58);
  EXPECT_EQ(wrong, 0);
}

TEST(DataScrollMap, CrossingATileRightShiftsTheBufferAndDrawsOneColumn) {
  View v(0, 0);
  v.map.SmallMoveX(78);
  v.map.OffsetX(4);
  v.map.Refresh();  // 82 > 80 - 4
  EXPECT_EQ(v.map.SmallMoveX(), 0);
  EXPECT_EQ(v.map.MapPosX(), 1);
  View fresh(1, 0);
  for (int r = 0; r <= 28; ++r) ASSERT_EQ(v.Centre(8, r), fresh.Centre(8, r)) << r;
  EXPECT_EQ(Differences(v, fresh, kW / 2, 0, 640, 600), 0);
}

TEST(DataScrollMap, CrossingATileLeftShiftsTheOtherWay) {
  View v(3, 0);
  v.map.SmallMoveX(-80);
  v.map.OffsetX(-4);
  v.map.Refresh();  // -84 < -(-4 + 80)
  EXPECT_EQ(v.map.MapPosX(), 2);
  View fresh(2, 0);
  EXPECT_EQ(Differences(v, fresh, 0, 0, 720, 600), 0);
}

TEST(DataScrollMap, VerticalScrollsMoveTwoRowsAndCopeWithTheOverlap) {
  View up(0, 4);
  up.map.SmallMoveY(-40);
  up.map.OffsetY(-4);
  up.map.Refresh();
  EXPECT_EQ(up.map.MapPosY(), 2);
  EXPECT_EQ(up.map.SmallMoveY(), 0);
  View freshUp(0, 2);
  // New rows are drawn over what the shift left; the shifted rows match a
  // fresh drawing wherever no new or cut-off row touches them.
  for (int r = 0; r <= 28; ++r) ASSERT_EQ(up.Centre(3, r), freshUp.Centre(3, r)) << r;
  EXPECT_EQ(Differences(up, freshUp, 0, 60, 800, 580), 0);

  View down(0, 2);
  down.map.SmallMoveY(40);
  down.map.OffsetY(4);
  down.map.Refresh();
  EXPECT_EQ(down.map.MapPosY(), 4);
  View freshDown(0, 4);
  // 600 is a whole number of tiles: rows 25 and 26 are drawn anew, and the
  // last two rows keep what the shift left there.
  // The shift also brings up the lower half of the row above the view.
  EXPECT_EQ(Differences(down, freshDown, 0, kH / 2, 800, 25 * kH / 2), 0);
  for (int r = 0; r <= 26; ++r) EXPECT_EQ(down.Centre(3, r), freshDown.Centre(3, r)) << r;
}

TEST(DataScrollMap, TheViewStopsAtTheMapsEdges) {
  View v(0, 0);
  v.map.SmallMoveX(-110);  // below -80 - 80 / 3
  v.map.OffsetX(-4);
  v.map.Refresh();
  EXPECT_EQ(v.map.OffsetX(), 0);
  EXPECT_EQ(v.map.SmallMoveX(), -110);
  EXPECT_EQ(v.map.MapPosX(), 0);

  View right(30 - 10, 0);  // MapSizeX - floor(800 / 80)
  right.map.SmallMoveX(101);  // above 80 + 80 / 4
  right.map.OffsetX(4);
  right.map.Refresh();
  EXPECT_EQ(right.map.OffsetX(), 0);
  EXPECT_EQ(right.map.MapPosX(), 20);
}

TEST(DataScrollMap, RefreshNeedsABufferATargetAndATileSize) {
  fw::ScrollMapObj m;
  EXPECT_THROW(m.Refresh(), plat::RuntimeError);
  m.Init(std::make_shared<plat::Surface>(100, 100), std::make_shared<plat::Surface>(50, 50), 0, 40, 0, 0, 2, 2);
  EXPECT_THROW(m.Refresh(), plat::RuntimeError);
  EXPECT_THROW(m.HitTest(1, 1), plat::RuntimeError);
}

TEST(DataScrollMap, HitTestFindsTheDiamondUnderThePoint) {
  fw::ScrollMapObj m;
  m.Init(std::make_shared<plat::Surface>(800, 600), std::make_shared<plat::Surface>(640, 480), kW, kH, 0, 0, 30, 60);
  m.HitTest(120, 60);  // the centre of cell (1, 2)
  EXPECT_EQ(m.CurrentPosX(), 1);
  EXPECT_EQ(m.CurrentPosY(), 2);
  EXPECT_EQ(m.ScreenPosX(), 80);
  EXPECT_EQ(m.ScreenPosY(), 40);
  m.HitTest(85, 45);  // outside that diamond's upper-left edge
  EXPECT_EQ(m.CurrentPosX(), 0);
  EXPECT_EQ(m.CurrentPosY(), 1);
  EXPECT_EQ(m.ScreenPosX(), 40);
  EXPECT_EQ(m.ScreenPosY(), 20);
  m.HitTest(120, 45);
  EXPECT_EQ(m.CurrentPosX(), 1);
  EXPECT_EQ(m.CurrentPosY(), 2);
  m.MapPosX(5);
  m.MapPosY(4);
  m.SmallMoveX(10);
  m.HitTest(110, 60);
  EXPECT_EQ(m.CurrentPosX(), 6);
  EXPECT_EQ(m.CurrentPosY(), 6);
  EXPECT_EQ(m.ScreenPosX(), 70);
}

TEST(DataScrollMap, MapTestGivesTheCellsCentreAndBottomCorner) {
  View v(4, 6, 0, 0);
  ASSERT_TRUE(v.map.MapTest(5, 8));
  EXPECT_EQ(v.map.MapTestX(), 120);  // (1 + 0.5) * 80
  EXPECT_EQ(v.map.MapTestY(), 80);   // (2 + 2) * 20
  ASSERT_TRUE(v.map.MapTest(5, 9));
  EXPECT_EQ(v.map.MapTestX(), 160);  // odd rows lie half a tile right
  EXPECT_FALSE(v.map.MapTest(3, 8));
  EXPECT_EQ(v.map.MapTestX(), 160);
  EXPECT_FALSE(v.map.MapTest(5, 6 + 31));
}

TEST(DataScrollMap, SheetFramesFollowTheSpriteSheetRule) {
  auto sheet = std::make_shared<plat::Surface>(2, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) sheet->Row(y)[x] = static_cast<uint16_t>(1 + x + 2 * y);
  fw::ScrollTileSheets sheets;
  auto s = sheets.Add("S", sheet, 2, 3, 0);
  EXPECT_EQ(s->Total, 6);
  EXPECT_THROW(sheets.Add("s", sheet, 2, 3), plat::RuntimeError);
  EXPECT_EQ(sheets.Item("none"), nullptr);
  plat::Surface dest(1, 1);
  const std::pair<int, uint16_t> frames[] = {{5, 5}, {0, 1}, {9, 6}, {-2, 1}};
  for (auto [frame, colour] : frames) {
    s->BltFast(dest, 0, 0, frame, 0);
    EXPECT_EQ(dest.Row(0)[0], colour) << frame;
  }
}

}  // namespace
