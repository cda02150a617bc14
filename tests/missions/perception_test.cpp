// The scripted player sees what a person at the screen sees: nothing under
// the panel or the target plate, the radar only as coarse as its pixels,
// and it knows of the battle only what its looks gave it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "battle/battle_sinks.hpp"
#include "tests/missions/mission_fixture.hpp"
#include "tests/missions/perception.hpp"
#include "tests/missions/scripted_player.hpp"
#include "tools/mkdata/mission_orders.hpp"

namespace fw::playtest {
namespace {

BattleUnit UnitAt(float centreX, float centreY, uint8_t team) {
  BattleUnit u;
  u.CenterX = 40;
  u.CenterY = 30;
  u.DescRECT = {0, 0, 80, 60};
  u.PosX = centreX - 40;
  u.PosY = centreY - 30;
  u.HP = 100;
  u.Team = team;
  return u;
}

BuildingInstance BuildingAt(int32_t x, int32_t y, const char* kind) {
  BuildingInstance b;
  b.TypeKey = kind;
  b.Footprint = {0, 0, 40, 40};
  b.DrawX = x - 20;
  b.DrawY = y - 20;
  b.X = x;
  b.Y = y;
  return b;
}

// The view's corner at (1000, 1000); the player in the middle of what the
// view shows.
struct Screen {
  BattleState w;
  Screen() {
    w.ScrollX = 1000;
    w.ScrollY = 1000;
    w.RadarLevel = 4;
    w.Units.push_back(UnitAt(1320, 1180, 0));
    w.PlayerUnit = 0;
  }
  // Adds a unit at a screen point.
  void Enemy(float sx, float sy) { w.Units.push_back(UnitAt(1000 + sx, 1000 + sy, 1)); }
  size_t InView(const Sight& s) const {
    return static_cast<size_t>(std::count_if(s.Units.begin(), s.Units.end(), [](const Sight::Unit& u) { return u.InView; }));
  }
};

TEST(Perception, NothingUnderThePanelOrTheTargetPlateIsSeenInTheView) {
  Screen sc;
  sc.Enemy(300, 420);  // under the console
  sc.Enemy(300, 369);  // its first row
  sc.Enemy(60, 330);   // under the target plate
  sc.Enemy(500, 479);  // the screen's last row
  sc.w.Builds.push_back(BuildingAt(1200, 1400, "560"));  // under the console
  sc.w.Builds.push_back(BuildingAt(1060, 1320, "560"));  // under the plate
  Sight s = Perceive(sc.w);
  EXPECT_EQ(sc.InView(s), 0u);
  EXPECT_TRUE(s.Buildings.empty());
  // The radar still shows each hidden rebel, but only to its pixel.
  ASSERT_EQ(s.Units.size(), 4u);
  for (const auto& u : s.Units) EXPECT_EQ(std::fmod(u.X - s.X, 160.0f), 0.0f);
  // The ground under them is unknown too.
  for (const auto& [cell, open] : s.Ground) {
    const float sy = (cell / kMaskColumns + 0.5f) * kMaskCell - 1000.0f;
    const float sx = (cell % kMaskColumns + 0.5f) * kMaskCell - 1000.0f;
    EXPECT_TRUE(ScreenCover::Shows(sx, sy)) << sx << "," << sy;
  }

  // Just above the console and beside the plate they show, exactly.
  sc.w.Units.resize(1);
  sc.Enemy(300, 368);
  sc.Enemy(130, 330);
  // A building whose upper part shows above the console is seen.
  sc.w.Builds = {BuildingAt(1200, 1375, "560")};
  s = Perceive(sc.w);
  EXPECT_EQ(sc.InView(s), 2u);
  EXPECT_EQ(s.Units[0].X, 1300.0f);
  EXPECT_EQ(s.Units[0].Y, 1368.0f);
  ASSERT_EQ(s.Buildings.size(), 1u);
  EXPECT_EQ(s.Buildings[0].Kind, 560);
}

TEST(Perception, TheGoalIsKnownOnlyAsNearlyAsTheRadarsPixelTells) {
  Screen sc;
  sc.w.GoalX = 1280 + 2 * 160 + 70;  // from the player's corner: two radar pixels and 70
  sc.w.GoalY = 1150 - 3 * 160 - 50;
  Sight s = Perceive(sc.w);
  ASSERT_TRUE(s.Goal);
  EXPECT_EQ(s.GoalX, 1280.0f + 2 * 160);
  EXPECT_EQ(s.GoalY, 1150.0f - 3 * 160);
  // Zoomed in, the same ring tells it four times as well.
  sc.w.RadarLevel = 1;
  s = Perceive(sc.w);
  EXPECT_EQ(s.GoalX, 1280.0f + 2 * 160 + 80);
  EXPECT_EQ(s.GoalY, 1150.0f - 3 * 160 - 40);
  // And the drawn tank tells the heading to its picture's five degrees.
  sc.w.Units[0].HeadAngle = 93.4f;
  EXPECT_EQ(Perceive(sc.w).Heading, 95.0f);
}

TEST(Perception, ThePlayerKnowsTheGroundAndBuildingsOnlyFromItsLooks) {
  BattleState w;  // not running: the keys go nowhere
  NullBattleOutput out;
  BattleInputs in(w, out);
  static const Briefing brief;
  ScriptedPlayer player(brief);
  Sight s;
  s.Alive = true;
  s.RadarLevel = 4;
  s.X = 1320, s.Y = 1180, s.ScrollX = 1000, s.ScrollY = 1000;
  s.Ground = {{BattleState::CellIndex(60, 55), true}, {BattleState::CellIndex(61, 55), false}};
  s.Buildings = {{560, 1200, 1100, 20}, {501, 1400, 1300, 20}};
  player.Play(s, in);
  const Memory& m = player.Remembered();
  EXPECT_EQ(std::count(m.Ground.begin(), m.Ground.end(), Memory::kUnseen), kMaskBytes - 2);
  EXPECT_EQ(m.Ground[static_cast<size_t>(BattleState::CellIndex(60, 55))], Memory::kOpen);
  EXPECT_EQ(m.Ground[static_cast<size_t>(BattleState::CellIndex(61, 55))], Memory::kClosed);
  EXPECT_EQ(m.Buildings.size(), 2u);

  // Scrolled away, what it saw stays remembered; back again, a building
  // the view no longer shows where it stood is forgotten.
  s.Ground.clear();
  s.Buildings.clear();
  s.ScrollX = 3000;
  player.Play(s, in);
  EXPECT_EQ(player.Remembered().Buildings.size(), 2u);
  s.ScrollX = 1000;
  s.Buildings = {{501, 1400, 1300, 20}};
  player.Play(s, in);
  ASSERT_EQ(player.Remembered().Buildings.size(), 1u);
  EXPECT_EQ(player.Remembered().Buildings[0].Kind, 501);
}

// Where the player looks for its buildings comes from the orders' own
// words, each naming a ninth of the map rather than the whole of it.
TEST(Perception, ThePartsOfTheMapThePlayerSearchesAreWordsOfTheOrders) {
  for (int32_t m = 1; m <= 20; ++m)
    for (const std::string& word : MissionBriefing(m).Where) {
      const std::string orders = mkdata::kMissionOrders[m - 1];
      EXPECT_NE(orders.find(" " + word), std::string::npos) << "mission " << m << ": " << word;
      const auto part = MapPart(word);
      EXPECT_NEAR((part[2] - part[0]) * (part[3] - part[1]), 5120.0f * 3840.0f / 9, 1.0f) << word;
    }
  EXPECT_EQ(MapPart("north-east"), (std::array<float, 4>{5120.0f * 2 / 3, 0, 5120, 1280}));
  EXPECT_EQ(MapPart("middle"), (std::array<float, 4>{5120.0f / 3, 1280, 5120.0f * 2 / 3, 2560}));
}

// The player knows a building only by its picture and the orders' words
// for it: every kind it seeks or spares is drawn as a picture those words
// name, and on a map whose script counts buildings by kind, every building
// the script counts is drawn so too; a building the player must destroy
// but could only know of from the script's count would make the mission
// one a reader of the orders cannot win.
class OrdersNameTheBuildings : public missiontest::MissionTest {};

TEST_F(OrdersNameTheBuildings, TheKindsThePlayerKnowsArePicturesTheOrdersName) {
  using Kinds = std::vector<std::array<int32_t, 2>>;
  struct Row {
    int32_t mission;
    const char* words;  // of the orders
    std::vector<std::string> pictures;  // what the screen draws for them
    Kinds counted;  // the kinds the script counts, when it counts any
  };
  const std::vector<Row> rows = {
      {3, "command centre", {"Command"}, {}},
      {7, "command post", {"PowerPlant"}, {}},
      {9, "scientist's prison", {"PowerPlant"}, {}},
      {11, "magazine", {"Depot"}, {}},
      {13, "tank factory", {"TankWorks"}, {{661, 672}}},
      {14, "helicopter base", {"Helipad", "Hangar", "ControlTower"}, {{601, 612}, {577, 577}}},
      {15, "prisons", {"Barracks"}, {}},
      {17, "chemical factory", {"FuelTank"}, {}},
      {20, "tank factories", {"TankWorks"}, {{661, 672}, {577, 580}}},
  };
  const auto named = [](const Row& row, const std::string& picture) {
    return std::find(row.pictures.begin(), row.pictures.end(), picture) != row.pictures.end();
  };
  for (int32_t m = 1; m <= 20; ++m) {
    const Briefing& brief = MissionBriefing(m);
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.mission == m; });
    if (row == rows.end()) {
      EXPECT_TRUE(brief.Destroy.empty() && brief.Keep.empty()) << "mission " << m << " has no words for its buildings";
      continue;
    }
    EXPECT_NE(std::string(mkdata::kMissionOrders[m - 1]).find(row->words), std::string::npos) << "mission " << m;
    Kinds known = brief.Destroy;
    known.insert(known.end(), brief.Keep.begin(), brief.Keep.end());
    EXPECT_FALSE(known.empty()) << "mission " << m;
    for (const auto& [lo, hi] : known)
      for (int32_t kind = lo; kind <= hi; ++kind) {
        const auto type = w.BuildingTypes.Item(std::to_string(kind));
        ASSERT_TRUE(type) << "mission " << m << ": kind " << kind;
        EXPECT_TRUE(named(*row, type->ClipStyle)) << "mission " << m << ": kind " << kind << " is drawn as "
                                                   << type->ClipStyle << ", not as the " << row->words;
      }
    if (row->counted.empty()) continue;
    Start(m);
    int32_t counted = 0;
    for (const BuildingInstance& b : w.Builds) {
      const int32_t kind = std::atoi(b.TypeKey.c_str());
      if (std::none_of(row->counted.begin(), row->counted.end(),
                       [&](const auto& r) { return kind >= r[0] && kind <= r[1]; }))
        continue;
      ++counted;
      const std::string& picture = w.Images.at(static_cast<size_t>(std::stoi(b.ImageIndex))).Name;
      EXPECT_TRUE(named(*row, picture)) << "mission " << m << ": a building of kind " << kind << " at " << b.X << ","
                                        << b.Y << " is drawn as " << picture << ", not as the " << row->words;
    }
    EXPECT_GT(counted, 0) << "mission " << m << ": nothing to destroy";
  }
}

}  // namespace
}  // namespace fw::playtest
