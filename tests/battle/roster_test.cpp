// The roster: units made from templates, the unit under a point, terrain
// areas, and what taking a unit out does to every index that points into
// the roster.
#include <gtest/gtest.h>

#include "battle/roster.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/random.hpp"

namespace fw {
namespace {

// Pictures that always load, at a fixed size, counting the loads.
class FakePictures : public BattlePictures {
 public:
  int Loads = 0;
  std::optional<Size> Load(PictureList, int32_t, const std::string& path, PictureArchive) override {
    ++Loads;
    if (path.find("missing") != std::string::npos) return std::nullopt;
    return Size{960, 360};
  }
};

class Roster : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::FixRandom(12345);
    world.Catalogue.Add("Tank01", kUnitPictures, 12, 6, "Tank01", "Tank01.bmp", 80, 60);
    world.Catalogue.Add("Broken", kUnitPictures, 1, 1, "Broken", "missing.bmp", 80, 60);
    tmpl.ClipID = "Tank01";
    tmpl.TopSpeed = 3;
    tmpl.EnergyFull = 120;
    tmpl.ShieldFull = 70;
    for (int k = 0; k < 3; ++k) {
      auto w = tmpl.Weapon->Add("");
      w->Key = "Gun" + std::to_string(k);
      w->OffsetX = k * 2 - 2;
      w->Path = 2;
      w->Energy = 5;
    }
    AddTerrain(world, RECT{100, 200, 100, 260}, 9, 0);  // area 1: no width
    AddTerrain(world, RECT{1000, 1000, 1400, 1300}, 9, 0);
    world.Spots.assign(2, NavigationSpot{});
    world.Spots[1].Points = {{10, 20}, {30, 40}};
  }
  void TearDown() override { plat::UnfixRandom(); }

  BattleState world;
  Tank tmpl;
  FakePictures pictures;
  NullBattleOutput out;
  BattleRules rules;
};

TEST_F(Roster, UnitsAreNumberedInCallOrderAndMadeFromTheirTemplate) {
  EXPECT_EQ(AddTank(world, pictures, tmpl, 1, 1, 1, 1), 0);
  EXPECT_EQ(AddTank(world, pictures, tmpl, 2, 1, 0, 2), 1);
  EXPECT_EQ(AddTank(world, pictures, tmpl, 3, 0, 1, 2), 2);
  const BattleUnit& u = world.Units[0];
  EXPECT_EQ(u.HP, 100);
  EXPECT_EQ(u.Energy, 120);
  EXPECT_EQ(u.EnergyFull, 120);
  EXPECT_EQ(u.Shield, 70);
  EXPECT_EQ(u.DescRECT, (RECT{0, 0, 80, 60}));
  EXPECT_EQ(u.CenterX, 40);
  EXPECT_EQ(u.CenterY, 30);
  EXPECT_EQ(u.PosOffsetX, -40);
  EXPECT_EQ(u.Style, 1);
  EXPECT_EQ(u.BaseStyle, 1);
  // An area of no width puts the unit on its left edge.
  EXPECT_EQ(u.PosX, 100);
  EXPECT_GE(u.PosY, 200);
  EXPECT_LT(u.PosY, 260);
  EXPECT_EQ(u.WayPoint, (std::vector<PointL>{{10, 20}, {30, 40}}));
  ASSERT_EQ(u.Weapon.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(u.Weapon[k].Key, "Gun" + std::to_string(k));
    EXPECT_EQ(u.Weapon[k].OffsetX, k * 2 - 2);
    EXPECT_EQ(u.Weapon[k].Enabled, 1);
    EXPECT_EQ(u.Weapon[k].Path, 2);
    EXPECT_EQ(u.Weapon[k].FireCharge, 0);
  }
  EXPECT_TRUE(world.Units[1].WayPoint.empty());
  const BattleUnit& v = world.Units[2];
  EXPECT_GE(v.PosX, 1000);
  EXPECT_LT(v.PosX, 1400);
}

TEST_F(Roster, UnitsOfOnePictureShareOneImageRecord) {
  AddTank(world, pictures, tmpl, 1, 1, 0, 1);
  AddTank(world, pictures, tmpl, 1, 1, 0, 1);
  EXPECT_EQ(pictures.Loads, 1);
  ASSERT_EQ(world.Images.size(), 2u);
  EXPECT_EQ(world.Images[1].Name, "Tank01");
  EXPECT_EQ(world.Images[1].RepeatX, 12);
  EXPECT_EQ(world.Images[1].Width, 960);
  EXPECT_EQ(world.Units[0].ClipID, "1");
  EXPECT_EQ(world.Units[1].ClipID, "1");
}

