// The assembly screen's fitting rules on the fitted set.
#include <gtest/gtest.h>

#include "factory/rules/assembly.hpp"
#include "tests/factory_rules/factory_rules_support.hpp"

namespace {

using A = fw::Assembly;
using Rows = std::vector<std::string>;

class Assembly : public ::testing::Test {
 protected:
  void SetUp() override { factorytest::Player(users, 0); }
  void Own(int32_t kind, const std::string& name) { users.UserEQU->Add("", kind, name, 0); }
  void Fitted(int32_t kind, const std::string& name, int32_t color = 0) { users.NowEQU->Add("", kind, name, color); }
  // Row of a name in one of the lists.
  int32_t RowOf(int list, const std::string& name) {
    const auto& rows = a.Lists(list).Rows;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i] == name) return static_cast<int32_t>(i + 1);
    return 0;
  }
  bool FitNamed(int list, const std::string& name) { return a.Fit(list, RowOf(list, name)); }
  std::string Lists() { return factorytest::Lists(users); }

  fw::FactoryCatalogs catalogs = factorytest::Catalogs();
  fw::UsersClass users;
  fw::Assembly a{catalogs, users};
};

TEST_F(Assembly, OpeningSortsTheOwnedItemsIntoTheirLists) {
  for (const char* n : {"Scout Tank", "Heavy Tank"}) Own(fw::kKindTank, n);
  Own(fw::kKindWeapon, "Laser");
  Own(fw::kKindWeapon, "Missile A");  // ammunition is listed nowhere yet
  Own(fw::kKindShield, "Basic Shield");
  Own(fw::kKindEngine, "Small Engine");
  Own(fw::kKindReactor, "Fusion Reactor");
  Fitted(fw::kKindTank, "Heavy Tank");
  a.Open();
  EXPECT_TRUE(a.IsOpen());
  EXPECT_EQ(a.Lists(A::kTanks).Rows, (Rows{"Scout Tank", "Heavy Tank"}));
  EXPECT_EQ(a.Lists(A::kTanks).SelectedItem, 2);  // the fitted hull
  EXPECT_EQ(a.Slot(A::kTankRow), "Heavy Tank");
  EXPECT_EQ(a.TankModel(), "heavy.x");
  EXPECT_EQ(a.Lists(A::kWeapons).Rows, (Rows{"Laser"}));
  EXPECT_EQ(a.Lists(A::kShields).Rows, (Rows{"Basic Shield"}));
  EXPECT_EQ(a.Lists(A::kEngines).Rows, (Rows{"Small Engine"}));
  EXPECT_EQ(a.Lists(A::kReactors).Rows, (Rows{"Fusion Reactor"}));
  EXPECT_EQ(a.Lists(A::kAmmunition).Count(), 0);
  // Heavy Tank has four weapon rows.
  EXPECT_EQ(a.SlotList().Rows, (Rows{"Tank:", "Weapon1:", "Weapon2:", "Weapon3:", "Weapon4:", "", "", "", "", "",
                                     "Shield:", "Engine:", "Reactor:"}));
}

TEST_F(Assembly, WeaponsFillTheFreeRowsTheHullHasAndNoMore) {
  Own(fw::kKindTank, "Scout Tank");  // two weapon rows
  for (const char* n : {"Laser", "Light Cannon", "Heavy Cannon"}) Own(fw::kKindWeapon, n);
  a.Open();
  EXPECT_TRUE(FitNamed(A::kWeapons, "Laser"));
  EXPECT_TRUE(FitNamed(A::kWeapons, "Heavy Cannon"));
  EXPECT_FALSE(FitNamed(A::kWeapons, "Light Cannon"));
  EXPECT_EQ(a.Slot(2), "Laser");
  EXPECT_EQ(a.Slot(3), "Heavy Cannon");
  EXPECT_EQ(a.Lists(A::kWeapons).Rows, (Rows{"Light Cannon"}));
  // The fitted list follows every move.
  EXPECT_EQ(Lists(), "O 5 Scout Tank\nO 1 Light Cannon\nF 5 Scout Tank 0\nF 1 Laser 1\nF 1 Heavy Cannon 2\n");
}

