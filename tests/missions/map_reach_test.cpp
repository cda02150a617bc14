// Every sample map lets its mission be played: after the set-up, the
// cells that a unit's centre can drive to from the player's start (a flood
// over the land and building masks, at their cell size) hold every unit
// placed, every way point they were given and the straight legs between
// them, every cell of every area the script places units in or tests the
// player against, and ground beside every building the script counts or
// lists as an objective.
#include <cmath>
#include <cstdlib>
#include <queue>
#include <set>
#include <sstream>

#include "battle/masks.hpp"
#include "tests/battle/map_reach.hpp"
#include "tests/missions/mission_fixture.hpp"

namespace fw::missiontest {
namespace {

using reach::Cell;
using reach::CellAt;

// From the player's start.
class Reach : public reach::Reach {
 public:
  explicit Reach(const BattleState& w)
      : reach::Reach(w, CellAt(w.Units.at(static_cast<size_t>(w.PlayerUnit)).PosX +
                                   w.Units.at(static_cast<size_t>(w.PlayerUnit)).CenterX,
                               w.Units.at(static_cast<size_t>(w.PlayerUnit)).PosY +
                                   w.Units.at(static_cast<size_t>(w.PlayerUnit)).CenterY)) {}
};

// Building kinds that scripts count by key: the special buildings.
bool CountedKind(const BuildingInstance& b) { return std::atoi(b.TypeKey.c_str()) >= 550; }

// A shot reaches a building from this far.
constexpr float kFiringRange = 160.0f;

class MapReach : public MissionTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(MapReach, EveryPlacedUnitWayPointAreaAndTargetCanBeReached) {
  const int32_t mission = GetParam();
  Start(mission);
  const Reach reach(w);
  std::ostringstream faults;

