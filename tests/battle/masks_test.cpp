// The two grids: reading them at their different roundings, stamping
// building footprints, and the terrain test that moves units over them.
#include <gtest/gtest.h>

#include "battle/masks.hpp"
#include "battle/roster.hpp"

namespace fw {
namespace {

uint8_t& Land(BattleState& w, int c, int r) { return w.LandMask[BattleState::CellIndex(c, r)]; }
uint8_t Build(const BattleState& w, int c, int r) { return w.BuildMask[BattleState::CellIndex(c, r)]; }

TEST(Masks, LandCellsStartAtMultiplesOf20AndBuildingCellsAreCentredOnThem) {
  BattleState w;
  Land(w, 0, 1) = 7;
  Land(w, 255, 191) = 9;
  EXPECT_EQ(CheckMapMask(w, 19, 39), 7);
  EXPECT_EQ(CheckMapMask(w, 5119, 3839), 9);
  EXPECT_EQ(CheckMapMask(w, -1, 0), 0);
  EXPECT_EQ(CheckMapMask(w, 5120, 0), 0);
  EXPECT_EQ(CheckMapMask(w, 0, -20), 0);
  w.BuildMask[BattleState::CellIndex(1, 0)] = 1;
  w.BuildMask[BattleState::CellIndex(2, 0)] = 2;
  w.BuildMask[BattleState::CellIndex(0, 0)] = 3;
  EXPECT_EQ(CheckBMask(w, 29, 0), 1);  // 1.45 -> 1
  EXPECT_EQ(CheckBMask(w, 30, 0), 2);  // 1.5 -> 2
  EXPECT_EQ(CheckBMask(w, 10, 0), 3);  // 0.5 -> 0
  EXPECT_EQ(CheckBMask(w, 5110, 0), 0);  // 255.5 -> 256, off the grid
  EXPECT_EQ(CheckBMask(w, -11, 0), 0);
}

// The cells a footprint stamps, with its picture's corner at (x, y) = (400,
// 400) and a picture as high as it is wide, so the diamond's top row is
// cy = Int((400 + w - w/2) / 20 + 0.5).
std::vector<std::pair<int, int>> Stamped(int width, int height) {
  BattleState w;
  PutBMask(w, 400, 400, RECT{0, 0, width, height}, 1);
  std::vector<std::pair<int, int>> cells;
  for (int r = 0; r < kMaskRows; ++r)
    for (int c = 0; c < kMaskColumns; ++c)
      if (Build(w, c, r)) {
        EXPECT_EQ(Build(w, c, r), 1);
        cells.emplace_back(c - 20, r);
      }
  return cells;
}

TEST(Masks, FootprintsAreGroundDiamondsOfTheirWidth) {
  // 160 wide, 80 high: cx = 20, cy = Int((400 + 80 - 80) / 20 + 0.5) = 20.
  std::vector<std::pair<int, int>> diamond;
  for (int c = 2; c <= 5; ++c) diamond.emplace_back(c, 20);
  for (int c = 0; c <= 7; ++c) diamond.emplace_back(c, 21);
  for (int c = 0; c <= 7; ++c) diamond.emplace_back(c, 22);
  for (int c = 2; c <= 5; ++c) diamond.emplace_back(c, 23);
  EXPECT_EQ(Stamped(160, 80), diamond);
  // 100 wide: five cells made six, two rows.
  std::vector<std::pair<int, int>> block;
  for (int r : {23, 24})  // cy = Int(450 / 20 + 0.5) = 23
    for (int c = 0; c < 6; ++c) block.emplace_back(c, r);
  EXPECT_EQ(Stamped(100, 100), block);
}

TEST(Masks, NarrowFootprintsCoverTwoColumnsAboveTheirTopRow) {
  // 40 wide (half 1): columns cx and cx + 1 in rows cy - 1 and cy.
  EXPECT_EQ(Stamped(40, 20), (std::vector<std::pair<int, int>>{{0, 19}, {1, 19}, {0, 20}, {1, 20}}));
  // 20 wide (half 0): columns cx - 1 and cx.
  EXPECT_EQ(Stamped(20, 10), (std::vector<std::pair<int, int>>{{-1, 19}, {0, 19}, {-1, 20}, {0, 20}}));
}

TEST(Masks, OverlappingBuildingsCountAndClearingOneLeavesTheOther) {
  BattleState w;
  const RECT fp{0, 0, 160, 80};
  PutBMask(w, 400, 400, fp, 1);
  PutBMask(w, 440, 400, fp, 1);
  EXPECT_EQ(Build(w, 23, 21), 2);
  EXPECT_EQ(Build(w, 21, 21), 1);
  PutBMask(w, 400, 400, fp, -1);
  EXPECT_EQ(Build(w, 23, 21), 1);
  EXPECT_EQ(Build(w, 21, 21), 0);
  // A cleared cell stays at 0, a full one at 255; off the grid nothing
  // changes and nothing breaks.
  PutBMask(w, 400, 400, fp, -1);
  EXPECT_EQ(Build(w, 21, 21), 0);
  w.BuildMask[BattleState::CellIndex(22, 20)] = 255;
  PutBMask(w, 400, 400, fp, 1);
  EXPECT_EQ(Build(w, 22, 20), 255);
  PutBMask(w, -100, -100, fp, 1);
  PutBMask(w, 5100, 3800, fp, 1);
  EXPECT_EQ(Build(w, 255, 191), 1);  // the part on the grid
  PutBMask(w, 0, 0, RECT{0, 0, 2000000000, 10}, 1);  // a damaged footprint
  EXPECT_EQ(Build(w, 0, 0), 0);
}

TEST(Masks, RebuildingStampsEveryBuildingWithoutClearing) {
  BattleState w;
  w.Builds.resize(2);
  w.Builds[0].DrawX = w.Builds[0].DrawY = 400;
  w.Builds[0].Footprint = RECT{0, 0, 160, 80};
  w.Builds[1] = w.Builds[0];
  ReCalBMask(w);
  EXPECT_EQ(Build(w, 21, 21), 2);
  ReCalBMask(w);
  EXPECT_EQ(Build(w, 21, 21), 4);
}

class Terrain : public ::testing::Test {
 protected:
  // One unit with its centre at (cx, cy).
  BattleUnit& Unit(float cx, float cy, float vx, float vy) {
    w.Units.resize(1);
    BattleUnit& u = w.Units[0];
    u.CenterX = 40;
    u.CenterY = 30;
    u.PosX = cx - 40;
    u.PosY = cy - 30;
    u.VelocityX = vx;
    u.VelocityY = vy;
    return u;
  }
  BattleState w;
};

TEST_F(Terrain, ABlockedCellOneAheadOfTheCentreStopsTheUnit) {
  w.FrameFactor = 1;
  Land(w, 11, 5) = kBlockedLand;
  BattleUnit& u = Unit(200, 110, 2, 0);
  CheckTerrain(w, 0);
  EXPECT_EQ(u.PosX, 160);
  EXPECT_EQ(u.StuckTime, 1);
  // A building cell blocks the same way, along y.
  w.BuildMask[BattleState::CellIndex(10, 6)] = 1;
  u.VelocityX = 0;
  u.VelocityY = 1.5f;
  CheckTerrain(w, 0);
  EXPECT_EQ(u.PosY, 80);
  EXPECT_EQ(u.StuckTime, 2);
  // Backwards is free.
  u.VelocityX = -2;
  u.VelocityY = -1;
  CheckTerrain(w, 0);
  EXPECT_EQ(u.PosX, 158);
  EXPECT_EQ(u.PosY, 79);
  // Off the grid counts as free.
  BattleUnit& edge = Unit(5115, 10, 3, 0);
  CheckTerrain(w, 0);
  EXPECT_EQ(edge.PosX, 5118 - 40);
}

TEST_F(Terrain, ALongFrameCannotCarryAUnitThroughAWall) {
  w.FrameFactor = 10;
  for (int r = 0; r < kMaskRows; ++r) Land(w, 12, r) = kBlockedLand;
  BattleUnit& u = Unit(205, 110, 4, 0);  // would land at 245, inside the wall
  CheckTerrain(w, 0);
  EXPECT_EQ(u.PosX, 165);
  EXPECT_EQ(u.StuckTime, 10);
  w.FrameFactor = 1;
  CheckTerrain(w, 0);
  EXPECT_EQ(u.PosX, 169);  // one cell at a time it still moves up to the wall
}

TEST_F(Terrain, TerrainValuesPushOrSlowTheUnit) {
  w.FrameFactor = 1;
  for (int k = 1; k <= 4; ++k) AddTerrain(w, RECT{}, 9, 0);
  // Land value 3 selects area 4: make that one the +x drift.
  w.Terrains[4].Kind = 2;
  w.Terrains[4].Value = 0.5f;
  Land(w, 10, 5) = 3;
  BattleUnit& u = Unit(210, 110, -2, 0);
  CheckTerrain(w, 0);
  EXPECT_FLOAT_EQ(u.PosX + 40, 209);  // -2 by its own motion, +1 by the drift

  // Kind 0 with value 1 cancels the motion on both axes.
  w.Terrains[4].Kind = 0;
  w.Terrains[4].Value = 1;
  BattleUnit& v = Unit(210, 110, -2, 1);
  CheckTerrain(w, 0);
  EXPECT_FLOAT_EQ(v.PosX + 40, 210);
  EXPECT_FLOAT_EQ(v.PosY + 30, 110);

  // A value whose area does not exist, and other kinds, do nothing.
  Land(w, 10, 5) = 200;
  BattleUnit& z = Unit(210, 110, -2, 0);
  CheckTerrain(w, 0);
  EXPECT_FLOAT_EQ(z.PosX + 40, 208);
}

TEST_F(Terrain, APushIsRefusedWhereItWouldEnterBlockedLand) {
  w.FrameFactor = 1;
  for (int k = 1; k <= 4; ++k) AddTerrain(w, RECT{}, 9, 0);
  w.Terrains[4].Kind = 2;  // drift towards +x
  w.Terrains[4].Value = 60;
  Land(w, 10, 5) = 3;
  Land(w, 12, 5) = kBlockedLand;
  // The drift of 30 pixels would carry the centre into column 12.
  BattleUnit& u = Unit(215, 110, 0.5f, 0);
  CheckTerrain(w, 0);
  EXPECT_FLOAT_EQ(u.PosX + 40, 215.5f);  // its own motion only
  // Within reach of a free cell the push is made.
  Land(w, 12, 5) = 0;
  BattleUnit& v = Unit(215, 110, 0.5f, 0);
  CheckTerrain(w, 0);
  EXPECT_FLOAT_EQ(v.PosX + 40, 245.5f);
}

}  // namespace
}  // namespace fw