TEST_F(Assembly, FittingAnotherShieldExchangesTheFittedOne) {
  Own(fw::kKindTank, "Scout Tank");
  Own(fw::kKindShield, "Basic Shield");
  Own(fw::kKindShield, "Strong Shield");
  a.Open();
  ASSERT_TRUE(FitNamed(A::kShields, "Basic Shield"));
  ASSERT_TRUE(FitNamed(A::kShields, "Strong Shield"));
  EXPECT_EQ(a.Slot(A::kShieldRow), "Strong Shield");
  EXPECT_EQ(a.Lists(A::kShields).Rows, (Rows{"Basic Shield"}));
  EXPECT_EQ(Lists(), "O 5 Scout Tank\nO 3 Basic Shield\nF 5 Scout Tank 0\nF 3 Strong Shield 0\n");
}

TEST_F(Assembly, AmmunitionComesOffBeforeItsWeapon) {
  Own(fw::kKindTank, "Heavy Tank");
  Own(fw::kKindWeapon, "Light Cannon");
  Own(fw::kKindWeapon, "Artillery Shell");
  Own(fw::kKindWeapon, "Artillery Shell");
  a.Open();
  ASSERT_TRUE(FitNamed(A::kWeapons, "Light Cannon"));
  a.ChooseSlot(2);  // the cannon's row: its ammunition is offered
  EXPECT_EQ(a.Lists(A::kAmmunition).Rows, (Rows{"Artillery Shell", "Artillery Shell"}));
  EXPECT_EQ(a.EquViewWeight(), 20);
  EXPECT_EQ(a.ItemModel(), "cannon.x");
  ASSERT_TRUE(a.Fit(A::kAmmunition, 1));
  EXPECT_EQ(a.Ammo(2), "Artillery Shell");
  EXPECT_EQ(a.Lists(A::kAmmunition).Count(), 1);
  EXPECT_EQ(Lists(), "O 5 Heavy Tank\nO 1 Artillery Shell\nF 5 Heavy Tank 0\nF 1 Light Cannon 1\nF 1 Artillery Shell 11\n");
  // Loading the other shell exchanges the two.
  ASSERT_TRUE(a.Fit(A::kAmmunition, 1));
  EXPECT_EQ(a.Lists(A::kAmmunition).Count(), 1);

  ASSERT_TRUE(a.RemoveSlot(2));
  EXPECT_EQ(a.Slot(2), "Light Cannon");
  EXPECT_EQ(a.Ammo(2), "");
  EXPECT_EQ(a.Lists(A::kAmmunition).Count(), 2);
  ASSERT_TRUE(a.RemoveSlot(2));
  EXPECT_EQ(a.Slot(2), "");
  EXPECT_EQ(a.Lists(A::kWeapons).Rows, (Rows{"Light Cannon"}));
  EXPECT_EQ(Lists(), "O 5 Heavy Tank\nO 1 Artillery Shell\nO 1 Artillery Shell\nO 1 Light Cannon\nF 5 Heavy Tank 0\n");
}

TEST_F(Assembly, TheHullAndEmptyRowsCannotBeRemoved) {
  Own(fw::kKindTank, "Scout Tank");
  a.Open();
  const std::string before = Lists();
  EXPECT_FALSE(a.RemoveSlot(A::kTankRow));
  EXPECT_FALSE(a.RemoveSlot(A::kShieldRow));
  EXPECT_FALSE(a.RemoveSlot(20));
  EXPECT_EQ(Lists(), before);
}

