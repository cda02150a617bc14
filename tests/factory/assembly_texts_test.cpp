// The assembly screen's attribute lines: which figures each panel writes,
// how the numbers read, and what the ammunition of a weapon changes.
#include <gtest/gtest.h>

#include "factory/assembly_texts.hpp"
#include "tests/factory_rules/factory_rules_support.hpp"

namespace {

using Lines = fw::AttributeLines;

TEST(AttributeNumbers, ReadAsTheRuntimeWritesThem) {
  EXPECT_EQ(fw::SingleStr(0.5f), " .5");
  EXPECT_EQ(fw::SingleStr(2.5f), " 2.5");
  EXPECT_EQ(fw::SingleStr(300.0f), " 300");
  EXPECT_EQ(fw::SingleStr(-12.0f), "-12");
  EXPECT_EQ(fw::SingleStr(-0.25f), "-.25");
  EXPECT_EQ(fw::SingleStr(0.0f), " 0");
  EXPECT_EQ(fw::SingleStr(-0.0f), " 0");
  // Single precision: seven digits, not the double's noise.
  EXPECT_EQ(fw::SingleStr(0.1f), " .1");
  EXPECT_EQ(fw::SingleStr(1.0f / 3.0f), " .3333333");
  EXPECT_EQ(fw::SingleStr(1234567.0f), " 1234567");
  EXPECT_EQ(fw::SingleStr(12345678.0f), " 1.234568E+07");
  EXPECT_EQ(fw::WholeStr(0), " 0");
  EXPECT_EQ(fw::WholeStr(120), " 120");
  EXPECT_EQ(fw::WholeStr(-30), "-30");
}

class AttributeLines : public ::testing::Test {
 protected:
  void SetUp() override { factorytest::Player(users, 0); }
  fw::FactoryCatalogs catalogs = factorytest::Catalogs();
  fw::UsersClass users;
  Lines a;
};

TEST_F(AttributeLines, TheHeadlineColumnDiffersFromTheBareOneOnlyInItsColons) {
  Lines b, bare;
  fw::SetEQUTextBInfo(b);
  fw::SetEQUTextInfo(bare, catalogs, fw::kPanelLabels, "", "");
  // Where the two columns part: the bare shield lines lack their colon,
  // the headline's ammunition line lacks it.
  for (int k = 1; k <= 16; ++k) {
    const bool differ = k == 7 || k == 8 || k == 16;
    EXPECT_EQ(b[static_cast<size_t>(k)] != bare[static_cast<size_t>(k)], differ) << k;
  }
  EXPECT_EQ(b[1], "Weapon Number:");
  EXPECT_EQ(b[6], "Weapon Supply Rate:");
  EXPECT_EQ(b[7], "Shield Limit:");
  EXPECT_EQ(bare[7], "Shield Limit");
  EXPECT_EQ(bare[8], "Shield Supply Rate");
  EXPECT_EQ(b[13], "Shooting Rate:");
  EXPECT_EQ(b[16], "Ammunition");
  EXPECT_EQ(bare[16], "Ammunition:");
}

TEST_F(AttributeLines, EachPanelWritesOnlyItsOwnLines) {
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelLabels, "", "");
  const Lines before = a;
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelTank, "Scout Tank", "");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelEngine, "Small Engine", "");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelReactor, "Fusion Reactor", "");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelShield, "Basic Shield", "");
  EXPECT_EQ(a[1], "Weapon Number: 2");
  EXPECT_EQ(a[2], "Mobility: 1.5");
  EXPECT_EQ(a[3], "Speed Limit: 3");
  EXPECT_EQ(a[4], "Acceleration: .2");
  EXPECT_EQ(a[5], "Weapon Limit: 200");
  EXPECT_EQ(a[6], "Weapon Supply Rate: 4");
  // 120.5 is held as a whole number, the half to the even neighbour.
  EXPECT_EQ(a[7], "Shield Limit: 120");
  EXPECT_EQ(a[8], "Shield Supply Rate: 2");
  for (int k = 9; k <= 16; ++k) EXPECT_EQ(a[static_cast<size_t>(k)], before[static_cast<size_t>(k)]) << k;

  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Laser", "");
  EXPECT_EQ(a[1], "Weapon Number: 2");
  const Lines laser = {"", a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8],
                       "Speed: 12", "Sensitivity: 0", "Range: 250", "Power: 10",
                       "Shooting Rate: .5", "Energy Loss: 5", "Type:Straight", "Ammunition: 0"};
  EXPECT_EQ(a, laser);

  // Any other panel makes every line a bare label again.
  fw::SetEQUTextInfo(a, catalogs, 7, "Laser", "");
  EXPECT_EQ(a, before);
}