TEST_F(Roster, ABadSpotAreaOrPictureAddsNoUnit) {
  EXPECT_THROW(AddTank(world, pictures, tmpl, 1, 1, 2, 1), plat::RuntimeError);
  EXPECT_THROW(AddTank(world, pictures, tmpl, 1, 1, -1, 1), plat::RuntimeError);
  EXPECT_THROW(AddTank(world, pictures, tmpl, 1, 1, 0, 3), plat::RuntimeError);
  tmpl.ClipID = "NoSuchPicture";
  EXPECT_THROW(AddTank(world, pictures, tmpl, 1, 1, 0, 1), plat::RuntimeError);
  tmpl.ClipID = "Broken";
  EXPECT_THROW(AddTank(world, pictures, tmpl, 1, 1, 0, 1), plat::RuntimeError);
  EXPECT_TRUE(world.Units.empty());
  EXPECT_EQ(world.Images.size(), 1u);
  // A map without spots takes spot 0 as "no way points".
  world.Spots.clear();
  tmpl.ClipID = "Tank01";
  EXPECT_EQ(AddTank(world, pictures, tmpl, 1, 1, 0, 1), 0);
}

TEST_F(Roster, TerrainCentresRoundHalvesToEven) {
  const int32_t i = AddTerrain(world, RECT{10, 20, 31, 41}, 2, 0.5f);
  EXPECT_EQ(i, 3);
  EXPECT_EQ(world.Terrains[i].CenterX, 20);
  EXPECT_EQ(world.Terrains[i].CenterY, 30);
  EXPECT_EQ(world.Terrains[i].Left, 10);
  EXPECT_EQ(world.Terrains[i].Kind, 2);
  EXPECT_EQ(world.Terrains[AddTerrain(world, RECT{11, 21, 32, 42}, 0, 0)].CenterX, 22);  // 21.5 -> 22
}

TEST_F(Roster, TheUnitUnderAPointCountsEdgesAndTheLowerIndexWins) {
  world.Units.resize(2);
  for (auto& u : world.Units) u.DescRECT = RECT{0, 0, 80, 60};
  world.Units[0].PosX = 100;
  world.Units[0].PosY = 100;
  world.Units[1].PosX = 150;
  world.Units[1].PosY = 120;
  world.ScrollX = 50;
  world.ScrollY = 40;
  EXPECT_EQ(GetTankAtPos(world, 130, 120), 0);  // right and bottom edge
  EXPECT_EQ(GetTankAtPos(world, 50, 60), 0);    // top-left corner
  EXPECT_EQ(GetTankAtPos(world, 120, 100), 0);  // both boxes: the lower index
  EXPECT_EQ(GetTankAtPos(world, 131, 100), 1);
  EXPECT_EQ(GetTankAtPos(world, 49, 60), -1);
  EXPECT_EQ(GetTeamCount(world, 0), 2);
  world.Units[1].Team = 1;
  EXPECT_EQ(GetTeamCount(world, 1), 1);
}