TEST_F(Assembly, AmmunitionListFollowsTheLeftClicksOnTheSlotList) {
  Own(fw::kKindTank, "Heavy Tank");
  for (const char* n : {"Missile Launcher", "Laser", "Missile A", "Rocket B"}) Own(fw::kKindWeapon, n);
  a.Open();
  FitNamed(A::kWeapons, "Missile Launcher");
  FitNamed(A::kWeapons, "Laser");
  a.ChooseSlot(2);
  EXPECT_EQ(a.Lists(A::kAmmunition).Rows, (Rows{"Missile A"}));
  a.ChooseSlot(3);  // a laser takes none: the list is emptied, not refilled
  EXPECT_EQ(a.Lists(A::kAmmunition).Count(), 0);
  a.ChooseSlot(2);
  a.ChooseSlot(6);  // a blank line past the hull's rows: nothing selected
  EXPECT_EQ(a.SlotList().SelectedItem, 0);
  EXPECT_EQ(a.Lists(A::kAmmunition).Count(), 0);
  EXPECT_FALSE(a.Fit(A::kAmmunition, 1));  // nothing offered, no row selected

  // A right click elsewhere in the slot list moves the selection: the
  // missile then goes where the selection is, here the laser's row.
  a.ChooseSlot(2);
  a.RemoveSlot(4);  // empty row: nothing moves, but the line is selected
  EXPECT_EQ(a.SlotList().SelectedItem, 4);
  EXPECT_FALSE(a.Fit(A::kAmmunition, 1));  // no weapon in row 4 to load
  a.RemoveSlot(3);  // the laser comes off and its line stays selected
  EXPECT_FALSE(a.Fit(A::kAmmunition, 1));
  FitNamed(A::kWeapons, "Laser");
  EXPECT_TRUE(a.Fit(A::kAmmunition, 1));
  EXPECT_EQ(a.Ammo(3), "Missile A");
}

TEST_F(Assembly, LeftAndRightStepThroughTheHullsAndGiveBackLostRows) {
  for (const char* n : {"Heavy Tank", "Titan Tank", "Scout Tank"}) Own(fw::kKindTank, n);
  for (const char* n : {"Laser", "Light Cannon", "Heavy Cannon", "Missile Launcher"}) Own(fw::kKindWeapon, n);
  Own(fw::kKindWeapon, "Missile A");
  Own(fw::kKindWeapon, "Artillery Shell");
  a.Open();
  EXPECT_EQ(a.Slot(A::kTankRow), "Heavy Tank");
  for (const char* n : {"Light Cannon", "Laser", "Missile Launcher", "Heavy Cannon"}) FitNamed(A::kWeapons, n);
  a.ChooseSlot(2);
  a.Fit(A::kAmmunition, 1);
  a.ChooseSlot(4);
  a.Fit(A::kAmmunition, 1);
  EXPECT_EQ(a.Ammo(2), "Artillery Shell");
  EXPECT_EQ(a.Ammo(4), "Missile A");
  EXPECT_EQ(a.CalWeight(), 250 - 20 - 10 - 30 - 40 - 10 - 15);

  ASSERT_TRUE(a.ChangeTank(-1));  // before the first: the last
  EXPECT_EQ(a.Slot(A::kTankRow), "Scout Tank");
  EXPECT_EQ(a.Slot(2), "Light Cannon");
  EXPECT_EQ(a.Slot(3), "Laser");
  EXPECT_EQ(a.Slot(4), "");
  EXPECT_EQ(a.Ammo(4), "");
  EXPECT_EQ(a.Ammo(2), "Artillery Shell");
  EXPECT_EQ(a.Lists(A::kWeapons).Rows, (Rows{"Missile Launcher", "Heavy Cannon"}));
  EXPECT_EQ(a.Lists(A::kAmmunition).Rows, (Rows{"Missile A"}));
  EXPECT_EQ(Lists(),
            "O 5 Heavy Tank\nO 5 Titan Tank\nO 5 Scout Tank\nO 1 Missile Launcher\nO 1 Missile A\nO 1 Heavy Cannon\n"
            "F 5 Scout Tank 0\nF 1 Light Cannon 1\nF 1 Laser 2\nF 1 Artillery Shell 11\n");
  EXPECT_EQ(a.CalWeight(), 100 - 20 - 10 - 10);
  ASSERT_TRUE(a.ChangeTank(+1));  // after the last: the first
  EXPECT_EQ(a.Slot(A::kTankRow), "Heavy Tank");
  EXPECT_EQ(a.TankModel(), "heavy.x");
}