TEST_F(AttributeLines, AmmunitionReplacesTheFiguresItBringsAndLeavesTheRest) {
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Missile Launcher", "Missile A");
  EXPECT_EQ(a[9], "Weapon Speed: 8");
  EXPECT_EQ(a[10], "Weapon Sensitivity: 2.5");
  EXPECT_EQ(a[11], "Weapon Range: 600");
  EXPECT_EQ(a[12], "Weapon Destructiveness: 80");
  EXPECT_EQ(a[13], "Shooting Rate: 2");  // the launcher's own
  EXPECT_EQ(a[14], "Energy Loss: 0");
  EXPECT_EQ(a[15], "Type:Straight");
  EXPECT_EQ(a[16], "Ammunition 12");

  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Heavy Cannon", "Artillery Shell");
  EXPECT_EQ(a[9], "Speed: 5");
  EXPECT_EQ(a[10], "Sensitivity: 0");
  EXPECT_EQ(a[11], "Weapon Range: 500");
  EXPECT_EQ(a[12], "Weapon Destructiveness: 60");
  EXPECT_EQ(a[16], "Ammunition 40");

  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Rocket Launcher", "Rocket B");
  EXPECT_EQ(a[9], "Weapon Speed: 9");
  EXPECT_EQ(a[16], "Ammunition 20");
  EXPECT_EQ(a[15], "Type:Straight");

  // The path names follow the weapon's own path.
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Missile A", "");
  EXPECT_EQ(a[15], "Type:Trace");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Rocket B", "");
  EXPECT_EQ(a[15], "Type:Cruise");
}

TEST_F(AttributeLines, PathsWithoutANameShowTheBareType) {
  const std::string weapons = std::string(factorytest::kWeapons) +
                              "\"Plain Gun\",6,0,300,20,1.5,0,10,0,0,100,20,1,\"gun.x\"\r\n"
                              "\"Odd Gun\",6,0,300,-20,1.5,0,10,9,0,100,20,1,\"gun.x\"\r\n"
                              "\"Auto Gun\",6,0,300,20,1.5,0,10,4,0,100,20,1,\"gun.x\"\r\n";
  catalogs = factorytest::Catalogs(weapons);
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Plain Gun", "");
  EXPECT_EQ(a[15], "Type:");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Auto Gun", "");
  EXPECT_EQ(a[15], "Type:Auto-Guide");
  if (catalogs.WeaponCatalog.Item("Odd Gun")) {
    fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Odd Gun", "");
    EXPECT_EQ(a[15], "Type:");
    EXPECT_EQ(a[12], "Power:-20");
  }
}

TEST_F(AttributeLines, NamesInNoCatalogueLeaveBareLabels) {
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelTank, "Scout Tank", "");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelTank, "Ghost Tank", "");
  EXPECT_EQ(a[1], "Weapon Number:");
  EXPECT_EQ(a[2], "Mobility:");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelShield, "Ghost Shield", "");
  EXPECT_EQ(a[7], "Shield Limit");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Laser", "Missile Ghost");
  EXPECT_EQ(a[9], "Speed: 12");
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Ghost Gun", "");
  EXPECT_EQ(a[9], "Speed:");
  EXPECT_EQ(a[16], "Ammunition:");
}

TEST_F(AttributeLines, TheFittedSetFillsHullShieldEngineAndReactorButNoWeapon) {
  users.UserEQU->Add("", fw::kKindTank, "Heavy Tank", 0);
  users.NowEQU->Add("", fw::kKindTank, "Heavy Tank", 0);
  users.NowEQU->Add("", fw::kKindWeapon, "Laser", 1);
  users.NowEQU->Add("", fw::kKindEngine, "Turbo Engine", 0);
  fw::Assembly assembly(catalogs, users);
  assembly.Open();
  fw::SetEQUTextInfo(a, catalogs, fw::kPanelWeapon, "Laser", "");
  fw::SetEQUAttrib(a, catalogs, assembly);
  EXPECT_EQ(a[1], "Weapon Number: 4");
  EXPECT_EQ(a[2], "Mobility: .8");
  EXPECT_EQ(a[3], "Speed Limit: 5");
  EXPECT_EQ(a[4], "Acceleration: .4");
  EXPECT_EQ(a[5], "Weapon Limit:");
  EXPECT_EQ(a[7], "Shield Limit");
  EXPECT_EQ(a[9], "Speed:");
}

}  // namespace