// Five units; unit 1 leaves, unit 4 moves into its slot.
TEST_F(Roster, ARemovedUnitsIndicesBecomeMinusOneAndTheMovedUnitsFollowIt) {
  world.Units.resize(5);
  for (int i = 0; i < 5; ++i) world.Units[i].PosX = static_cast<float>(i);
  world.Units[0].TargetTank = 1;
  world.Units[0].LeaderTank = 4;
  world.Units[2].TargetTank = 4;
  world.Units[2].LeaderTank = 1;
  world.Units[3].TargetTank = 3;
  world.Units[4].TargetTank = 0;
  world.Shots.resize(3);
  world.Shots[1].FireTank = 4;
  world.Shots[1].TargetTank = 1;
  world.Shots[2].FireTank = 1;
  world.Shots[2].TargetTank = 4;
  world.PickedUnit = 4;
  world.HoveredUnit = 1;
  world.PlayerUnit = 4;
  world.ObjectiveUnits = {0, 1, 4, 2};

  struct Told : BattleRules {
    int32_t removed = -2, moved = -2;
    void UnitRemoved(BattleState&, int32_t r, int32_t m) override { removed = r, moved = m; }
  } told;
  RemoveUnit(world, 1, told);

  ASSERT_EQ(world.Units.size(), 4u);
  EXPECT_EQ(world.Units[1].PosX, 4);  // the last unit took the slot
  EXPECT_EQ(world.Units[0].TargetTank, -1);
  EXPECT_EQ(world.Units[0].LeaderTank, 1);
  EXPECT_EQ(world.Units[2].TargetTank, 1);
  EXPECT_EQ(world.Units[2].LeaderTank, -1);
  EXPECT_EQ(world.Units[3].TargetTank, 3);
  EXPECT_EQ(world.Units[1].TargetTank, 0);
  EXPECT_EQ(world.Shots[1].FireTank, 1);
  EXPECT_EQ(world.Shots[1].TargetTank, -1);
  EXPECT_EQ(world.Shots[2].FireTank, -1);
  EXPECT_EQ(world.Shots[2].TargetTank, 1);
  EXPECT_EQ(world.PickedUnit, 1);
  EXPECT_EQ(world.HoveredUnit, -1);
  EXPECT_EQ(world.PlayerUnit, 1);
  EXPECT_EQ(world.ObjectiveUnits, (std::vector<int32_t>{2, -1, 1, 2}));
  EXPECT_EQ(told.removed, 1);
  EXPECT_EQ(told.moved, 4);

  // The last unit leaving moves nobody; an index past the roster is ignored.
  RemoveUnit(world, 3, told);
  EXPECT_EQ(world.Units.size(), 3u);
  EXPECT_EQ(world.Units[2].TargetTank, 1);
  RemoveUnit(world, 7, told);
  RemoveUnit(world, -1, told);
  EXPECT_EQ(world.Units.size(), 3u);
  while (!world.Units.empty()) RemoveUnit(world, 0, told);
  EXPECT_EQ(world.PlayerUnit, -1);
  EXPECT_EQ(world.ObjectiveUnits[0], 0);
}

TEST_F(Roster, DestroyedObjectiveBuildingsAreMarkedAndLaterOnesShift) {
  world.ObjectiveBuilds = {0, 3, 5, 3, 1};
  EXPECT_EQ(CheckMisOBJ(world, 3), 3);
  EXPECT_EQ(world.ObjectiveBuilds, (std::vector<int32_t>{0, -1, 4, -1, 1}));
  EXPECT_EQ(CheckMisOBJ(world, 7), 0);
  EXPECT_EQ(world.ObjectiveBuilds, (std::vector<int32_t>{0, -1, 4, -1, 1}));
  world.ObjectiveUnits.clear();
  CheckMisOBJTank(world, 1, -1);  // a mission without objective units
  EXPECT_TRUE(world.ObjectiveUnits.empty());
}

TEST_F(Roster, PerFrameArraysKeepOneRecordAndMoveTheLastIntoAHole) {
  std::vector<WeaponSlot> shots(1);
  EXPECT_EQ(AppendRecord(shots), 1);
  EXPECT_EQ(AppendRecord(shots), 2);
  shots[2].Key = "last";
  RemoveRecord(shots, 1);
  ASSERT_EQ(shots.size(), 2u);
  EXPECT_EQ(shots[1].Key, "last");
  RemoveRecord(shots, 5);
  RemoveRecord(shots, 1);
  RemoveRecord(shots, 0);
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_EQ(shots[0], WeaponSlot{});
  std::vector<EffectRecord> none;
  EXPECT_EQ(AppendRecord(none), 1);  // element 0 stays the empty record
}

TEST(BattleRulesTest, AKillIsBookedForThePlayersShotOnTheOtherTeamOnly) {
  BattleState w;
  w.Units.resize(3);
  w.Units[1].Team = 1;
  w.PlayerUnit = 0;
  BattleRules rules;
  rules.KillBooked(w, 0, 1);
  rules.KillBooked(w, 0, 2);   // the player's own side
  rules.KillBooked(w, 2, 1);   // another unit's shot
  rules.KillBooked(w, -1, 1);  // nobody
  rules.KillBooked(w, 0, 9);   // no such unit
  EXPECT_EQ(w.KillTank, 1);
}

}  // namespace
}  // namespace fw