TEST_F(Assembly, OneHullStaysSelectedAndNoHullRefusesTheArrows) {
  Own(fw::kKindTank, "Scout Tank");
  a.Open();
  EXPECT_TRUE(a.ChangeTank(+1));
  EXPECT_EQ(a.Lists(A::kTanks).SelectedItem, 1);
  EXPECT_TRUE(a.ChangeTank(-1));
  EXPECT_EQ(a.Lists(A::kTanks).SelectedItem, 1);
  fw::UsersClass empty;
  factorytest::Player(empty, 0);
  fw::Assembly none(catalogs, empty);
  none.Open();
  EXPECT_FALSE(none.ChangeTank(+1));
  EXPECT_EQ(none.Slot(A::kTankRow), "");
}

TEST_F(Assembly, ExitRefusesAnOverloadedTankAndWritesTheRowsInOrder) {
  Own(fw::kKindTank, "Scout Tank");  // capacity 100
  Own(fw::kKindWeapon, "Heavy Cannon");
  Own(fw::kKindWeapon, "Missile Launcher");
  Own(fw::kKindWeapon, "Missile A");
  Own(fw::kKindShield, "Strong Shield");
  Own(fw::kKindEngine, "Small Engine");
  a.Open();
  FitNamed(A::kWeapons, "Missile Launcher");
  FitNamed(A::kWeapons, "Heavy Cannon");
  a.ChooseSlot(2);
  a.Fit(A::kAmmunition, 1);
  FitNamed(A::kEngines, "Small Engine");
  FitNamed(A::kShields, "Strong Shield");
  EXPECT_EQ(a.CalWeight(), 100 - 30 - 40 - 15 - 25 - 50);
  EXPECT_FALSE(a.Exit());
  EXPECT_TRUE(a.IsOpen());
  ASSERT_TRUE(a.RemoveSlot(A::kShieldRow));
  ASSERT_TRUE(a.RemoveSlot(3));  // the cannon
  EXPECT_EQ(a.CalWeight(), 30);
  EXPECT_TRUE(a.Exit());
  EXPECT_FALSE(a.IsOpen());
  EXPECT_EQ(Lists(),
            "O 5 Scout Tank\nO 3 Strong Shield\nO 1 Heavy Cannon\n"
            "F 5 Scout Tank 0\nF 1 Missile Launcher 1\nF 2 Small Engine 0\nF 1 Missile A 11\n");
}

TEST_F(Assembly, NoHullMeansAnyWeightOverloads) {
  Own(fw::kKindWeapon, "Laser");
  Fitted(fw::kKindShield, "Basic Shield");
  a.Open();
  EXPECT_EQ(a.CalWeight(), -30);
  EXPECT_FALSE(a.Exit());
  fw::UsersClass bare;
  factorytest::Player(bare, 0);
  fw::Assembly b(catalogs, bare);
  b.Open();
  EXPECT_EQ(b.CalWeight(), 0);
  EXPECT_TRUE(b.Exit());
}

