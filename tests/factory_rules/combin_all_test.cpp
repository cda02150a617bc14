// The battle tank built from the fitted list.
#include <gtest/gtest.h>

#include "engine/globals.hpp"
#include "factory/rules/combin_all.hpp"
#include "platform/runtime/random.hpp"
#include "tests/data/data_test_support.hpp"
#include "tests/factory_rules/factory_rules_support.hpp"

namespace {

class CombinAll : public ::testing::Test {
 protected:
  void SetUp() override { factorytest::Player(users, 0); }
  void Fit(int32_t kind, const std::string& name, int32_t color = 0) { users.NowEQU->Add("", kind, name, color); }
  fw::Tank& Built() {
    fw::CombinAll(catalogs, users);
    return *users.NowTank;
  }
  fw::FactoryCatalogs catalogs = factorytest::Catalogs();
  fw::UsersClass users;
};

TEST_F(CombinAll, HullShieldEngineAndReactorGiveTheirValues) {
  Fit(fw::kKindTank, "Heavy Tank");
  Fit(fw::kKindShield, "Basic Shield");
  Fit(fw::kKindEngine, "Small Engine");
  Fit(fw::kKindReactor, "Fusion Reactor");
  fw::Tank& t = Built();
  EXPECT_EQ(t.Key, "Heavy Tank");
  EXPECT_FLOAT_EQ(t.Agile, 0.8f);
  EXPECT_EQ(t.ClipID, "HeavyPic");  // the battle picture, not the model
  EXPECT_EQ(t.ShieldFull, 120);
  EXPECT_FLOAT_EQ(t.ShieldSpeed, 2);
  EXPECT_FLOAT_EQ(t.TopSpeed, 3);
  EXPECT_FLOAT_EQ(t.Accelerate, 0.2f);
  EXPECT_EQ(t.EnergyFull, 200);
  EXPECT_FLOAT_EQ(t.EnergySpeed, 4);
  EXPECT_EQ(t.Weapon->Count(), 0);
}

TEST_F(CombinAll, EverythingIsRebuiltFromScratchAndLaterEntriesWin) {
  users.NowTank->Key = "Old";
  users.NowTank->TopSpeed = 99;
  users.NowTank->Weapon->Add("stale");
  users.NowTank->HP = 55;  // not the builder's field
  Fit(fw::kKindEngine, "Small Engine");
  Fit(fw::kKindEngine, "Turbo Engine");
  Fit(fw::kKindShield, "Basic Shield");
  fw::Tank& t = Built();
  EXPECT_EQ(t.Key, "");  // no hull: no battle
  EXPECT_FLOAT_EQ(t.Agile, 0);
  EXPECT_FLOAT_EQ(t.TopSpeed, 5);
  EXPECT_EQ(t.ShieldFull, 120);
  EXPECT_EQ(t.EnergyFull, 0);
  EXPECT_EQ(t.Weapon->Count(), 0);
  EXPECT_EQ(t.HP, 55);
}

TEST_F(CombinAll, WeaponsTakePositionsInRowOrderWithTheirMountOffsets) {
  Fit(fw::kKindTank, "Titan Tank");
  Fit(fw::kKindWeapon, "Laser", 7);
  Fit(fw::kKindWeapon, "Light Cannon", 2);
  Fit(fw::kKindWeapon, "Rocket Launcher", 5);
  Fit(fw::kKindWeapon, "Artillery Shell", 14);  // row 4 holds no weapon: dropped
  const fw::WeaponClass& w = *Built().Weapon;
  ASSERT_EQ(w.Count(), 3);
  EXPECT_EQ(w.Item(1)->Key, "Light Cannon");
  EXPECT_EQ(w.Item(2)->Key, "Rocket Launcher");
  EXPECT_EQ(w.Item(3)->Key, "Laser");
  EXPECT_EQ(std::make_pair(w.Item(1)->OffsetX, w.Item(1)->OffsetY), std::make_pair(10, -5));
  EXPECT_EQ(std::make_pair(w.Item(2)->OffsetX, w.Item(2)->OffsetY), std::make_pair(-10, 5));
  EXPECT_EQ(std::make_pair(w.Item(3)->OffsetX, w.Item(3)->OffsetY), std::make_pair(20, 5));
  // A launcher without ammunition keeps its own values.
  EXPECT_EQ(w.Item(2)->Range, 120);
  EXPECT_EQ(w.Item(2)->ClipID, 4);
  EXPECT_FLOAT_EQ(w.Item(3)->Energy, 5);
}

TEST_F(CombinAll, NinthPositionSitsAtFortyFive) {
  for (int slot = 1; slot <= 9; ++slot) Fit(fw::kKindWeapon, "Laser", slot);
  fw::WeaponClass& w = *Built().Weapon;
  ASSERT_EQ(w.Count(), 9);
  EXPECT_EQ(std::make_pair(w.Item(9)->OffsetX, w.Item(9)->OffsetY), std::make_pair(45, -15));
}

TEST_F(CombinAll, LoadedAmmunitionGivesTheCarryingWeaponItsFlightValues) {
  Fit(fw::kKindWeapon, "Missile Launcher", 3);
  Fit(fw::kKindWeapon, "Missile A", 13);
  Fit(fw::kKindWeapon, "Heavy Cannon", 4);
  Fit(fw::kKindWeapon, "Artillery Shell", 14);
  const fw::WeaponClass& w = *Built().Weapon;
  ASSERT_EQ(w.Count(), 2);
  const fw::Weapon& launcher = *w.Item(1);
  EXPECT_EQ(launcher.Key, "Missile Launcher");
  EXPECT_FLOAT_EQ(launcher.FireSpeed, 2);  // the launcher's own
  EXPECT_EQ(launcher.FireAngle, 20);
  EXPECT_EQ(launcher.Path, 1);
  EXPECT_FLOAT_EQ(launcher.Speed, 8);  // the missile's
  EXPECT_FLOAT_EQ(launcher.Agile, 2.5f);
  EXPECT_EQ(launcher.Range, 600);
  EXPECT_EQ(launcher.FirePower, 80);
  EXPECT_EQ(launcher.Ammo, 12);
  EXPECT_EQ(launcher.ClipID, 6);
  const fw::Weapon& cannon = *w.Item(2);
  EXPECT_FLOAT_EQ(cannon.Speed, 5);  // a cannon keeps its speed
  EXPECT_EQ(cannon.Range, 500);
  EXPECT_EQ(cannon.FirePower, 60);
  EXPECT_EQ(cannon.Ammo, 40);
  EXPECT_EQ(cannon.ClipID, 5);
}

TEST_F(CombinAll, EntriesOutsideTheCataloguesOrTheRowsAreLeftOut) {
  Fit(fw::kKindTank, "Ghost Tank");
  Fit(fw::kKindWeapon, "Laser", 10);
  Fit(fw::kKindWeapon, "Laser", 20);
  Fit(fw::kKindWeapon, "Laser", -1);
  Fit(fw::kKindWeapon, "Laser", 0);
  Fit(fw::kKindWeapon, "Ray Gun", 1);
  Fit(fw::kKindWeapon, "Light Cannon", 2);
  Fit(fw::kKindWeapon, "Unknown Artillery", 12);
  Fit(7, "Basic Shield");
  fw::Tank& t = Built();
  EXPECT_EQ(t.Key, "");
  EXPECT_EQ(t.ShieldFull, 0);
  ASSERT_EQ(t.Weapon->Count(), 1);
  EXPECT_EQ(t.Weapon->Item(1)->Key, "Light Cannon");
  EXPECT_EQ(t.Weapon->Item(1)->OffsetX, 10);  // first position: no gap for the unknown weapon
  EXPECT_EQ(t.Weapon->Item(1)->Range, 300);
}

TEST(CombinAllOnUsers, ReadsTheArchiveCataloguesAndBuildsTheCurrentPlayersTank) {
  fwtest::TempProgramFolder dir;
  datatest::MakeDataArchive(dir, {{"UserWeapon.ini", factorytest::kWeapons}, {"Equment.ini", factorytest::kEquipment}});
  fw::Users.Release();
  factorytest::Player(*fw::Users, 0);
  fw::Users->NowEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  fw::Users->NowEQU->Add("", fw::kKindWeapon, "Laser", 1);
  fw::CombinAllOnUsers();
  EXPECT_EQ(fw::Users->NowTank->Key, "Scout Tank");
  EXPECT_EQ(fw::Users->NowTank->Weapon->Count(), 1);
  EXPECT_EQ(datatest::LooseFiles(dir), 0);
  fw::Users.Release();
}

}  // namespace