  for (size_t i = 0; i < w.Units.size(); ++i) {
    const BattleUnit& u = w.Units[i];
    if (!reach.Near(u.PosX + u.CenterX, u.PosY + u.CenterY, kMaskCell))
      faults << "unit " << i << " at " << u.PosX << "," << u.PosY << "\n";
    for (const PointL& p : u.WayPoint)
      if (!reach.Near(static_cast<float>(p.X), static_cast<float>(p.Y), kMaskCell))
        faults << "way point " << p.X << "," << p.Y << " of unit " << i << "\n";
  }
  // Units drive straight from one way point to the next, round the loop:
  // no leg may cross a wall, the river or a building.
  for (size_t i = 0; i < w.Units.size(); ++i) {
    const auto& pts = w.Units[i].WayPoint;
    for (size_t k = 0; k < pts.size(); ++k) {
      const PointL a = pts[k], b = pts[(k + 1) % pts.size()];
      const float len = std::hypot(static_cast<float>(b.X - a.X), static_cast<float>(b.Y - a.Y));
      for (float t = 0; t <= len; t += kMaskCell / 2.0f) {
        const float f = len > 0 ? t / len : 0;
        if (!reach.At(CellAt(a.X + f * (b.X - a.X), a.Y + f * (b.Y - a.Y)))) {
          faults << "leg " << a.X << "," << a.Y << " to " << b.X << "," << b.Y << " of unit " << i << "\n";
          break;
        }
      }
    }
  }
  // A unit lands with its box's corner anywhere in an area's rectangle,
  // so its centre anywhere in the rectangle moved by half the box.
  const auto& needs = CampaignMission(mission).Needs;
  for (int32_t a = 1; a <= needs.Areas; ++a) {
    const RECT& r = w.Terrains.at(static_cast<size_t>(a)).Area;
    const Cell lo = CellAt(r.Left + 40.0f, r.Top + 30.0f), hi = CellAt(r.Right + 40.0f, r.Bottom + 30.0f);
    int32_t cut = 0;
    for (int32_t row = lo.r; row <= hi.r; ++row)
      for (int32_t c = lo.c; c <= hi.c; ++c) cut += reach.At({c, row}) ? 0 : 1;
    if (cut > 0) faults << "area " << a << ": " << cut << " cells out of reach\n";
  }
  std::set<int32_t> targets(w.ObjectiveBuilds.begin() + 1, w.ObjectiveBuilds.end());
  for (size_t i = 0; i < w.Builds.size(); ++i)
    if (CountedKind(w.Builds[i])) targets.insert(static_cast<int32_t>(i));
  for (int32_t t : targets) {
    const BuildingInstance& b = w.Builds.at(static_cast<size_t>(t));
    if (!reach.Near(static_cast<float>(b.X), static_cast<float>(b.Y), kFiringRange))
      faults << "building " << t << " (" << b.TypeKey << ") at " << b.X << "," << b.Y << "\n";
  }
  EXPECT_EQ(faults.str(), "") << "mission " << mission << " on map " << CampaignMission(mission).MapLetter;
}

// With the view at the map's bottom (scroll 3359) the panel covers every
// map y from 3728 down (screen y 369): no unit 60 high that can drive
// there may vanish under it.
TEST_P(MapReach, NoUnitCanDriveUnderThePanelAtTheMapsBottom) {
  Start(GetParam());
  const Reach reach(w);
  constexpr float kPanelLine = 3359 + 369, kHalfHeight = 30;
  int32_t hidden = 0;
  for (int32_t r = 0; r < kMaskRows; ++r)
    for (int32_t c = 0; c < kMaskColumns; ++c)
      // A centre anywhere in the cell, up to its lower edge.
      hidden += reach.At({c, r}) && (r + 1) * kMaskCell + kHalfHeight > kPanelLine ? 1 : 0;
  EXPECT_EQ(hidden, 0) << "cells a unit's centre reaches with its box under the panel";
}

// Where a script shows the player a place (the radar's goal mark) or waits
// for them somewhere, the map puts the two together.
bool Inside(const BattleState& w, int32_t area, float x, float y) {
  const RECT& r = w.Terrains.at(static_cast<size_t>(area)).Area;
  return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
}

TEST_F(MissionTest, TheLeaderWaitsUnderTheFirstGoalMarkAndTheAppointedSpotUnderTheSecond) {
  Start(1);
  EXPECT_TRUE(Inside(w, 9, static_cast<float>(w.GoalX), static_cast<float>(w.GoalY)));
  EXPECT_FALSE(Inside(w, 2, static_cast<float>(w.GoalX), static_cast<float>(w.GoalY)))
      << "the leader is not found at the start";
  MovePlayerInto(9);
  Frame();
  ASSERT_EQ(Vars(1).MisState, 1);
  EXPECT_TRUE(Inside(w, 3, static_cast<float>(w.GoalX), static_cast<float>(w.GoalY)));
}

TEST_F(MissionTest, TheScientistsPrisonStandsUnderTheGoalMark) {
  Start(9);
  const BuildingInstance& prison = w.Builds.at(204);
  EXPECT_LT(std::hypot(prison.X - w.GoalX, prison.Y - w.GoalY), 100.0);
}

TEST_F(MissionTest, TheCaptivesWaitInTheAreaThatFreesThem) {
  Start(11);
  for (size_t p = 1; p <= 3; ++p) {
    const BattleUnit& c = w.Units.at(static_cast<size_t>(w.ObjectiveUnits.at(p)));
    EXPECT_TRUE(Inside(w, 8, c.PosX, c.PosY)) << "captive " << p;
  }
}

TEST_F(MissionTest, TheFleeingSpotIsWhereTheGoalMarkPointsOnceTheHostageIsFree) {
  Start(15);
  for (int32_t prison : {432, 216, 17}) Destroy(prison);
  Frame();
  ASSERT_EQ(Vars(15).MisState, 1);
  EXPECT_TRUE(Inside(w, 11, static_cast<float>(w.GoalX), static_cast<float>(w.GoalY)));
}

TEST_F(MissionTest, TheGoalMarkOfTheChemicalFactoryMissionLiesInItsTriggerArea) {
  Start(17);
  EXPECT_TRUE(Inside(w, 10, static_cast<float>(w.GoalX), static_cast<float>(w.GoalY)));
}

INSTANTIATE_TEST_SUITE_P(EveryMap, MapReach, ::testing::Range(1, 21));

}  // namespace
}  // namespace fw::missiontest
