// The cells the steps use to find units near a point must answer exactly
// as a scan of the whole roster does.
#include <gtest/gtest.h>

#include <random>

#include "battle/unit_grid.hpp"
#include "tests/battle/sim_world.hpp"

namespace fw {
namespace {

BattleState Crowd(uint32_t seed, int32_t n) {
  BattleState w = simtest::EmptyWorld();
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> x(-100, 5200), y(-100, 3900);
  for (int32_t k = 0; k < n; ++k) {
    // Clusters and exact repeats, so ties and overlaps occur.
    const float px = k % 5 == 0 && k > 0 ? w.Units[static_cast<size_t>(k - 1)].PosX : x(rng) / (k % 3 ? 1 : 8);
    const float py = k % 5 == 0 && k > 0 ? w.Units[static_cast<size_t>(k - 1)].PosY + 20 : y(rng) / (k % 3 ? 1 : 8);
    simtest::AddUnit(w, simtest::MakeUnit(px, py, static_cast<uint8_t>(k % 3)));
  }
  return w;
}

TEST(UnitGridTest, NearestFromCellsEqualsTheScan) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int32_t> x(-200, 5300), y(-200, 4000);
  std::uniform_real_distribution<float> range(-5, 1000);
  for (uint32_t seed = 0; seed < 20; ++seed) {
    const BattleState w = Crowd(seed, 150);
    UnitCells cells;
    cells.Build(w);
    for (int q = 0; q < 400; ++q) {
      const int32_t px = x(rng) / (q % 2 ? 1 : 8), py = y(rng) / (q % 2 ? 1 : 8);
      const float r = range(rng);
      const int32_t team = q % 3;
      const int32_t scan = FindNearestTank(w, px, py, r, team);
      const NearestFromCells from(cells);
      ASSERT_EQ(FindNearestTank(w, px, py, r, team), scan) << seed << " " << px << "," << py << " r " << r;
    }
  }
}

TEST(UnitGridTest, HitGridFindsTheFirstUnitHoldingAPoint) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int32_t> x(-100, 5300), y(-100, 4000);
  for (uint32_t seed = 0; seed < 10; ++seed) {
    const BattleState w = Crowd(seed + 100, 200);
    UnitGrid grid, plain;
    grid.Build(w);
    plain.Build(w, false);
    for (int q = 0; q < 2000; ++q) {
      const int32_t px = x(rng) / (q % 2 ? 1 : 8), py = y(rng) / (q % 2 ? 1 : 8);
      const int32_t skip = q % 7 ? -1 : q % 200;
      int32_t scan = -1;
      for (size_t n = 0; n < w.Units.size() && scan < 0; ++n) {
        RECT box;
        OffsetRECT(box, w.Units[n].DescRECT, RoundL(w.Units[n].PosX), RoundL(w.Units[n].PosY));
        if (static_cast<int32_t>(n) != skip && PtInRECT(px, py, box)) scan = static_cast<int32_t>(n);
      }
      ASSERT_EQ(grid.FirstHolding(px, py, skip), scan);
      ASSERT_EQ(plain.FirstHolding(px, py, skip), scan);
    }
  }
}

// Everything on one screen, packed so that most units overlap several
// others: the crowd the battle sees in a big fight.
BattleState ScreenCrowd(uint32_t seed, int32_t n) {
  BattleState w = simtest::EmptyWorld();
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> x(1000, 1600), y(1000, 1440);
  for (int32_t k = 0; k < n; ++k) simtest::AddUnit(w, simtest::MakeUnit(x(rng), y(rng), static_cast<uint8_t>(k % 2)));
  return w;
}

TEST(UnitGridTest, SeparationFromCellsEqualsTheScan) {
  for (uint32_t seed = 0; seed < 40; ++seed) {
    // Spread over the map, the neighbours are gathered from the cells; on
    // one screen the whole roster is near and scanned with a quick filter.
    BattleState a = seed % 4 == 3 ? ScreenCrowd(seed, 200) : Crowd(seed + 200, 120);
    BattleState b = a;
    std::vector<UnitBox> boxes;
    for (const BattleUnit& u : a.Units) boxes.push_back(BoxOf(u));
    UnitCells cells;
    cells.Build(b);
    for (int32_t i = 0; i < static_cast<int32_t>(a.Units.size()); ++i) {
      MoveTankAmong(a, i, boxes, nullptr);
      MoveTankAmong(b, i, boxes, &cells);
      ASSERT_EQ(a.Units[static_cast<size_t>(i)], b.Units[static_cast<size_t>(i)]) << "seed " << seed << " unit " << i;
      boxes[static_cast<size_t>(i)] = BoxOf(a.Units[static_cast<size_t>(i)]);
      cells.Moved(b, i);
      // The cells follow the pushes: a search right where the pushed unit
      // now stands finds what a scan of the roster finds.
      const BattleUnit& u = b.Units[static_cast<size_t>(i)];
      const int32_t px = RoundL(u.PosX), py = RoundL(u.PosY), team = (u.Team + 1) % 3;
      for (float range : {1.5f, 300.0f}) {
        const int32_t scan = FindNearestTank(b, px, py, range, team);
        const NearestFromCells from(cells);
        ASSERT_EQ(FindNearestTank(b, px, py, range, team), scan) << "seed " << seed << " unit " << i;
      }
    }
  }
}

}  // namespace
}  // namespace fw