TEST_F(Assembly, ReopeningLoadsAmmunitionIntoTheFirstSuitableWeapon) {
  Own(fw::kKindTank, "Titan Tank");
  Fitted(fw::kKindTank, "Titan Tank");
  Fitted(fw::kKindWeapon, "Rocket B", 11);
  Fitted(fw::kKindWeapon, "Artillery Shell", 19);
  Fitted(fw::kKindWeapon, "Laser", 5);
  Fitted(fw::kKindWeapon, "Rocket Launcher", 1);
  Fitted(fw::kKindWeapon, "Light Cannon", 9);
  Fitted(fw::kKindWeapon, "Missile Launcher", 2);
  Fitted(fw::kKindWeapon, "Missile A", 12);
  Fitted(fw::kKindWeapon, "Artillery Shell", 13);
  a.Open();
  // Rows by the order of the fitted list, whatever numbers were stored.
  EXPECT_EQ(a.Slot(2), "Laser");
  EXPECT_EQ(a.Slot(3), "Rocket Launcher");
  EXPECT_EQ(a.Slot(4), "Light Cannon");
  EXPECT_EQ(a.Slot(5), "Missile Launcher");
  EXPECT_EQ(a.Ammo(3), "Rocket B");
  EXPECT_EQ(a.Ammo(4), "Artillery Shell");
  EXPECT_EQ(a.Ammo(5), "Missile A");
  // The second shell has no cannon left to go into: it is owned again.
  EXPECT_EQ(Lists(),
            "O 5 Titan Tank\nO 1 Artillery Shell\n"
            "F 5 Titan Tank 0\nF 1 Laser 1\nF 1 Rocket Launcher 2\nF 1 Light Cannon 3\nF 1 Missile Launcher 4\n"
            "F 1 Rocket B 12\nF 1 Artillery Shell 13\nF 1 Missile A 14\n");
}

TEST_F(Assembly, FittedItemsWithoutAPlaceGoBackToTheOwnedItems) {
  // A hull fitted but not owned, a second engine, weapons past the hull's
  // two rows, and an entry of a kind the rules do not know.
  Fitted(fw::kKindTank, "Scout Tank");
  Fitted(fw::kKindEngine, "Small Engine");
  Fitted(fw::kKindEngine, "Turbo Engine");
  for (const char* n : {"Laser", "Light Cannon", "Heavy Cannon"}) Fitted(fw::kKindWeapon, n, 1);
  Fitted(fw::kKindWeapon, "Missile A", 11);
  Fitted(9, "Relic", 4);
  a.Open();
  EXPECT_EQ(a.Slot(A::kTankRow), "Scout Tank");
  EXPECT_EQ(a.Slot(A::kEngineRow), "Turbo Engine");
  EXPECT_EQ(a.Lists(A::kEngines).Rows, (Rows{"Small Engine"}));
  EXPECT_EQ(a.Lists(A::kWeapons).Rows, (Rows{"Heavy Cannon"}));
  EXPECT_EQ(Lists(),
            "O 5 Scout Tank\nO 2 Small Engine\nO 1 Missile A\nO 1 Heavy Cannon\n"
            "F 5 Scout Tank 0\nF 1 Laser 1\nF 1 Light Cannon 2\nF 2 Turbo Engine 0\nF 9 Relic 4\n");
  ASSERT_TRUE(a.Exit());
  EXPECT_EQ(users.NowEQU->Count(), 5);
}

TEST_F(Assembly, RevertGivesBackTheListsAsTheyWereAtOpening) {
  Own(fw::kKindTank, "Scout Tank");
  Own(fw::kKindWeapon, "Heavy Cannon");
  Own(fw::kKindWeapon, "Heavy Cannon");
  Own(fw::kKindShield, "Strong Shield");
  Fitted(fw::kKindTank, "Scout Tank");
  const std::string before = Lists();
  a.Open();
  FitNamed(A::kWeapons, "Heavy Cannon");
  FitNamed(A::kWeapons, "Heavy Cannon");
  FitNamed(A::kShields, "Strong Shield");
  ASSERT_LT(a.CalWeight(), 0);
  a.Revert();
  EXPECT_FALSE(a.IsOpen());
  EXPECT_EQ(Lists(), before);
}

}  // namespace
