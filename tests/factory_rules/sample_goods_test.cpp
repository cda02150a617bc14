// The sample data's catalogues, models and starting kit, read by the
// factory's own readers.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "factory/rules/assembly.hpp"
#include "factory/rules/combin_all.hpp"
#include "factory/rules/item_names.hpp"
#include "factory/rules/model_index.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace {

TEST(FactorySampleGoods, CataloguesReadWholeAndTheKitIsReadyToFight) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder dir;
  const std::string& sample = fwtest::SampleDataFolder();
  fw::DataPack.Release();
  fw::DataPack->FilePath = sample;
  fw::DataPack->TempPath = fw::AppPath;
  fw::DataPack->LoadInf("Data");

  fw::FactoryCatalogs c;
  c.Read();
  EXPECT_EQ(c.ProblemText(), "");
  // Every kind the rules tell apart is on sale.
  int hulls = 0, shields = 0, engines = 0, reactors = 0, energy = 0, carriers = 0, ammunition = 0;
  std::set<int> rows;
  for (const auto& t : c.EquipmentCatalog) {
    hulls += fw::NameHas(t->Key, "Tank");
    shields += fw::NameHas(t->Key, "Shield");
    engines += fw::NameHas(t->Key, "Engine");
    reactors += fw::NameHas(t->Key, "Reactor");
    if (fw::NameHas(t->Key, "Tank")) rows.insert(c.WeaponRows(t->Key));
    EXPECT_TRUE(fw::DataPack->PackFiles->Find(t->ClipID)) << t->ClipID;
  }
  for (const auto& w : c.WeaponCatalog) {
    if (fw::CheckWeapon(w->Key)) ++ammunition;
    else if (w->Energy > 0) ++energy;
    else ++carriers;
    EXPECT_TRUE(fw::DataPack->PackFiles->Find(w->TargetTank)) << w->TargetTank;
  }
  EXPECT_GE(hulls, 3);
  EXPECT_GE(rows.size(), 3u);
  EXPECT_GE(shields, 2);
  EXPECT_GE(engines, 2);
  EXPECT_GE(reactors, 2);
  EXPECT_GE(energy, 2);
  EXPECT_EQ(carriers, 4);  // two cannons, both launchers
  EXPECT_GE(ammunition, 3);

  // The model index names members of the archive, and each model brings
  // its textures.
  ASSERT_TRUE(fw::LoadXIndex());
  for (const auto& t : c.EquipmentCatalog) {
    const auto& entry = *fw::DataPack->PackFiles->Find(t->ClipID);
    EXPECT_GE(entry.AddOnCount(), 1) << t->ClipID;
    for (int i = 1; i <= entry.AddOnCount(); ++i) EXPECT_TRUE(fw::DataPack->PackFiles->Find(entry.GetFileEx(i)));
  }

  // The first profile's kit: a scout with two weapons, the cannon loaded,
  // within its capacity, and the assembly takes it as it stands.
  fw::UsersClass users;
  users.NowUser = 1;
  users.EQUFile = sample + "\\save\\user1.DAT";
  ASSERT_TRUE(users.LoadEQUFile());
  fw::CombinAll(c, users);
  EXPECT_EQ(users.NowTank->Key, "Scout Tank");
  EXPECT_EQ(users.NowTank->ClipID, "Tank01");
  ASSERT_EQ(users.NowTank->Weapon->Count(), 2);
  EXPECT_EQ(users.NowTank->Weapon->Item(2)->Ammo, 40);  // the shell's rounds
  EXPECT_GT(users.NowTank->ShieldFull, 0);
  EXPECT_GT(users.NowTank->TopSpeed, 0);
  EXPECT_GT(users.NowTank->EnergyFull, 0);
  EXPECT_GE(fw::LoadLeft(c, *users.NowEQU), 0);
  const std::string before = users.EncodeEquipment();
  fw::Assembly a(c, users);
  a.Open();
  ASSERT_TRUE(a.Exit());
  EXPECT_EQ(users.EncodeEquipment(), before);
  fw::DataPack.Release();
}

}  // namespace
