// Ammunition and the weapons that carry it, told by name.
#include <gtest/gtest.h>

#include "factory/rules/item_names.hpp"

namespace {

TEST(FactoryItemNames, CheckWeaponTellsAmmunitionFromCarryingWeapons) {
  EXPECT_FALSE(fw::CheckWeapon("Missile Launcher"));
  EXPECT_FALSE(fw::CheckWeapon("Rocket Launcher"));
  EXPECT_FALSE(fw::CheckWeapon("Light Cannon"));
  EXPECT_FALSE(fw::CheckWeapon("Laser"));
  EXPECT_TRUE(fw::CheckWeapon("Artillery Shell"));
  EXPECT_TRUE(fw::CheckWeapon("Missile Launcher Artillery"));  // artillery whatever else
  EXPECT_TRUE(fw::CheckWeapon("Missile A"));
  EXPECT_TRUE(fw::CheckWeapon("BIG ROCKET"));
  EXPECT_TRUE(fw::CheckWeapon("missile launcher missile") == false);
}

TEST(FactoryItemNames, AjustLancherListsTheOwnedAmmunitionAWeaponTakes) {
  fw::MapIndexClass owned;
  for (const char* n : {"Missile A", "Artillery Shell", "Missile Launcher", "Rocket B", "Missile A", "Laser"})
    owned.Add("", 1, n, 0);
  using Rows = std::vector<std::string>;
  EXPECT_EQ(fw::AjustLancher("Light Cannon", owned), (Rows{"Artillery Shell"}));
  EXPECT_EQ(fw::AjustLancher("missile launcher", owned), (Rows{"Missile A", "Missile A"}));
  EXPECT_EQ(fw::AjustLancher("Rocket Launcher", owned), (Rows{"Rocket B"}));
  EXPECT_FALSE(fw::AjustLancher("Laser", owned).has_value());  // the list keeps its rows
  fw::MapIndexClass none;
  ASSERT_TRUE(fw::AjustLancher("Heavy Cannon", none).has_value());
  EXPECT_TRUE(fw::AjustLancher("Heavy Cannon", none)->empty());
}

TEST(FactoryItemNames, LoadsIntoRespectsLetterCase) {
  EXPECT_TRUE(fw::LoadsInto("Light Cannon", "Artillery Shell"));
  EXPECT_TRUE(fw::LoadsInto("Missile Launcher", "Missile A"));
  EXPECT_TRUE(fw::LoadsInto("Rocket Launcher", "Rocket B"));
  EXPECT_FALSE(fw::LoadsInto("Light cannon", "Artillery Shell"));
  EXPECT_FALSE(fw::LoadsInto("Laser", "Artillery Shell"));
  EXPECT_FALSE(fw::LoadsInto("Missile Launcher", "Rocket B"));
}

}  // namespace
